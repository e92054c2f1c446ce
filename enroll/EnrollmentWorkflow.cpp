// The enrollment state machine: what each event shows and asks of the service.
#include "EnrollmentWorkflow.h"

#include <algorithm>
#include <limits>

#include "EnrolledSet.h"
#include "StatusMessage.h"

namespace {

// The events that ask for another capture; the others end the attempt.
bool ContinuesEnrollment(unsigned event) {
    return event == kEventPlace || event == kEventRelease || event == kEventMismatch;
}

// A swipe sensor is swiped across, not pressed: its place, lift and mismatch texts say so.
bool IsSwipeSensor(const EnrollmentContext& context) {
    return context.sensorSubType == kSensorSubtypeSwipe;
}

TextId PlaceText(const EnrollmentContext& context) {
    return IsSwipeSensor(context) ? kTextSwipeFinger : kTextPlaceFinger;
}

TextId LiftText(const EnrollmentContext& context) {
    return IsSwipeSensor(context) ? kTextSwipeDone : kTextReleaseFinger;
}

TextId MismatchText(const EnrollmentContext& context) {
    return IsSwipeSensor(context) ? kTextSwipeMismatch : kTextMismatch;
}

StopRequest StopRequestFor(SystemEvent event) {
    switch (event) {
        case SystemEvent::kScreenLocked:
            return StopRequest::kScreenLocked;
        case SystemEvent::kGoingToSleep:
            return StopRequest::kGoingToSleep;
    }
    return StopRequest::kNone;
}

enum class AttemptKind { kEnrollment, kTest };

// What the panel says after an attempt that the desktop stopped.
struct StoppedAttemptTexts {
    StopRequest request;
    AttemptKind kind;
    TextId title;
    TextId text;
};

constexpr StoppedAttemptTexts kStoppedAttemptTexts[] = {
    {StopRequest::kScreenLocked, AttemptKind::kEnrollment, kTitleEnrollmentStopped,
     kTextStoppedScreenLocked},
    {StopRequest::kGoingToSleep, AttemptKind::kEnrollment, kTitleEnrollmentStopped,
     kTextStoppedGoingToSleep},
    {StopRequest::kScreenLocked, AttemptKind::kTest, kTitleTestStopped,
     kTextTestStoppedScreenLocked},
    {StopRequest::kGoingToSleep, AttemptKind::kTest, kTitleTestStopped,
     kTextTestStoppedGoingToSleep},
};

const StoppedAttemptTexts* TextsForStop(StopRequest request, AttemptKind kind) {
    for (const StoppedAttemptTexts& texts : kStoppedAttemptTexts) {
        if (texts.request == request && texts.kind == kind) {
            return &texts;
        }
    }
    return nullptr;
}

bool StoppedByDesktop(StopRequest request) {
    return TextsForStop(request, AttemptKind::kEnrollment) != nullptr;
}

}  // namespace

EnrollmentWorkflow::EnrollmentWorkflow(EnrollmentContext& context, WorkflowDisplay& display)
    : m_context(context),
      m_display(display),
      m_handoff(context, display),
      m_test(context, display, [this] { ShowStoppedTest(); }) {}

// A capture may still be outstanding: the hand-off's destructor makes its result a no-op.
EnrollmentWorkflow::~EnrollmentWorkflow() = default;

void EnrollmentWorkflow::RunEnrollmentEvent(unsigned event) {
    switch (event) {
        case kEventReady:
            RunReady();
            break;
        case kEventBegin:
            RunBegin();
            break;
        case kEventPlace:
            RunPlace();
            break;
        case kEventRelease:
            RunRelease();
            break;
        case kEventTimeout:
            RunTimeout();
            break;
        case kEventCommit:
            RunCommit();
            break;
        case kEventFailure:
            RunFailure();
            break;
        case kEventMismatch:
            RunMismatch();
            break;
        case kEventAborted:
            RunAborted();
            break;
        default:
            break;
    }
}

void EnrollmentWorkflow::RunReady() {
    SetProgressPosition(0);
    if (AllFingersEnrolled()) {
        ShowStatus(kTitleFullyEnrolled, kTextAllEnrolled, kColorBlack);
    } else {
        ShowStatus(kTitleSelectFinger, kTextSelectFinger, kColorBlack);
    }
}

void EnrollmentWorkflow::RunBegin() {
    m_stopRequest = StopRequest::kNone;
    ResetBadCaptureCounters();
    SetProgressPosition(0);
    ShowStatus(kTitlePlaceFinger, PlaceText(m_context), kColorBlack);
    m_context.acceptedCaptureCount.store(0);
    const auto subFactor = static_cast<SubFactor>(m_context.selectedFinger & 0xFF);
    const StatusCode status =
        WinBioEnrollBegin(m_context.sessionHandle, subFactor, m_context.unitId);
    if (status >= 0) {
        RefreshProgressRange();
        SetProgressPosition(0);
        EnableAbortButton(true);
        StartCapture();
        return;
    }
    Deselect();
    SetProgressPosition(0);
    ShowStatusText(kTitleEnrollmentError, ComposeStatusMessage(status), kColorError);
    WinBioEnrollDiscard(m_context.sessionHandle);
    ReadEnrolledSetAfterFailure(status);
}

void EnrollmentWorkflow::RunPlace() {
    const TextId title =
        m_context.acceptedCaptureCount.load() == 0 ? kTitlePlaceFinger : kTitlePlaceFingerAgain;
    ShowStatus(title, PlaceText(m_context), kColorBlack);
    EnableAbortButton(true);
    StartCapture();
}

void EnrollmentWorkflow::RunRelease() {
    // A back end may learn the number only once the enrollment really started.
    RefreshProgressRange();
    SetProgressPosition(m_context.acceptedCaptureCount.load());
    ShowStatus(kTitleReleaseFinger, LiftText(m_context), kColorBlack);
    EnableAbortButton(true);
    StartCapture();
}

void EnrollmentWorkflow::RunTimeout() {
    Deselect();
    SetProgressPosition(0);
    ShowStatus(kTitleTimeout, kTextTimeout, kColorBlack);
    WinBioEnrollDiscard(m_context.sessionHandle);
    EnableAbortButton(false);
}

void EnrollmentWorkflow::RunCommit() {
    RefreshProgressRange();  // asked while the enrollment is still open
    WINBIO_IDENTITY identity{};
    std::uint8_t isNewTemplate = 1;
    const StatusCode status =
        WinBioEnrollCommit(m_context.sessionHandle, &identity, &isNewTemplate);
    if (status != kOk) {
        // The service keeps a refused enrollment open, and every later begin would then fail
        // until the service restarts.
        WinBioEnrollDiscard(m_context.sessionHandle);
    }
    EnableAbortButton(false);
    Deselect();
    ReadEnrolledSet(m_context);  // a failed re-read keeps the old set, which is all we can show
    if (status == kOk) {
        ShowCompleted();
        return;
    }
    SetProgressPosition(0);
    if (status == kDuplicateEnrollment) {
        ShowStatus(kTitleEnrollmentError, kTextDuplicateEnrollment, kColorError);
    } else {
        ShowStatusText(kTitleEnrollmentError, ComposeStatusMessage(status), kColorError);
    }
}

void EnrollmentWorkflow::RunFailure() {
    const StatusCode status = m_context.lastStatus.load();
    Deselect();
    SetProgressPosition(0);
    ShowStatusText(kTitleEnrollmentError, ComposeStatusMessage(status), kColorError);
    WinBioEnrollDiscard(m_context.sessionHandle);
    EnableAbortButton(false);
    ReadEnrolledSetAfterFailure(status);
}

void EnrollmentWorkflow::ReadEnrolledSetAfterFailure(StatusCode status) {
    // Another program enrolled the finger after the last listing, and the service would not
    // overwrite it: the listing shows it green instead of bare.
    if (status == kDuplicateTemplate) {
        ReadEnrolledSet(m_context);
        m_display.RedrawFingerMap();
    }
}

void EnrollmentWorkflow::RunMismatch() {
    ShowStatus(kTitleFingerError, MismatchText(m_context), kColorError);
    EnableAbortButton(true);
    StartCapture();
}

void EnrollmentWorkflow::RunAborted() {
    const int aborted = m_context.selectedFinger;
    Deselect();
    WinBioEnrollDiscard(m_context.sessionHandle);
    // The service may have stored the print before the cancel reached it: the screen then says
    // so, rather than offering a finger that is already enrolled.
    ReadEnrolledSet(m_context);
    if (IsEnrolled(m_context.enrolledSet, aborted)) {
        ShowCompleted();
    } else {
        SetProgressPosition(0);
        ShowStoppedAttempt();
    }
    EnableAbortButton(false);
}

void EnrollmentWorkflow::ShowStoppedAttempt() {
    if (const StoppedAttemptTexts* texts = TextsForStop(m_stopRequest, AttemptKind::kEnrollment)) {
        ShowStatus(texts->title, texts->text, kColorBlack);
        return;
    }
    ShowStatus(kTitleSelectFinger, kTextSelectFinger, kColorBlack);
}

void EnrollmentWorkflow::ShowStoppedTest() {
    if (const StoppedAttemptTexts* texts = TextsForStop(m_stopRequest, AttemptKind::kTest)) {
        ShowStatus(texts->title, texts->text, kColorBlack);
        return;
    }
    RunEnrollmentEvent(kEventReady);
}

void EnrollmentWorkflow::ShowCompleted() {
    // Results before the last may have been passed on counted together or not at all; a back
    // end that gave the number of stages has reached all of them.
    SetProgressPosition(m_stageCountReported ? m_progressMaximum
                                             : m_context.acceptedCaptureCount.load());
    const TextId text = AllFingersEnrolled() ? kTextCompletedAll : kTextEnrollmentSuccess;
    if (m_loginUseProbe != nullptr && !m_loginUseProbe->LoginUsesFingerprint()) {
        ShowStatusText(kTitleEnrollmentSuccess,
                       LoadCatalogueText(text) + u" " + LoadCatalogueText(kTextFingerprintLoginOff),
                       kColorBlack);
        return;
    }
    ShowStatus(kTitleEnrollmentSuccess, text, kColorBlack);
}

void EnrollmentWorkflow::ActOnFinger(SubFactor finger, WindowHost& host) {
    if (finger < kFirstFinger || finger > kLastFinger || !CanActOnFinger()) {
        return;
    }
    if (IsEnrolled(m_context.enrolledSet, finger)) {
        DeleteAfterQuestion(finger, host);
        return;
    }
    m_context.selectedFinger = finger;
    m_display.RedrawFingerMap();
    RunEnrollmentEvent(kEventBegin);
}

void EnrollmentWorkflow::TestFinger(SubFactor finger) {
    if (CanActOnEnrolledFinger(finger)) {
        m_stopRequest = StopRequest::kNone;  // an earlier attempt's reason is not this test's
        m_test.Start(finger);
    }
}

void EnrollmentWorkflow::AskToDeleteFinger(SubFactor finger, WindowHost& host) {
    if (CanActOnEnrolledFinger(finger)) {
        DeleteAfterQuestion(finger, host);
    }
}

bool EnrollmentWorkflow::CanActOnEnrolledFinger(SubFactor finger) const {
    return finger >= kFirstFinger && finger <= kLastFinger && CanActOnFinger() &&
           IsEnrolled(m_context.enrolledSet, finger);
}

void EnrollmentWorkflow::DeleteAfterQuestion(SubFactor finger, WindowHost& host) {
    m_fingerAction = FingerAction::kAskingToDelete;
    const bool confirmed = host.AskYesNo(LoadCatalogueText(kTextDeleteQuestion));
    if (!confirmed || m_fingerAction == FingerAction::kClosing) {
        m_fingerAction = FingerAction::kNone;
        return;
    }
    m_fingerAction = FingerAction::kDeleting;
    const StatusCode status = DeleteFingerTemplate(m_context, finger);
    const bool closing = m_fingerAction == FingerAction::kClosing;
    m_fingerAction = FingerAction::kNone;
    if (closing) {
        return;  // the user has left: a box now would hold the closing window open
    }
    if (status < 0) {
        ShowDeletionFailure(status, host);
    }
    const std::u16string shown = m_context.enrolledSet;
    ReadEnrolledSet(m_context);
    m_display.RedrawFingerMap();
    // After a failure, only when the listing changed: another program may have removed the
    // finger since the last listing, and without a fresh one its mark could never go.
    if (status == kOk || m_context.enrolledSet != shown) {
        RunEnrollmentEvent(kEventReady);
    }
}

bool EnrollmentWorkflow::AttemptUnderWay() const {
    return m_context.selectedFinger != 0;
}

bool EnrollmentWorkflow::CanActOnFinger() const {
    return m_fingerAction == FingerAction::kNone && !AttemptUnderWay() && !m_test.UnderWay();
}

void EnrollmentWorkflow::CancelFingerActionForClose() {
    m_test.Stop();
    switch (m_fingerAction) {
        case FingerAction::kAskingToDelete:
            m_fingerAction = FingerAction::kClosing;
            break;
        case FingerAction::kDeleting:
            m_fingerAction = FingerAction::kClosing;
            // The back end then ends the deletion at once and finishes with the reader itself.
            WinBioCancel(m_context.sessionHandle);
            break;
        case FingerAction::kNone:
        case FingerAction::kClosing:
            break;
    }
}

void EnrollmentWorkflow::StartCapture() {
    const StatusCode status = WinBioEnrollCaptureWithCallback(
        m_context.sessionHandle, &CaptureHandoff::OnCaptureResult, m_handoff.CaptureContext());
    if (status >= 0) {
        return;
    }
    m_context.lastStatus.store(status);
    RunEnrollmentEvent(kEventFailure);
}

void EnrollmentWorkflow::AbortEnrollment() {
    if (StoppedByDesktop(m_stopRequest)) {
        return;  // the desktop's stop is already on its way, and the panel will say why
    }
    RequestStop(StopRequest::kUserAbort);
}

void EnrollmentWorkflow::StopForSystemEvent(SystemEvent event) {
    if (m_test.UnderWay()) {
        // Stopping already (the user's Abort): that stop stands.
        if (m_test.State() == FingerTestState::kVerifying) {
            m_stopRequest = StopRequestFor(event);
            m_test.Stop();
        }
        return;
    }
    if (!AttemptUnderWay() || m_stopRequest != StopRequest::kNone) {
        return;
    }
    RequestStop(StopRequestFor(event));
}

void EnrollmentWorkflow::RequestStop(StopRequest request) {
    m_stopRequest = request;
    ResetBadCaptureCounters();
    // Disabled before the cancel, so the cancelled result is told apart as a requested one.
    EnableAbortButton(false);
    WinBioCancel(m_context.sessionHandle);
}

void EnrollmentWorkflow::Abort() {
    if (m_test.UnderWay()) {
        m_test.Stop();
    } else {
        AbortEnrollment();
    }
}

void EnrollmentWorkflow::HandleTimer(unsigned timerId) {
    if (timerId < kFirstEventTimer || timerId > kLastEventTimer) {
        return;
    }
    m_display.KillEventTimer(timerId);
    if (timerId == kTestResultTimer) {
        m_test.HandleResult();
        return;
    }
    unsigned event = timerId;
    // Only the first counter found over the limit is reset; the others keep counting.
    for (std::atomic<std::int32_t>* counter :
         {&m_context.mergeFailureCounter, &m_context.tooFastCounter,
          &m_context.poorQualityCounter}) {
        if (counter->load() > kBadCaptureLimit) {
            counter->store(0);
            event = kEventTimeout;
            break;
        }
    }
    // The result came before the cancel could reach its capture: end the attempt as the
    // cancelled capture would have.
    if (m_stopRequest != StopRequest::kNone && ContinuesEnrollment(event)) {
        event = kEventAborted;
    }
    // The service may have heard of the lock or the sleep first and ended the attempt itself:
    // the panel says why it ended rather than showing the service's error.
    if (StoppedByDesktop(m_stopRequest) && (event == kEventFailure || event == kEventTimeout)) {
        event = kEventAborted;
    }
    RunEnrollmentEvent(event);
}

void EnrollmentWorkflow::SetProgressPosition(int position) {
    // The count can run past the range, and the bar then shows full.
    const int shown = std::clamp(position, 0, m_progressMaximum);
    m_handoff.PublishProgressPosition(shown);
    m_display.SetProgressPosition(shown);
}

void EnrollmentWorkflow::RefreshProgressRange() {
    std::uint32_t stageCount = 0;
    const StatusCode status = WinBioEnrollStageCount(m_context.sessionHandle, &stageCount);
    int maximum = kProgressMaximum;
    m_stageCountReported = status == kOk && stageCount > 0;
    if (m_stageCountReported) {
        maximum =
            static_cast<int>(std::min<std::uint32_t>(stageCount, std::numeric_limits<int>::max()));
    }
    if (maximum == m_progressMaximum) {
        return;  // the bar is not reset for nothing
    }
    m_progressMaximum = maximum;
    m_handoff.PublishProgressMaximum(maximum);
    m_display.SetProgressRange(maximum);
}

void EnrollmentWorkflow::EnableAbortButton(bool enabled) {
    m_handoff.PublishAbortEnabled(enabled);
    m_display.EnableAbortButton(enabled);
}

void EnrollmentWorkflow::ShowStatus(TextId titleId, TextId textId, Colorref colour) {
    m_display.ShowStatus(titleId, textId, std::u16string(), colour, colour);
}

void EnrollmentWorkflow::ShowStatusText(TextId titleId, const std::u16string& text,
                                        Colorref colour) {
    m_display.ShowStatus(titleId, 0, text, colour, colour);
}

void EnrollmentWorkflow::Deselect() {
    m_context.selectedFinger = 0;
    m_display.RedrawFingerMap();
}

void EnrollmentWorkflow::ResetBadCaptureCounters() {
    m_context.mergeFailureCounter.store(0);
    m_context.tooFastCounter.store(0);
    m_context.poorQualityCounter.store(0);
}

bool EnrollmentWorkflow::AllFingersEnrolled() const {
    return m_context.enrolledSet.size() == kAllFingersEnrolled;
}
