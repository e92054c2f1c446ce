// The enrollment state machine: events 0..8, capture requests, Abort and the event timers.
#pragma once

#include <cstdint>
#include <string>

#include "CaptureHandoff.h"
#include "EnrollmentContext.h"
#include "FingerTest.h"
#include "LoginUseProbe.h"
#include "SystemEvent.h"
#include "WinBio.h"
#include "WindowHost.h"
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
// The finger test's result timer follows the enrollment's event timers.
constexpr unsigned kLastEventTimer = kTestResultTimer;
static_assert(kTestResultTimer == kEventAborted + 1);

// What a click on a fingertip has under way; a click that comes while it is not kNone (from a
// local event loop of the question or of the back end's deletion) is refused.
enum class FingerAction {
    kNone,
    kAskingToDelete,
    kDeleting,
    // The window closed during the question or the deletion: the deletion is not made or is
    // cancelled, and its outcome is not shown.
    kClosing,
};

// Who is ending the enrollment or test under way, from the request until the next one begins: a
// result already in when the request came must not carry the attempt on.
enum class StopRequest {
    kNone,
    kUserAbort,
    kScreenLocked,
    kGoingToSleep,
};

// Lives on the window's thread. Capture results arrive on the service's thread and come back
// as event timers; a result that arrives after the workflow is gone is dropped safely.
class EnrollmentWorkflow {
public:
    EnrollmentWorkflow(EnrollmentContext& context, WorkflowDisplay& display);
    ~EnrollmentWorkflow();
    EnrollmentWorkflow(const EnrollmentWorkflow&) = delete;
    EnrollmentWorkflow& operator=(const EnrollmentWorkflow&) = delete;

    // After a success, a probe that says login does not use the fingerprint adds a sentence on
    // it; without one (null) nothing is added. The probe outlives the workflow.
    void SetLoginUseProbe(LoginUseProbe* probe) { m_loginUseProbe = probe; }

    void RunEnrollmentEvent(unsigned event);
    void StartCapture();
    void AbortEnrollment();
    // The Abort button: ends the test or the enrollment under way.
    void Abort();
    // The screen locked or the computer is going to sleep: an enrollment or a test under way
    // ends at once and frees the reader, as Abort would, and the panel says why. Nothing resumes
    // by itself; with nothing under way, and during a deletion (short, and it holds no scan),
    // nothing happens.
    void StopForSystemEvent(SystemEvent event);
    // Event timers 2..8 and the test's result timer only.
    void HandleTimer(unsigned timerId);

    // A click, key or accessibility action on fingertip 1..10: asks to delete an enrolled
    // finger, else begins its enrollment. Does nothing while an attempt, the question or a
    // deletion is under way.
    void ActOnFinger(SubFactor finger, WindowHost& host);
    // Tests an enrolled finger; does nothing for a bare one, or while anything is under way.
    void TestFinger(SubFactor finger);
    // Asks to delete an enrolled finger; does nothing for a bare one, or while anything is
    // under way.
    void AskToDeleteFinger(SubFactor finger, WindowHost& host);
    bool TestUnderWay() const { return m_test.UnderWay(); }
    // Whether an enrolled finger can be tested or deleted now: what its menu offers.
    bool CanActOnEnrolledFinger(SubFactor finger) const;
    // The way to end a test from outside the window's buttons; Abort and closing use it too.
    void StopTest() { m_test.Stop(); }
    // A finger is selected: from the click that began the attempt until the attempt ended.
    bool AttemptUnderWay() const;
    bool CanActOnFinger() const;
    FingerAction FingerActionUnderWay() const { return m_fingerAction; }
    // For the window that is closing: a deletion that waits is cancelled with the service, one
    // still asked about is not made, and the outcome of either is not shown; a test is stopped.
    void CancelFingerActionForClose();

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
    // Disables Abort, then asks the service to cancel the attempt.
    void RequestStop(StopRequest request);
    // What an attempt that ended without a print shows: "Select Finger", or why it stopped.
    void ShowStoppedAttempt();
    // What a test that was stopped shows once the service has answered: the resting panel, or
    // why it stopped.
    void ShowStoppedTest();

    void DeleteAfterQuestion(SubFactor finger, WindowHost& host);
    // A failure that says the finger is enrolled after all re-reads the enrolled set.
    void ReadEnrolledSetAfterFailure(StatusCode status);
    // Progress and text of an enrollment that the service has stored.
    void ShowCompleted();

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
    StopRequest m_stopRequest = StopRequest::kNone;
    int m_progressMaximum = kProgressMaximum;
    // Whether the bar's range came from the back end: only then is a completion known to fill it.
    bool m_stageCountReported = false;
    FingerAction m_fingerAction = FingerAction::kNone;
    FingerTest m_test;
    LoginUseProbe* m_loginUseProbe = nullptr;
};
