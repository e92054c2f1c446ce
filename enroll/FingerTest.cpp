// Testing one enrolled finger: what each verification result shows and asks of the service.
#include "FingerTest.h"

#include <array>
#include <utility>

#include "EnrolledSet.h"
#include "StatusMessage.h"

namespace {

bool IsSwipeSensor(const EnrollmentContext& context) {
    return context.sensorSubType == kSensorSubtypeSwipe;
}

// What a touch that could not be read asks for, by the reader's reason.
struct RetryInstruction {
    RejectDetail rejectDetail;
    TextId touchText;
    TextId swipeText;
};

constexpr std::array kRetryInstructions = {
    RetryInstruction{kRejectTooHigh, kTextTestNotCentered, kTextTestRetrySwipe},
    RetryInstruction{kRejectTooLow, kTextTestNotCentered, kTextTestRetrySwipe},
    RetryInstruction{kRejectTooLeft, kTextTestNotCentered, kTextTestRetrySwipe},
    RetryInstruction{kRejectTooRight, kTextTestNotCentered, kTextTestRetrySwipe},
    RetryInstruction{kRejectTooSkewed, kTextTestNotCentered, kTextTestRetrySwipe},
    RetryInstruction{kRejectTooFast, kTextTestLiftAndTouch, kTextTestSwipeTooFast},
    RetryInstruction{kRejectTooShort, kTextTestRetryTouch, kTextTestSwipeTooShort},
};

TextId RetryText(const EnrollmentContext& context, RejectDetail rejectDetail) {
    const bool swipe = IsSwipeSensor(context);
    for (const RetryInstruction& row : kRetryInstructions) {
        if (row.rejectDetail == rejectDetail) {
            return swipe ? row.swipeText : row.touchText;
        }
    }
    // Poor quality and every other reason: the touch was not read, touch again.
    return swipe ? kTextTestRetrySwipe : kTextTestRetryTouch;
}

}  // namespace

FingerTest::FingerTest(EnrollmentContext& context, WorkflowDisplay& display,
                       std::function<void()> showIdle)
    : m_context(context), m_display(display), m_showIdle(std::move(showIdle)), m_handoff(display) {}

void FingerTest::Start(SubFactor finger) {
    m_context.selectedFinger = finger;
    m_display.RedrawFingerMap();
    m_display.ShowStatus(kTitleTestFinger,
                         IsSwipeSensor(m_context) ? kTextTestSwipe : kTextTestTouch, {},
                         kColorBlack, kColorBlack);
    m_display.EnableAbortButton(true);
    RequestVerification();
}

void FingerTest::Stop() {
    if (m_state != FingerTestState::kVerifying) {
        return;
    }
    m_state = FingerTestState::kStopping;
    m_display.EnableAbortButton(false);
    WinBioCancel(m_context.sessionHandle);
}

void FingerTest::HandleResult() {
    const auto result = m_handoff.TakeResult();
    if (!result || m_state == FingerTestState::kIdle) {
        return;
    }
    // Whatever came, even a verdict that beat the cancel: the user asked to stop.
    if (m_state == FingerTestState::kStopping) {
        FinishStopped();
        return;
    }
    HandleVerdict(*result);
}

void FingerTest::RequestVerification() {
    m_state = FingerTestState::kVerifying;
    const auto finger = static_cast<SubFactor>(m_context.selectedFinger);
    const StatusCode status =
        WinBioVerifyWithCallback(m_context.sessionHandle, &m_context.identity, finger,
                                 &VerifyHandoff::OnVerifyResult, m_handoff.VerifyContext());
    if (status < 0) {
        FinishWithFailure(status);
    }
}

void FingerTest::HandleVerdict(const VerifyResult& result) {
    if (result.status == kOk && result.match) {
        Finish(kTitleFingerRecognized, kTextTestRecognized, kColorBlack);
    } else if (result.status == kOk || result.status == kNoMatch) {
        // A read without a match is a non-match, however the back end says it.
        Finish(kTitleFingerNotRecognized, kTextTestNotRecognized, kColorError);
    } else if (result.status == kBadCapture) {
        AskAgain(result.rejectDetail);
    } else if (result.status == kCaptureTimedOut) {
        Finish(kTitleTimeout, kTextTestTimeout, kColorBlack);
    } else {
        // A cancel while Abort is enabled was not the user's: another program took the reader.
        FinishWithFailure(result.status);
    }
}

void FingerTest::AskAgain(RejectDetail rejectDetail) {
    m_display.ShowStatus(kTitleTestFinger, RetryText(m_context, rejectDetail), {}, kColorBlack,
                         kColorBlack);
    RequestVerification();
}

void FingerTest::FinishStopped() {
    EndAttempt();
    m_showIdle();
}

void FingerTest::FinishWithFailure(StatusCode status) {
    FinishWithText(kTitleTestError, ComposeStatusMessage(status, kTextTestFailurePrefix),
                   kColorError);
    // The finger may have been deleted by another program since the last listing: the
    // listing then shows it bare rather than offering a test that cannot work.
    if (status == kDatabaseNoSuchRecord) {
        ReadEnrolledSet(m_context);
        m_display.RedrawFingerMap();
    }
}

void FingerTest::Finish(TextId titleId, TextId textId, Colorref colour) {
    EndAttempt();
    m_display.ShowStatus(titleId, textId, {}, colour, colour);
}

void FingerTest::FinishWithText(TextId titleId, const std::u16string& text, Colorref colour) {
    EndAttempt();
    m_display.ShowStatus(titleId, 0, text, colour, colour);
}

void FingerTest::EndAttempt() {
    m_state = FingerTestState::kIdle;
    m_context.selectedFinger = 0;
    m_display.RedrawFingerMap();
    m_display.EnableAbortButton(false);
}
