// What each enrollment event shows and asks of the service, and Abort.
#include <gmock/gmock.h>

#include <algorithm>

#include "StatusMessage.h"
#include "WorkflowFixture.h"

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

namespace {

// "{message}" in an expected line stands for the composed status message of messageFor.
struct EventRow {
    const char* name;
    unsigned event;
    std::size_t enrolledBefore = 0;
    std::int32_t acceptedCaptures = 0;
    StatusCode lastStatus = kOk;
    std::map<std::string, StatusCode> serviceResults = {};
    std::size_t enrolledInService = 0;
    std::vector<std::string> display = {};
    std::vector<std::string> calls = {};
    bool deselected = false;
    bool captureStarted = false;
    StatusCode messageFor = kOk;
    // The enrolled set afterwards, where the event reads it anew.
    const char16_t* enrolledAfter = nullptr;
};

std::string ExpandMessage(std::string line, StatusCode status) {
    const std::string token = "{message}";
    const auto at = line.find(token);
    if (at != std::string::npos) {
        line.replace(at, token.size(), Narrow(ComposeStatusMessage(status)));
    }
    return line;
}

const std::vector<EventRow>& EventRows() {
    static const std::vector<EventRow> rows = {
        {.name = "ReadyWithNineEnrolled",
         .event = kEventReady,
         .enrolledBefore = 9,
         .display = {"progress 0", "status 900 1000 '' 0 0"}},
        {.name = "ReadyWithTenEnrolled",
         .event = kEventReady,
         .enrolledBefore = 10,
         .display = {"progress 0", "status 905 1012 '' 0 0"}},
        {.name = "BeginAccepted",
         .event = kEventBegin,
         .acceptedCaptures = 2,
         .display = {"progress 0", "status 901 1002 '' 0 0", "progress 0", "abort on"},
         .calls = {"begin 7 3 1", "capture 7"},
         .captureStarted = true},
        {.name = "BeginRefused",
         .event = kEventBegin,
         .serviceResults = {{"begin", kDeviceBusy}},
         .display = {"progress 0", "status 901 1002 '' 0 0", "redraw", "progress 0",
                     "status 904 0 '{message}' 176 176"},
         .calls = {"begin 7 3 1", "discard 7"},
         .deselected = true,
         .messageFor = kDeviceBusy},
        // Another program enrolled the finger meanwhile, and the service would not overwrite
        // it: the fingertip turns green.
        {.name = "BeginRefusedAsDuplicateTemplate",
         .event = kEventBegin,
         .serviceResults = {{"begin", kDuplicateTemplate}},
         .enrolledInService = 3,
         .display = {"progress 0", "status 901 1002 '' 0 0", "redraw", "progress 0",
                     "status 904 0 '{message}' 176 176", "redraw"},
         .calls = {"begin 7 3 1", "discard 7", "enum 7 1", "free"},
         .deselected = true,
         .messageFor = kDuplicateTemplate,
         .enrolledAfter = u"123"},
        {.name = "PlaceBeforeAnyAcceptedCapture",
         .event = kEventPlace,
         .display = {"status 901 1002 '' 0 0", "abort on"},
         .calls = {"capture 7"},
         .captureStarted = true},
        {.name = "PlaceAfterAcceptedCaptures",
         .event = kEventPlace,
         .acceptedCaptures = 2,
         .display = {"status 908 1002 '' 0 0", "abort on"},
         .calls = {"capture 7"},
         .captureStarted = true},
        {.name = "Release",
         .event = kEventRelease,
         .acceptedCaptures = 2,
         .display = {"progress 2", "status 902 1003 '' 0 0", "abort on"},
         .calls = {"capture 7"},
         .captureStarted = true},
        {.name = "ReleasePastTheBarShowsItFull",
         .event = kEventRelease,
         .acceptedCaptures = 5,
         .display = {"progress 3", "status 902 1003 '' 0 0", "abort on"},
         .calls = {"capture 7"},
         .captureStarted = true},
        {.name = "Timeout",
         .event = kEventTimeout,
         .acceptedCaptures = 2,
         .display = {"redraw", "progress 0", "status 906 1004 '' 0 0", "abort off"},
         .calls = {"discard 7"},
         .deselected = true},
        {.name = "CommitNinthFinger",
         .event = kEventCommit,
         .enrolledBefore = 8,
         .acceptedCaptures = 3,
         .enrolledInService = 9,
         .display = {"abort off", "redraw", "progress 3", "status 903 1011 '' 0 0"},
         .calls = {"commit 7 zeroed 1", "enum 7 1", "free"},
         .deselected = true},
        {.name = "CommitTenthFinger",
         .event = kEventCommit,
         .enrolledBefore = 9,
         .acceptedCaptures = 4,
         .enrolledInService = 10,
         .display = {"abort off", "redraw", "progress 3", "status 903 1005 '' 0 0"},
         .calls = {"commit 7 zeroed 1", "enum 7 1", "free"},
         .deselected = true},
        {.name = "CommitRefusedAsDuplicate",
         .event = kEventCommit,
         .acceptedCaptures = 3,
         .serviceResults = {{"commit", kDuplicateEnrollment}},
         .enrolledInService = 1,
         .display = {"abort off", "redraw", "progress 0", "status 904 2009 '' 176 176"},
         .calls = {"commit 7 zeroed 1", "discard 7", "enum 7 1", "free"},
         .deselected = true},
        {.name = "CommitRefusedOtherwise",
         .event = kEventCommit,
         .acceptedCaptures = 3,
         .serviceResults = {{"commit", kDatabaseFull}},
         .enrolledInService = 1,
         .display = {"abort off", "redraw", "progress 0", "status 904 0 '{message}' 176 176"},
         .calls = {"commit 7 zeroed 1", "discard 7", "enum 7 1", "free"},
         .deselected = true,
         .messageFor = kDatabaseFull},
        {.name = "CommitWithPositiveResultIsRefused",
         .event = kEventCommit,
         .acceptedCaptures = 3,
         .serviceResults = {{"commit", 1}},
         .enrolledInService = 1,
         .display = {"abort off", "redraw", "progress 0", "status 904 0 '{message}' 176 176"},
         .calls = {"commit 7 zeroed 1", "discard 7", "enum 7 1", "free"},
         .deselected = true,
         .messageFor = 1},
        {.name = "Failure",
         .event = kEventFailure,
         .lastStatus = kDeviceFailure,
         .display = {"redraw", "progress 0", "status 904 0 '{message}' 176 176", "abort off"},
         .calls = {"discard 7"},
         .deselected = true,
         .messageFor = kDeviceFailure},
        {.name = "FailureAsDuplicateTemplate",
         .event = kEventFailure,
         .lastStatus = kDuplicateTemplate,
         .enrolledInService = 3,
         .display = {"redraw", "progress 0", "status 904 0 '{message}' 176 176", "abort off",
                     "redraw"},
         .calls = {"discard 7", "enum 7 1", "free"},
         .deselected = true,
         .messageFor = kDuplicateTemplate,
         .enrolledAfter = u"123"},
        {.name = "Mismatch",
         .event = kEventMismatch,
         .acceptedCaptures = 2,
         .display = {"status 907 1007 '' 176 176", "abort on"},
         .calls = {"capture 7"},
         .captureStarted = true},
        {.name = "Aborted",
         .event = kEventAborted,
         .enrolledInService = 2,
         .display = {"redraw", "progress 0", "status 900 1000 '' 0 0", "abort off"},
         .calls = {"discard 7", "enum 7 1", "free"},
         .deselected = true,
         .enrolledAfter = u"12"},
        // The service stored the print before the cancel reached it.
        {.name = "AbortedAfterTheServiceStoredIt",
         .event = kEventAborted,
         .acceptedCaptures = 2,
         .enrolledInService = 3,
         .display = {"redraw", "progress 2", "status 903 1011 '' 0 0", "abort off"},
         .calls = {"discard 7", "enum 7 1", "free"},
         .deselected = true,
         .enrolledAfter = u"123"},
        {.name = "AbortedAfterTheServiceStoredTheTenth",
         .event = kEventAborted,
         .enrolledBefore = 9,
         .acceptedCaptures = 4,
         .enrolledInService = 10,
         .display = {"redraw", "progress 3", "status 903 1005 '' 0 0", "abort off"},
         .calls = {"discard 7", "enum 7 1", "free"},
         .deselected = true},
        {.name = "UnknownEventChangesNothing", .event = 9, .acceptedCaptures = 2},
    };
    return rows;
}

class EventTableTest : public WorkflowFixture, public ::testing::WithParamInterface<EventRow> {};

TEST_P(EventTableTest, ShowsAndCallsAsTheTableSays) {
    const EventRow& row = GetParam();
    context.enrolledSet = EnrolledSetOf(row.enrolledBefore);
    context.selectedFinger = 3;
    context.acceptedCaptureCount = row.acceptedCaptures;
    context.lastStatus = row.lastStatus;
    backend->results = row.serviceResults;
    backend->enrollments = SubFactorsUpTo(row.enrolledInService);

    workflow->RunEnrollmentEvent(row.event);

    std::vector<std::string> expectedDisplay;
    for (const auto& line : row.display) {
        expectedDisplay.push_back(ExpandMessage(line, row.messageFor));
    }
    EXPECT_THAT(display.Log(), ElementsAreArray(expectedDisplay));
    EXPECT_THAT(backend->Calls(), ElementsAreArray(row.calls));
    EXPECT_EQ(context.selectedFinger, row.deselected ? 0 : 3);
    EXPECT_EQ(backend->HasPendingCapture(), row.captureStarted);
    if (row.enrolledAfter != nullptr) {
        EXPECT_EQ(context.enrolledSet, row.enrolledAfter);
    }
}

INSTANTIATE_TEST_SUITE_P(Events, EventTableTest, ::testing::ValuesIn(EventRows()),
                         [](const auto& rowInfo) { return std::string(rowInfo.param.name); });

TEST_F(WorkflowFixture, BeginStartsAFreshEnrollment) {
    context.acceptedCaptureCount = 3;
    context.mergeFailureCounter = 5;
    context.tooFastCounter = 6;
    context.poorQualityCounter = 7;
    Begin(10);
    EXPECT_EQ(context.acceptedCaptureCount, 0);
    EXPECT_EQ(context.mergeFailureCounter, 0);
    EXPECT_EQ(context.tooFastCounter, 0);
    EXPECT_EQ(context.poorQualityCounter, 0);
    EXPECT_THAT(backend->Calls(), ElementsAre("begin 7 10 1", "capture 7"));
}

// A refused capture start ends the enrollment at once as a failure with the refusal's code.
class RefusedCaptureTest : public WorkflowFixture,
                           public ::testing::WithParamInterface<unsigned> {};

TEST_P(RefusedCaptureTest, RunsFailureAndEndsWithAbortDisabled) {
    Begin();
    ASSERT_TRUE(backend->HasPendingCapture());
    backend->DeliverCapture(kMoreData);
    display.TakeArmedTimer();
    ClearRecords();
    backend->results["capture"] = kDeviceBusy;

    workflow->RunEnrollmentEvent(GetParam());

    const auto log = display.Log();
    ASSERT_GE(log.size(), 4u);
    EXPECT_THAT(
        std::vector<std::string>(log.end() - 4, log.end()),
        ElementsAre("redraw", "progress 0",
                    "status 904 0 '" + Narrow(ComposeStatusMessage(kDeviceBusy)) + "' 176 176",
                    "abort off"));
    const auto calls = backend->Calls();
    ASSERT_GE(calls.size(), 2u);
    EXPECT_THAT(std::vector<std::string>(calls.end() - 2, calls.end()),
                ElementsAre("capture 7", "discard 7"));
    EXPECT_EQ(context.lastStatus, kDeviceBusy);
    EXPECT_EQ(context.selectedFinger, 0);
    EXPECT_FALSE(backend->HasPendingCapture());
}

INSTANTIATE_TEST_SUITE_P(EventsThatCapture, RefusedCaptureTest,
                         ::testing::Values(kEventBegin, kEventPlace, kEventRelease,
                                           kEventMismatch));

TEST_F(WorkflowFixture, AbortDuringCaptureReturnsToSelectFinger) {
    Begin();
    context.tooFastCounter = 12;
    ClearRecords();

    workflow->AbortEnrollment();
    EXPECT_THAT(display.Log(), ElementsAre("abort off"));
    EXPECT_THAT(backend->Calls(), ElementsAre("cancel 7"));
    EXPECT_EQ(context.tooFastCounter, 0);

    ClearRecords();
    EXPECT_EQ(Step(kCanceled), kEventAborted);
    EXPECT_THAT(display.Log(), ElementsAre("counter 0/3", "arm 8", "kill 8", "redraw", "progress 0",
                                           "status 900 1000 '' 0 0", "abort off"));
    EXPECT_THAT(backend->Calls(), ElementsAre("discard 7", "enum 7 1"));
    EXPECT_EQ(context.selectedFinger, 0);
}

// The service completed the enrollment before the cancel reached it, and answered the capture
// as cancelled all the same: the print is stored, and the screen says so.
TEST_F(WorkflowFixture, AbortOverAStoredPrintShowsTheEnrollmentsSuccess) {
    backend->enrollments = {9};
    Begin(4);
    ASSERT_EQ(Step(kMoreData), kEventRelease);
    workflow->AbortEnrollment();
    backend->enrollments = {9, 4};
    ClearRecords();
    EXPECT_EQ(Step(kCanceled), kEventAborted);
    EXPECT_EQ(display.Log().end()[-2], "status 903 1011 '' 0 0");
    EXPECT_EQ(display.Log().back(), "abort off");
    EXPECT_EQ(context.enrolledSet, u"94");
    EXPECT_EQ(context.selectedFinger, 0);
    EXPECT_FALSE(backend->HasPendingCapture());
}

TEST_F(WorkflowFixture, DuplicateTemplateResultTurnsTheFingertipGreen) {
    Begin(4);
    backend->enrollments = {4};
    ClearRecords();
    EXPECT_EQ(Step(kDuplicateTemplate), kEventFailure);
    const auto log = display.Log();
    EXPECT_NE(std::find(log.begin(), log.end(),
                        "status 904 0 '" + Narrow(ComposeStatusMessage(kDuplicateTemplate)) +
                            "' 176 176"),
              log.end());
    EXPECT_EQ(log.back(), "redraw");
    EXPECT_EQ(context.enrolledSet, u"4");
    EXPECT_EQ(context.selectedFinger, 0);
}

TEST_F(WorkflowFixture, CancelNotAskedForIsAFailure) {
    Begin();
    ClearRecords();
    EXPECT_EQ(Step(kCanceled), kEventFailure);
    EXPECT_THAT(
        display.Log(),
        ElementsAre("counter 0/3", "arm 6", "kill 6", "redraw", "progress 0",
                    "status 904 0 '" + Narrow(ComposeStatusMessage(kCanceled)) + "' 176 176",
                    "abort off"));
}

// Abort pressed once the result is in but before its event ran, or while the service's result
// was already on its way instead of the cancel: a result that would ask for another capture
// must end the attempt instead; one that ends it anyway shows what really happened.
struct LateAbortRow {
    const char* name;
    StatusCode status;
    RejectDetail detail;
    bool abortBeforeTheResult;
    const char* finalStatus;
    bool committed = false;
};

const LateAbortRow kLateAbortRows[] = {
    {"MoreData", kMoreData, 0, false, "status 900 1000 '' 0 0"},
    {"TooFast", kBadCapture, kRejectTooFast, false, "status 900 1000 '' 0 0"},
    {"PoorQuality", kBadCapture, kRejectPoorQuality, false, "status 900 1000 '' 0 0"},
    {"Mismatch", kBadCapture, kRejectMergeFailure, false, "status 900 1000 '' 0 0"},
    {"MoreDataRacingTheCancel", kMoreData, 0, true, "status 900 1000 '' 0 0"},
    {"MismatchRacingTheCancel", kBadCapture, kRejectMergeFailure, true, "status 900 1000 '' 0 0"},
    {"ReadyToCommit", kOk, 0, false, "status 903 1011 '' 0 0", true},
    {"OtherPositiveStatus", 0x00090002, 0, false, "status 906 1004 '' 0 0"},
    {"DeviceFailure", kDeviceFailure, 0, false, "status 904 0 '{message}' 176 176"},
};

void PrintTo(const LateAbortRow& row, std::ostream* out) {
    *out << row.name;
}

class LateAbortTest : public WorkflowFixture, public ::testing::WithParamInterface<LateAbortRow> {};

TEST_P(LateAbortTest, EndsTheAttempt) {
    const LateAbortRow& row = GetParam();
    Begin(2);
    ASSERT_EQ(Step(kMoreData), kEventRelease);
    if (row.abortBeforeTheResult) {
        workflow->AbortEnrollment();
    }
    const unsigned timer = Deliver(row.status, row.detail);
    ASSERT_NE(timer, 0u);
    if (!row.abortBeforeTheResult) {
        workflow->AbortEnrollment();
    }
    if (row.committed) {
        backend->enrollments = {2};  // what the service lists after the commit
    }
    ClearRecords();
    workflow->HandleTimer(timer);

    const auto log = display.Log();
    const auto lastAbort = std::find_if(log.rbegin(), log.rend(), [](const std::string& line) {
        return line.rfind("abort", 0) == 0;
    });
    ASSERT_NE(lastAbort, log.rend());
    EXPECT_EQ(*lastAbort, "abort off");
    EXPECT_NE(std::find(log.begin(), log.end(), ExpandMessage(row.finalStatus, row.status)),
              log.end());
    EXPECT_FALSE(backend->HasPendingCapture());
    EXPECT_FALSE(backend->Called("capture"));
    EXPECT_EQ(backend->Called("commit"), row.committed);
    EXPECT_EQ(context.selectedFinger, 0);
    EXPECT_EQ(context.enrolledSet, row.committed ? u"2" : u"");
}

INSTANTIATE_TEST_SUITE_P(Results, LateAbortTest, ::testing::ValuesIn(kLateAbortRows),
                         [](const auto& rowInfo) { return std::string(rowInfo.param.name); });

// Abort is the user's for one attempt only: the next one runs its course.
TEST_F(WorkflowFixture, AbortDoesNotCarryIntoTheNextAttempt) {
    Begin();
    ASSERT_EQ(Deliver(kMoreData), kEventRelease);
    workflow->AbortEnrollment();
    workflow->HandleTimer(kEventRelease);
    ASSERT_EQ(context.selectedFinger, 0);

    Begin();
    EXPECT_EQ(Step(kMoreData), kEventRelease);
    EXPECT_EQ(display.Log().back(), "abort on");
    EXPECT_TRUE(backend->HasPendingCapture());
}

TEST_F(WorkflowFixture, TypicalEnrollmentCommitsAfterThreeAcceptedCaptures) {
    backend->enrollments = {2};
    Begin();
    std::vector<unsigned> timers;
    std::vector<std::int32_t> counts;
    for (const StatusCode status : {kMoreData, kMoreData, kMoreData, kOk}) {
        timers.push_back(Step(status));
        counts.push_back(context.acceptedCaptureCount);
    }
    EXPECT_THAT(timers, ElementsAre(kEventRelease, kEventRelease, kEventRelease, kEventCommit));
    EXPECT_THAT(counts, ElementsAre(1, 2, 3, 4));
    EXPECT_EQ(display.Log().back(), "status 903 1011 '' 0 0");
    EXPECT_EQ(context.enrolledSet, u"2");
    EXPECT_FALSE(backend->HasPendingCapture());
}

// A service that keeps a refused enrollment open until it is discarded, as the real one does.
class ServiceKeepingRefusedEnrollments : public FakeBackend {
public:
    StatusCode EnrollBegin(SessionHandle session, SubFactor subFactor, UnitId unitId) override {
        const StatusCode status = FakeBackend::EnrollBegin(session, subFactor, unitId);
        if (m_open) {
            return kEnrollmentInProgress;
        }
        m_open = status >= 0;
        return status;
    }
    StatusCode EnrollCommit(SessionHandle session, WINBIO_IDENTITY* identity,
                            std::uint8_t* isNewTemplate) override {
        const StatusCode status = FakeBackend::EnrollCommit(session, identity, isNewTemplate);
        m_open = status != kOk;
        return status;
    }
    StatusCode EnrollDiscard(SessionHandle session) override {
        m_open = false;
        return FakeBackend::EnrollDiscard(session);
    }

private:
    bool m_open = false;
};

TEST(RefusedCommit, IsDiscardedSoTheNextBeginWorks) {
    auto service = std::make_shared<ServiceKeepingRefusedEnrollments>();
    InstallBiometricBackend(service);
    service->results["commit"] = kDuplicateEnrollment;
    EnrollmentContext context;
    context.sessionHandle = kTestSession;
    FakeWorkflowDisplay display;
    {
        EnrollmentWorkflow workflow(context, display);
        context.selectedFinger = 4;
        workflow.RunEnrollmentEvent(kEventBegin);
        service->DeliverCapture(kOk);
        workflow.HandleTimer(display.TakeArmedTimer().value_or(0));
        ASSERT_EQ(display.Log().back(), "status 904 2009 '' 176 176");

        display.ClearLog();
        context.selectedFinger = 4;
        workflow.RunEnrollmentEvent(kEventBegin);
        EXPECT_THAT(display.Log(),
                    ElementsAre("progress 0", "status 901 1002 '' 0 0", "progress 0", "abort on"));
        service->DeliverCapture(kCanceled);
    }
    InstallBiometricBackend(nullptr);
}

}  // namespace
