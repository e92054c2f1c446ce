// Carries capture results from the service's thread to the window's thread as event timers.
#pragma once

#include <atomic>
#include <cstdint>

#include "EnrollmentContext.h"
#include "WinBio.h"
#include "WorkflowDisplay.h"

// The service gets a key, not a pointer, as each capture's context: a result that arrives after
// the hand-off is gone finds no entry and touches nothing, and no capture owns memory that a
// service which never answers could leak.
class CaptureHandoff {
public:
    CaptureHandoff(EnrollmentContext& context, WorkflowDisplay& display);
    // Waits for a result being delivered; later ones are dropped.
    ~CaptureHandoff();
    CaptureHandoff(const CaptureHandoff&) = delete;
    CaptureHandoff& operator=(const CaptureHandoff&) = delete;

    // Window's thread: mirrors of what the window shows, read by the callback so that it never
    // has to ask the window (which may be waiting on the service) for them.
    void PublishProgressPosition(int position);
    void PublishProgressMaximum(int maximum);
    void PublishAbortEnabled(bool enabled);

    // What to hand to the service with OnCaptureResult.
    void* CaptureContext() const;

    // The capture callback: runs on the service's thread, once per accepted capture request.
    static void OnCaptureResult(void* captureContext, StatusCode operationStatus,
                                RejectDetail rejectDetail);

private:
    void Deliver(StatusCode operationStatus, RejectDetail rejectDetail);

    const std::uintptr_t m_key;  // never reused, so a late result cannot reach a newer hand-off
    EnrollmentContext& m_context;
    WorkflowDisplay& m_display;
    std::atomic<int> m_progressPosition{0};
    std::atomic<int> m_progressMaximum;
    std::atomic<bool> m_abortEnabled{false};  // the dialog creates the button disabled
};
