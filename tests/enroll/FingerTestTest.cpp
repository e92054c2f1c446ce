// Testing an enrolled finger: each verdict, retries, Abort, closing, and refusals while busy.
#include <gmock/gmock.h>

#include "FakeWindowHost.h"
#include "StatusMessage.h"
#include "WorkflowFixture.h"

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

namespace {

constexpr SubFactor kTestedFinger = 5;

// One thing that happens while the test runs.
struct TestStep {
    enum Kind { kResult, kAbort, kClose } kind = kResult;
    StatusCode status = kOk;
    bool match = false;
    RejectDetail rejectDetail = 0;
};

TestStep Result(StatusCode status, bool match = false, RejectDetail detail = 0) {
    return {TestStep::kResult, status, match, detail};
}
TestStep Retry(RejectDetail detail) {
    return Result(kBadCapture, false, detail);
}
const TestStep kMatch = Result(kOk, true);
const TestStep kAbort{.kind = TestStep::kAbort};
const TestStep kClose{.kind = TestStep::kClose};

std::string StatusLine(TextId title, TextId text, Colorref colour = kColorBlack,
                       const std::u16string& shown = {}) {
    return "status " + std::to_string(title) + " " + std::to_string(text) + " '" + Narrow(shown) +
           "' " + std::to_string(colour) + " " + std::to_string(colour);
}

std::string FailureLine(StatusCode status) {
    return StatusLine(kTitleTestError, 0, kColorError,
                      ComposeStatusMessage(status, kTextTestFailurePrefix));
}

const std::string kVerifyCall = "verify 7 5";
const std::string kStartLine = StatusLine(kTitleTestFinger, kTextTestTouch);
const std::string kIdleLine = StatusLine(kTitleSelectFinger, kTextSelectFinger);

struct OutcomeRow {
    const char* name;
    std::vector<TestStep> steps;
    // Expected: the panel's statuses after the start's, and every call to the service.
    std::vector<std::string> statuses;
    std::vector<std::string> calls;
    std::uint32_t sensorSubType = kSensorSubtypeTouch;
};

void PrintTo(const OutcomeRow& row, std::ostream* out) {
    *out << row.name;
}

const std::vector<OutcomeRow>& OutcomeRows() {
    static const std::vector<OutcomeRow> rows = {
        {.name = "Match",
         .steps = {kMatch},
         .statuses = {StatusLine(kTitleFingerRecognized, kTextTestRecognized)},
         .calls = {kVerifyCall}},
        {.name = "NoMatch",
         .steps = {Result(kNoMatch)},
         .statuses = {StatusLine(kTitleFingerNotRecognized, kTextTestNotRecognized, kColorError)},
         .calls = {kVerifyCall}},
        // A back end that read the finger but says "no" with success is still no match.
        {.name = "SuccessWithoutMatchIsNoMatch",
         .steps = {Result(kOk, false)},
         .statuses = {StatusLine(kTitleFingerNotRecognized, kTextTestNotRecognized, kColorError)},
         .calls = {kVerifyCall}},
        {.name = "RetriesThenMatch",
         .steps = {Retry(kRejectPoorQuality), Retry(kRejectTooSkewed), Retry(kRejectTooFast),
                   Retry(kRejectMergeFailure), kMatch},
         .statuses = {StatusLine(kTitleTestFinger, kTextTestRetryTouch),
                      StatusLine(kTitleTestFinger, kTextTestNotCentered),
                      StatusLine(kTitleTestFinger, kTextTestLiftAndTouch),
                      StatusLine(kTitleTestFinger, kTextTestRetryTouch),
                      StatusLine(kTitleFingerRecognized, kTextTestRecognized)},
         .calls = {kVerifyCall, kVerifyCall, kVerifyCall, kVerifyCall, kVerifyCall}},
        {.name = "SwipeSensorRetriesThenNoMatch",
         .steps = {Retry(kRejectTooShort), Retry(kRejectTooFast), Retry(kRejectTooLeft),
                   Result(kNoMatch)},
         .statuses = {StatusLine(kTitleTestFinger, kTextTestSwipeTooShort),
                      StatusLine(kTitleTestFinger, kTextTestSwipeTooFast),
                      StatusLine(kTitleTestFinger, kTextTestRetrySwipe),
                      StatusLine(kTitleFingerNotRecognized, kTextTestNotRecognized, kColorError)},
         .calls = {kVerifyCall, kVerifyCall, kVerifyCall, kVerifyCall},
         .sensorSubType = kSensorSubtypeSwipe},
        {.name = "NoTouchInTime",
         .steps = {Result(kCaptureTimedOut)},
         .statuses = {StatusLine(kTitleTimeout, kTextTestTimeout)},
         .calls = {kVerifyCall}},
        {.name = "Abort",
         .steps = {kAbort, Result(kCanceled)},
         .statuses = {kIdleLine},
         .calls = {kVerifyCall, "cancel 7"}},
        // The verdict came before the cancel reached the service: the user still asked to stop.
        {.name = "AbortBeatenByAMatch",
         .steps = {kAbort, kMatch},
         .statuses = {kIdleLine},
         .calls = {kVerifyCall, "cancel 7"}},
        {.name = "AbortAfterARetry",
         .steps = {Retry(kRejectPoorQuality), kAbort, Result(kCanceled)},
         .statuses = {StatusLine(kTitleTestFinger, kTextTestRetryTouch), kIdleLine},
         .calls = {kVerifyCall, kVerifyCall, "cancel 7"}},
        {.name = "CloseCancels",
         .steps = {kClose, Result(kCanceled)},
         .statuses = {kIdleLine},
         .calls = {kVerifyCall, "cancel 7"}},
        // Not the user's cancel: another program took the reader.
        {.name = "CanceledElsewhere",
         .steps = {Result(kCanceled)},
         .statuses = {FailureLine(kCanceled)},
         .calls = {kVerifyCall}},
        {.name = "DeviceFailure",
         .steps = {Result(kDeviceFailure)},
         .statuses = {FailureLine(kDeviceFailure)},
         .calls = {kVerifyCall}},
    };
    return rows;
}

class FingerTestOutcome : public WorkflowFixture,
                          public ::testing::WithParamInterface<OutcomeRow> {};

TEST_P(FingerTestOutcome, ShowsTheVerdictAndEndsFree) {
    const OutcomeRow& row = GetParam();
    context.enrolledSet = MakeEnrolledSet({2, kTestedFinger});
    context.sensorSubType = row.sensorSubType;

    workflow->TestFinger(kTestedFinger);
    EXPECT_EQ(context.selectedFinger, kTestedFinger);
    EXPECT_TRUE(workflow->TestUnderWay());
    EXPECT_THAT(display.Log(),
                ElementsAre("redraw",
                            StatusLine(kTitleTestFinger, row.sensorSubType == kSensorSubtypeSwipe
                                                             ? kTextTestSwipe
                                                             : kTextTestTouch),
                            "abort on"));
    display.ClearLog();

    for (const TestStep& step : row.steps) {
        switch (step.kind) {
            case TestStep::kAbort:
                workflow->Abort();
                break;
            case TestStep::kClose:
                workflow->CancelFingerActionForClose();
                break;
            case TestStep::kResult:
                ASSERT_TRUE(backend->HasPendingVerification());
                backend->DeliverVerification(step.status, step.match, step.rejectDetail);
                ASSERT_EQ(display.TakeArmedTimer(), kTestResultTimer);
                workflow->HandleTimer(kTestResultTimer);
                break;
        }
    }

    std::vector<std::string> statuses;
    for (const std::string& line : display.Log()) {
        if (line.rfind("status ", 0) == 0) {
            statuses.push_back(line);
        }
    }
    EXPECT_THAT(statuses, ElementsAreArray(row.statuses));
    EXPECT_THAT(backend->Calls(), ElementsAreArray(row.calls));
    EXPECT_FALSE(backend->HasPendingVerification()) << "the reader is left busy";
    EXPECT_EQ(context.selectedFinger, 0);
    EXPECT_FALSE(workflow->TestUnderWay());
    EXPECT_TRUE(workflow->CanActOnFinger());
    EXPECT_EQ(display.Log().back(), row.statuses.back()) << "the verdict is the last word";
    const auto log = display.Log();
    EXPECT_NE(std::find(log.begin(), log.end(), "abort off"), log.end());
}

INSTANTIATE_TEST_SUITE_P(Outcomes, FingerTestOutcome, ::testing::ValuesIn(OutcomeRows()),
                         [](const auto& rowInfo) { return std::string(rowInfo.param.name); });

TEST_F(WorkflowFixture, TestOfAFingerNotEnrolledAfterAllShowsTheFailureAndReadsTheFingersAgain) {
    context.enrolledSet = MakeEnrolledSet({2, kTestedFinger});
    backend->results["verify"] = kDatabaseNoSuchRecord;
    backend->enrollments = {2};  // another program deleted it since the last listing

    workflow->TestFinger(kTestedFinger);

    EXPECT_THAT(backend->Calls(), ElementsAre(kVerifyCall, "enum 7 1", "free"));
    EXPECT_THAT(display.Log(), ElementsAre("redraw", kStartLine, "abort on", "redraw", "abort off",
                                           FailureLine(kDatabaseNoSuchRecord), "redraw"));
    EXPECT_EQ(context.enrolledSet, MakeEnrolledSet({2}));
    EXPECT_EQ(context.selectedFinger, 0);
    EXPECT_TRUE(workflow->CanActOnFinger());
}

TEST_F(WorkflowFixture, RetryThatCannotBeRequestedEndsWithItsFailure) {
    context.enrolledSet = MakeEnrolledSet({kTestedFinger});
    workflow->TestFinger(kTestedFinger);
    backend->results["verify"] = kSensorUnavailable;
    backend->DeliverVerification(kBadCapture, false, kRejectPoorQuality);
    workflow->HandleTimer(display.TakeArmedTimer().value_or(0));

    EXPECT_EQ(display.Log().back(), FailureLine(kSensorUnavailable));
    EXPECT_FALSE(backend->HasPendingVerification());
    EXPECT_EQ(context.selectedFinger, 0);
}

// Only an enrolled finger can be tested, and nothing starts while anything else runs.
TEST_F(WorkflowFixture, TestIsRefusedForABareFingerAndWhileBusy) {
    FakeWindowHost host;
    context.enrolledSet = MakeEnrolledSet({kTestedFinger, 8});
    backend->enrollments = {kTestedFinger, 8};  // what the abort's re-read finds

    for (const SubFactor notTestable : {SubFactor{0}, SubFactor{4}, SubFactor{11}}) {
        workflow->TestFinger(notTestable);
        workflow->AskToDeleteFinger(notTestable, host);
    }
    EXPECT_THAT(backend->Calls(), IsEmpty());
    EXPECT_THAT(display.Log(), IsEmpty());
    EXPECT_THAT(host.questions, IsEmpty());

    Begin(2);  // an enrollment under way
    ClearRecords();
    workflow->TestFinger(kTestedFinger);
    EXPECT_THAT(backend->Calls(), IsEmpty());
    workflow->AbortEnrollment();
    Step(kCanceled);

    workflow->TestFinger(kTestedFinger);  // a test under way
    ClearRecords();
    workflow->TestFinger(8);
    workflow->AskToDeleteFinger(8, host);
    workflow->ActOnFinger(4, host);
    workflow->ActOnFinger(8, host);
    EXPECT_THAT(backend->Calls(), IsEmpty());
    EXPECT_THAT(host.questions, IsEmpty());
    EXPECT_EQ(context.selectedFinger, kTestedFinger);
    EXPECT_FALSE(workflow->CanActOnFinger());
}

TEST_F(WorkflowFixture, DeleteFromTheMenuAsksOnlyForAnEnrolledFinger) {
    FakeWindowHost host;
    host.answerYes = false;
    context.enrolledSet = MakeEnrolledSet({kTestedFinger});
    workflow->AskToDeleteFinger(kTestedFinger, host);
    EXPECT_THAT(host.questions, ElementsAre(LoadCatalogueText(kTextDeleteQuestion)));
    EXPECT_THAT(backend->Calls(), IsEmpty());
}

TEST_F(WorkflowFixture, AResultAfterTheWorkflowIsGoneIsDropped) {
    context.enrolledSet = MakeEnrolledSet({kTestedFinger});
    workflow->TestFinger(kTestedFinger);
    const auto journal = display.SharedJournal();
    workflow.reset();
    backend->DeliverVerification(kOk, true);
    EXPECT_THAT(journal->armedTimers, IsEmpty());
}

}  // namespace
