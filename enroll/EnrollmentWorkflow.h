// The enrollment state machine: events 0..8, capture requests, Abort and the event timers.
#pragma once

#include <cstdint>
#include <string>

#include "CaptureHandoff.h"
#include "EnrollmentContext.h"
#include "WinBio.h"
#include "WorkflowDisplay.h"

enum EnrollmentEvent : unsigned {
    kEventReady = 0,
    kEventBegin = 1,
    kEventPlace = 2,
    kEventRelease = 3,
    kEventTimeout = 4,
    kEventCommit = 5,
    kEventFailure = 6,
    kEventMismatch = 7,
    kEventAborted = 8,
};

constexpr std::int32_t kBadCaptureLimit = 40;
// The bar's range when the back end does not say how many captures an enrollment takes.
constexpr int kProgressMaximum = 3;
constexpr unsigned kFirstEventTimer = kEventPlace;
constexpr unsigned kLastEventTimer = kEventAborted;

// Lives on the window's thread. Capture results arrive on the service's thread and come back
// as event timers; a result that arrives after the workflow is gone is dropped safely.
class EnrollmentWorkflow {
public:
    EnrollmentWorkflow(EnrollmentContext& context, WorkflowDisplay& display);
    ~EnrollmentWorkflow();
    EnrollmentWorkflow(const EnrollmentWorkflow&) = delete;
    EnrollmentWorkflow& operator=(const EnrollmentWorkflow&) = delete;

    void RunEnrollmentEvent(unsigned event);
    void StartCapture();
    void AbortEnrollment();
    // Event timers 2..8 only.
    void HandleTimer(unsigned timerId);

private:
    void RunReady();
    void RunBegin();
    void RunPlace();
    void RunRelease();
    void RunTimeout();
    void RunCommit();
    void RunFailure();
    void RunMismatch();
    void RunAborted();

    // The only ways to change the progress bar and Abort: they keep the callback's copy in step.
    void SetProgressPosition(int position);
    void EnableAbortButton(bool enabled);
    // Asks the back end how many captures the open enrollment takes and sets the bar's range.
    void RefreshProgressRange();

    void ShowStatus(TextId titleId, TextId textId, Colorref colour);
    void ShowStatusText(TextId titleId, const std::u16string& text, Colorref colour);
    void Deselect();
    void ResetBadCaptureCounters();
    bool AllFingersEnrolled() const;

    EnrollmentContext& m_context;
    WorkflowDisplay& m_display;
    CaptureHandoff m_handoff;
    // Set by Abort until the next begin: a result already in when Abort came must not carry
    // the attempt on.
    bool m_abortRequested = false;
    int m_progressMaximum = kProgressMaximum;
};
