// How capture results are sorted into events, and the bad-capture limit.
#include <gmock/gmock.h>

#include <algorithm>
#include <array>

#include "WorkflowFixture.h"

using ::testing::ElementsAre;

namespace {

using Counters = std::array<std::int32_t, 3>;  // merge failure, too fast, poor quality

Counters CountersOf(const EnrollmentContext& context) {
    return {context.mergeFailureCounter, context.tooFastCounter, context.poorQualityCounter};
}

void SetCounters(EnrollmentContext& context, const Counters& counters) {
    context.mergeFailureCounter = counters[0];
    context.tooFastCounter = counters[1];
    context.poorQualityCounter = counters[2];
}

// Results arrive with one capture accepted and the counters at {2, 3, 4}, so that "unchanged",
// "add 1" and "set to 0" all show.
constexpr Counters kCountersBefore = {2, 3, 4};

struct SortRow {
    const char* name;
    StatusCode status;
    RejectDetail detail;
    bool abortPressed;
    unsigned event;
    std::int32_t acceptedAfter;
    Counters countersAfter;
};

const SortRow kSortRows[] = {
    {"MoreData", kMoreData, 0, false, kEventRelease, 2, kCountersBefore},
    {"MoreDataIgnoresDetail", kMoreData, kRejectTooFast, false, kEventRelease, 2, kCountersBefore},
    {"ReadyToCommit", kOk, 0, false, kEventCommit, 2, kCountersBefore},
    {"OtherPositiveStatus", 0x00090002, 0, false, kEventTimeout, 1, kCountersBefore},
    {"MergeFailure", kBadCapture, kRejectMergeFailure, false, kEventMismatch, 1, {3, 0, 0}},
    {"TooFast", kBadCapture, kRejectTooFast, false, kEventRelease, 1, {0, 4, 0}},
    {"PoorQuality", kBadCapture, kRejectPoorQuality, false, kEventPlace, 1, {0, 0, 5}},
    {"TooHigh", kBadCapture, kRejectTooHigh, false, kEventPlace, 1, {0, 0, 5}},
    {"TooSlow", kBadCapture, kRejectTooSlow, false, kEventPlace, 1, {0, 0, 5}},
    {"TooShort", kBadCapture, kRejectTooShort, false, kEventPlace, 1, {0, 0, 5}},
    {"UnknownDetail", kBadCapture, 0xFFFFFFFF, false, kEventPlace, 1, {0, 0, 5}},
    {"CancelAfterAbort", kCanceled, 0, true, kEventAborted, 1, kCountersBefore},
    {"CancelNotAskedFor", kCanceled, 0, false, kEventFailure, 1, kCountersBefore},
    {"OtherFailure", kDeviceFailure, kRejectTooFast, false, kEventFailure, 1, kCountersBefore},
    {"FailureOutsideTheServiceRange", kUnspecifiedFailure, 0, false, kEventFailure, 1,
     kCountersBefore},
};

class CaptureSortTest : public WorkflowFixture, public ::testing::WithParamInterface<SortRow> {};

TEST_P(CaptureSortTest, RecordsTheResultAndArmsItsEvent) {
    const SortRow& row = GetParam();
    Begin();
    ASSERT_EQ(Step(kMoreData), kEventRelease);  // the bar now stands at 1
    if (row.abortPressed) {
        workflow->AbortEnrollment();
    }
    SetCounters(context, kCountersBefore);
    display.ClearLog();

    backend->DeliverCapture(row.status, row.detail);

    EXPECT_THAT(display.Log(), ElementsAre("counter 1/3", "arm " + std::to_string(row.event)));
    EXPECT_EQ(context.lastStatus, row.status);
    EXPECT_EQ(context.acceptedCaptureCount, row.acceptedAfter);
    EXPECT_EQ(CountersOf(context), row.countersAfter);
}

INSTANTIATE_TEST_SUITE_P(Results, CaptureSortTest, ::testing::ValuesIn(kSortRows),
                         [](const auto& rowInfo) { return std::string(rowInfo.param.name); });

TEST_F(WorkflowFixture, CounterTextShowsThePositionBeforeTheResultCounts) {
    Begin();
    std::vector<std::string> texts;
    for (int capture = 0; capture < 5; ++capture) {
        display.ClearLog();
        Step(kMoreData);
        texts.push_back(display.Log().front());
    }
    EXPECT_THAT(texts, ElementsAre("counter 0/3", "counter 1/3", "counter 2/3", "counter 3/3",
                                   "counter 3/3"));
}

// Each kind of bad capture, with the event it leads to and the counter that counts it.
struct BadKind {
    const char* name;
    RejectDetail detail;
    unsigned event;
    std::size_t counter;
};

const BadKind kBadKinds[] = {
    {"MergeFailure", kRejectMergeFailure, kEventMismatch, 0},
    {"TooFast", kRejectTooFast, kEventRelease, 1},
    {"PoorQuality", kRejectPoorQuality, kEventPlace, 2},
    {"TooSkewed", kRejectTooSkewed, kEventPlace, 2},
};

class BadCaptureLimitTest : public WorkflowFixture,
                            public ::testing::WithParamInterface<BadKind> {};

TEST_P(BadCaptureLimitTest, FortyAreAskedAgainTheFortyFirstTimesOut) {
    const BadKind& kind = GetParam();
    Begin();
    for (int capture = 1; capture <= kBadCaptureLimit; ++capture) {
        ASSERT_EQ(Step(kBadCapture, kind.detail), kind.event) << "capture " << capture;
        ASSERT_TRUE(backend->HasPendingCapture()) << "capture " << capture;
    }
    EXPECT_EQ(CountersOf(context)[kind.counter], kBadCaptureLimit);

    display.ClearLog();
    backend->ClearCalls();
    EXPECT_EQ(Step(kBadCapture, kind.detail), kind.event);
    EXPECT_EQ(CountersOf(context)[kind.counter], 0);
    const std::string timer = std::to_string(kind.event);
    EXPECT_THAT(display.Log(), ElementsAre("counter 0/3", "arm " + timer, "kill " + timer, "redraw",
                                           "progress 0", "status 906 1004 '' 0 0", "abort off"));
    EXPECT_THAT(backend->Calls(), ElementsAre("discard 7"));
    EXPECT_FALSE(backend->HasPendingCapture());
}

INSTANTIATE_TEST_SUITE_P(Kinds, BadCaptureLimitTest, ::testing::ValuesIn(kBadKinds),
                         [](const auto& rowInfo) { return std::string(rowInfo.param.name); });

TEST_F(WorkflowFixture, AnotherKindBreaksTheRun) {
    Begin();
    for (int capture = 0; capture < kBadCaptureLimit; ++capture) {
        Step(kBadCapture, kRejectTooFast);
    }
    EXPECT_EQ(Step(kBadCapture, kRejectPoorQuality), kEventPlace);
    EXPECT_EQ(Step(kBadCapture, kRejectTooFast), kEventRelease);
    EXPECT_EQ(CountersOf(context), (Counters{0, 1, 0}));
    EXPECT_TRUE(backend->HasPendingCapture());
}

TEST_F(WorkflowFixture, AnAcceptedCaptureDoesNotBreakTheRun) {
    Begin();
    for (int capture = 0; capture < kBadCaptureLimit; ++capture) {
        Step(kBadCapture, kRejectTooFast);
    }
    Step(kMoreData);
    display.ClearLog();
    Step(kBadCapture, kRejectTooFast);
    EXPECT_THAT(display.Log(), ::testing::Contains("status 906 1004 '' 0 0"));
    EXPECT_FALSE(backend->HasPendingCapture());
}

TEST_F(WorkflowFixture, AbortResetsTheCounters) {
    Begin();
    for (int capture = 0; capture < kBadCaptureLimit; ++capture) {
        Step(kBadCapture, kRejectMergeFailure);
    }
    workflow->AbortEnrollment();
    EXPECT_EQ(CountersOf(context), (Counters{0, 0, 0}));
    EXPECT_EQ(Step(kCanceled), kEventAborted);
    EXPECT_EQ(display.Log().back(), "abort off");
}

// Any event timer applies the limit; counters are tested in a fixed order and only the one
// found over the limit is reset.
struct LimitOrderRow {
    const char* name;
    Counters before;
    unsigned timer;
    Counters after;
    bool timesOut;
};

const LimitOrderRow kLimitOrderRows[] = {
    {"MergeFailureFirst", {41, 45, 50}, kEventRelease, {0, 45, 50}, true},
    {"TooFastBeforePoorQuality", {0, 41, 41}, kEventCommit, {0, 0, 41}, true},
    {"PoorQualityLast", {0, 0, 41}, kEventMismatch, {0, 0, 0}, true},
    {"ExactlyTheLimitIsNotOver", {40, 40, 40}, kEventRelease, {40, 40, 40}, false},
    {"NegativeIsNotOver", {-50, 0, 0}, kEventRelease, {-50, 0, 0}, false},
};

class LimitOrderTest : public WorkflowFixture,
                       public ::testing::WithParamInterface<LimitOrderRow> {};

TEST_P(LimitOrderTest, TestsEveryEventTimer) {
    const LimitOrderRow& row = GetParam();
    Begin();
    ASSERT_NE(Deliver(kMoreData), 0u);
    SetCounters(context, row.before);
    display.ClearLog();

    workflow->HandleTimer(row.timer);

    EXPECT_EQ(CountersOf(context), row.after);
    const auto log = display.Log();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.front(), "kill " + std::to_string(row.timer));
    EXPECT_EQ(std::count(log.begin(), log.end(), "status 906 1004 '' 0 0"), row.timesOut ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Counters, LimitOrderTest, ::testing::ValuesIn(kLimitOrderRows),
                         [](const auto& rowInfo) { return std::string(rowInfo.param.name); });

TEST_F(WorkflowFixture, TimersOtherThanEventTimersAreLeftAlone) {
    for (const unsigned timer : {0u, 1u, kLastEventTimer + 1, 10000u}) {
        workflow->HandleTimer(timer);
    }
    EXPECT_TRUE(display.Log().empty());
    EXPECT_TRUE(backend->Calls().empty());
}

}  // namespace
