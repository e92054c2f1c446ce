// Carries verification results from the service's thread to the window's thread as a timer.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>

#include "WinBio.h"
#include "WorkflowDisplay.h"

// The timer that carries a finger test's result; next to the enrollment's event timers.
constexpr unsigned kTestResultTimer = 9;

struct VerifyResult {
    StatusCode status = kOk;
    bool match = false;
    RejectDetail rejectDetail = 0;
};

// As with captures, the service gets a key rather than a pointer: a result that arrives after
// the hand-off is gone finds no entry and touches nothing.
class VerifyHandoff {
public:
    explicit VerifyHandoff(WorkflowDisplay& display);
    // Waits for a result being delivered; later ones are dropped.
    ~VerifyHandoff();
    VerifyHandoff(const VerifyHandoff&) = delete;
    VerifyHandoff& operator=(const VerifyHandoff&) = delete;

    // What to hand to the service with OnVerifyResult.
    void* VerifyContext() const;

    // The verification callback: runs on the service's thread, once per accepted request.
    static void OnVerifyResult(void* verifyContext, StatusCode operationStatus, UnitId unitId,
                               std::uint8_t match, RejectDetail rejectDetail);

    // Window's thread, at the result timer's tick: the result not taken yet, if any.
    std::optional<VerifyResult> TakeResult();

private:
    void Deliver(const VerifyResult& result);

    const std::uintptr_t m_key;  // never reused, so a late result cannot reach a newer hand-off
    WorkflowDisplay& m_display;
    std::mutex m_mutex;  // guards m_result, shared by the two threads
    std::optional<VerifyResult> m_result;
};
