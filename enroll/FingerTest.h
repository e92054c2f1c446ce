// Testing one enrolled finger: one touch checked against its stored print, retries, the verdict.
#pragma once

#include <functional>

#include "EnrollmentContext.h"
#include "VerifyHandoff.h"
#include "WinBio.h"
#include "WorkflowDisplay.h"

enum class FingerTestState {
    kIdle,
    kVerifying,  // a verification is requested and its result is awaited
    kStopping,   // stopped from outside (Abort, closing); the cancelled result is awaited
};

// Lives on the window's thread, beside the enrollment, and shares its context: the finger under
// test is the selected one.
class FingerTest {
public:
    // showIdle puts the panel back to its resting state once a stopped test has ended.
    FingerTest(EnrollmentContext& context, WorkflowDisplay& display,
               std::function<void()> showIdle);

    FingerTestState State() const { return m_state; }
    bool UnderWay() const { return m_state != FingerTestState::kIdle; }

    // Tests an enrolled finger; the caller makes sure nothing else is under way.
    void Start(SubFactor finger);
    // Abort, closing the window, or any other reason to end the test early: the service is
    // cancelled and the panel returns to rest when it has answered. Does nothing when idle.
    void Stop();
    // The result timer's tick.
    void HandleResult();

private:
    void RequestVerification();
    void HandleVerdict(const VerifyResult& result);
    void AskAgain(RejectDetail rejectDetail);
    void FinishStopped();
    void FinishWithFailure(StatusCode status);
    // Every end comes here: the finger is deselected and Abort disabled.
    void Finish(TextId titleId, TextId textId, Colorref colour);
    void FinishWithText(TextId titleId, const std::u16string& text, Colorref colour);
    void EndAttempt();

    EnrollmentContext& m_context;
    WorkflowDisplay& m_display;
    std::function<void()> m_showIdle;
    FingerTestState m_state = FingerTestState::kIdle;
    // Last: destroyed first, so a late result finds nothing.
    VerifyHandoff m_handoff;
};
