// The progress bar's range and the capture counter follow the back end's number of stages.
#include <gmock/gmock.h>

#include <thread>

#include "WorkflowFixture.h"

using ::testing::Each;
using ::testing::ElementsAreArray;

namespace {

struct StageAnswer {
    StatusCode status = kInvalidOperation;
    std::uint32_t count = 0;
};

struct RangeRow {
    const char* name;
    StageAnswer atBegin;
    StageAnswer afterFirstCapture;  // what the back end answers from the first result on
    int captures;                   // more-data results before the final one
    std::vector<std::string> expected;
};

// Only the bar and the counter lines, in order.
std::vector<std::string> ProgressLines(const std::vector<std::string>& log) {
    std::vector<std::string> lines;
    for (const auto& line : log) {
        if (line.rfind("progress", 0) == 0 || line.rfind("range", 0) == 0 ||
            line.rfind("counter", 0) == 0) {
            lines.push_back(line);
        }
    }
    return lines;
}

const RangeRow kRangeRows[] = {
    {"KnownFromTheBegin",
     {kOk, 5},
     {kOk, 5},
     4,
     {"progress 0", "range 5", "progress 0", "counter 0/5", "progress 1", "counter 1/5",
      "progress 2", "counter 2/5", "progress 3", "counter 3/5", "progress 4", "counter 4/5",
      "progress 5"}},
    {"LearntOnlyOnceTheEnrollmentRuns",
     {kSensorUnavailable, 0},
     {kOk, 4},
     3,
     {"progress 0", "progress 0", "counter 0/3", "range 4", "progress 1", "counter 1/4",
      "progress 2", "counter 2/4", "progress 3", "counter 3/4", "progress 4"}},
    {"NotKnownKeepsTheFixedRange",
     {kInvalidOperation, 0},
     {kInvalidOperation, 0},
     4,
     {"progress 0", "progress 0", "counter 0/3", "progress 1", "counter 1/3", "progress 2",
      "counter 2/3", "progress 3", "counter 3/3", "progress 3", "counter 3/3", "progress 3"}},
    // The back end passed on one result of five before the completion: the bar shows the
    // completion, not the count of what arrived.
    {"CompletionAfterResultsCountedTogetherFillsTheBar",
     {kOk, 5},
     {kOk, 5},
     1,
     {"progress 0", "range 5", "progress 0", "counter 0/5", "progress 1", "counter 1/5",
      "progress 5"}},
    {"ZeroStagesIsNoAnswer",
     {kOk, 0},
     {kOk, 0},
     1,
     {"progress 0", "progress 0", "counter 0/3", "progress 1", "counter 1/3", "progress 2"}},
    {"OnlySuccessCounts",
     {kMoreData, 6},
     {kMoreData, 6},
     1,
     {"progress 0", "progress 0", "counter 0/3", "progress 1", "counter 1/3", "progress 2"}},
};

class ProgressRangeTest : public WorkflowFixture, public ::testing::WithParamInterface<RangeRow> {};

TEST_P(ProgressRangeTest, BarAndCounterFollowTheStageCount) {
    const RangeRow& row = GetParam();
    backend->stageCountStatus = row.atBegin.status;
    backend->stageCount = row.atBegin.count;
    Begin();
    backend->stageCountStatus = row.afterFirstCapture.status;
    backend->stageCount = row.afterFirstCapture.count;
    for (int capture = 0; capture < row.captures; ++capture) {
        ASSERT_EQ(Step(kMoreData), kEventRelease);
    }
    ASSERT_EQ(Step(kOk), kEventCommit);
    EXPECT_THAT(ProgressLines(display.Log()), ElementsAreArray(row.expected));
}

INSTANTIATE_TEST_SUITE_P(Answers, ProgressRangeTest, ::testing::ValuesIn(kRangeRows),
                         [](const auto& rowInfo) { return std::string(rowInfo.param.name); });

TEST_F(WorkflowFixture, NextEnrollmentOnABackEndThatNoLongerKnowsReturnsToTheFixedRange) {
    backend->stageCountStatus = kOk;
    backend->stageCount = 5;
    Begin();
    ASSERT_EQ(Step(kOk), kEventCommit);
    backend->stageCountStatus = kSensorUnavailable;
    ClearRecords();
    Begin(3);
    EXPECT_THAT(ProgressLines(display.Log()),
                ElementsAreArray({"progress 0", "range 3", "progress 0"}));
    EXPECT_EQ(Deliver(kMoreData), kEventRelease);
    EXPECT_EQ(ProgressLines(display.Log()).back(), "counter 0/3");
}

// The callback formats the counter on the service's thread from what the window published;
// asking the back end from there could wait on the window.
TEST_F(WorkflowFixture, OnlyTheWindowsThreadAsksForTheStageCount) {
    backend->stageCountStatus = kOk;
    backend->stageCount = 4;
    Begin();
    for (const StatusCode result : {kMoreData, kMoreData, kOk}) {
        const FakeBackend::PendingCapture pending = backend->TakePendingCapture();
        ASSERT_NE(pending.callback, nullptr);
        std::thread service([&] { pending.callback(pending.context, result, 0); });
        service.join();
        const auto timer = display.TakeArmedTimer();
        ASSERT_TRUE(timer.has_value());
        workflow->HandleTimer(*timer);
    }
    const auto queries = backend->StageCountQueries();
    // Begin, two releases and the commit.
    EXPECT_EQ(queries.size(), 4u);
    EXPECT_THAT(queries, Each(std::this_thread::get_id()));
    EXPECT_EQ(ProgressLines(display.Log()).back(), "progress 4");  // completed: full
}

}  // namespace
