// A lock or a sleep ends the attempt under way as Abort would, and the panel says why.
#include <gmock/gmock.h>

#include <algorithm>
#include <functional>

#include "FakeWindowHost.h"
#include "WorkflowFixture.h"

using ::testing::ElementsAre;

namespace {

struct ReasonRow {
    const char* name;
    SystemEvent event;
    const char* stoppedStatus;      // the panel's last status once the enrollment ended
    const char* testStoppedStatus;  // and once a test ended
};

const ReasonRow kReasons[] = {
    {"ScreenLocked", SystemEvent::kScreenLocked, "status 3201 3202 '' 0 0",
     "status 3204 3205 '' 0 0"},
    {"GoingToSleep", SystemEvent::kGoingToSleep, "status 3201 3203 '' 0 0",
     "status 3204 3206 '' 0 0"},
};

void PrintTo(const ReasonRow& row, std::ostream* out) {
    *out << row.name;
}

const char* const kSelectFinger = "status 900 1000 '' 0 0";
const char* const kSuccess = "status 903 1011 '' 0 0";

// The last line of the log that starts with prefix, or nothing.
std::string LastLine(const std::vector<std::string>& log, const std::string& prefix) {
    const auto found = std::find_if(log.rbegin(), log.rend(), [&](const std::string& line) {
        return line.rfind(prefix, 0) == 0;
    });
    return found == log.rend() ? std::string() : *found;
}

std::string LastStatus(const std::vector<std::string>& log) {
    return LastLine(log, "status");
}

class SystemStopTest;

// Where the attempt is when the event comes, and what the service does next.
struct StateRow {
    const char* name;
    // Brings the attempt to the state, sends the event through stop() and lets the attempt end;
    // false when a step went otherwise than planned.
    std::function<bool(SystemStopTest&, const std::function<void()>& stop)> play;
    bool cancels;           // the service is asked to cancel the attempt
    bool showsReason;       // else the attempt ends as it would have without the event
    const char* otherwise;  // the last status when the reason is not shown, if any
    bool stored = false;
};

void PrintTo(const StateRow& row, std::ostream* out) {
    *out << row.name;
}

class SystemStopTest : public WorkflowFixture,
                       public ::testing::WithParamInterface<std::tuple<ReasonRow, StateRow>> {
public:
    using WorkflowFixture::backend;
    using WorkflowFixture::Begin;
    using WorkflowFixture::context;
    using WorkflowFixture::Deliver;
    using WorkflowFixture::display;
    using WorkflowFixture::Step;
    using WorkflowFixture::workflow;
};

const StateRow kStates[] = {
    {"WaitingForATouch",
     [](SystemStopTest& f, const std::function<void()>& stop) {
         f.Begin(2);
         stop();
         return f.Step(kCanceled) == kEventAborted;
     },
     true, true, nullptr},
    {"BetweenTouches",
     [](SystemStopTest& f, const std::function<void()>& stop) {
         f.Begin(2);
         if (f.Step(kMoreData) != kEventRelease) {
             return false;
         }
         stop();
         return f.Step(kCanceled) == kEventAborted;
     },
     true, true, nullptr},
    // The next touch's result was already in, its event not yet run: no capture follows it.
    {"ResultInButNotShown",
     [](SystemStopTest& f, const std::function<void()>& stop) {
         f.Begin(2);
         const unsigned timer = f.Deliver(kBadCapture, kRejectPoorQuality);
         stop();
         f.workflow->HandleTimer(timer);
         return !f.backend->HasPendingCapture();
     },
     true, true, nullptr},
    // The service heard of the sleep first and failed the capture itself.
    {"ServiceFailedItFirst",
     [](SystemStopTest& f, const std::function<void()>& stop) {
         f.Begin(2);
         const unsigned timer = f.Deliver(kDeviceFailure);
         stop();
         f.workflow->HandleTimer(timer);
         return timer == kEventFailure;
     },
     true, true, nullptr},
    // The last touch completed the print before the event: it is kept, and the screen says so.
    {"CompletedBeforeTheEvent",
     [](SystemStopTest& f, const std::function<void()>& stop) {
         f.Begin(2);
         const unsigned timer = f.Deliver(kOk);
         stop();
         f.backend->enrollments = {2};
         f.workflow->HandleTimer(timer);
         return timer == kEventCommit;
     },
     true, false, kSuccess, true},
    // The user's Abort came first: its cancel is on its way, and it is the user's.
    {"AfterTheUsersAbort",
     [](SystemStopTest& f, const std::function<void()>& stop) {
         f.Begin(2);
         f.workflow->AbortEnrollment();
         f.backend->ClearCalls();
         stop();
         return f.Step(kCanceled) == kEventAborted;
     },
     false, false, kSelectFinger},
    {"NothingUnderWay",
     [](SystemStopTest& f, const std::function<void()>& stop) {
         f.workflow->RunEnrollmentEvent(kEventReady);
         f.display.ClearLog();
         stop();
         return f.display.Log().empty();
     },
     false, false, nullptr},
    // The question before a deletion holds no reader, and a deletion is short.
    {"AskingToDelete",
     [](SystemStopTest& f, const std::function<void()>& stop) {
         f.backend->enrollments = {4};
         f.context.enrolledSet = MakeEnrolledSet({4});
         f.display.ClearLog();
         struct Host : FakeWindowHost {
             std::function<void()> during;
             bool AskYesNo(const std::u16string& text) override {
                 during();
                 answerYes = false;
                 return FakeWindowHost::AskYesNo(text);
             }
         } host;
         host.during = stop;
         f.workflow->ActOnFinger(4, host);
         return host.questions.size() == 1 && f.display.Log().empty();
     },
     false, false, nullptr},
};

TEST_P(SystemStopTest, EndsAnAttemptUnderWayAndSaysWhy) {
    const auto& [reason, state] = GetParam();
    bool cancelled = false;
    const auto stop = [&] {
        const auto before = backend->Calls().size();
        workflow->StopForSystemEvent(reason.event);
        const auto calls = backend->Calls();
        cancelled = calls.size() == before + 1 && calls.back() == "cancel 7";
        if (cancelled) {
            // Off before the cancel goes out, so the cancelled result is known as requested.
            EXPECT_EQ(display.Log().back(), "abort off");
        }
    };
    ASSERT_TRUE(state.play(*this, stop));

    EXPECT_EQ(cancelled, state.cancels);
    if (state.showsReason) {
        EXPECT_EQ(LastStatus(display.Log()), reason.stoppedStatus);
    } else if (state.otherwise != nullptr) {
        EXPECT_EQ(LastStatus(display.Log()), state.otherwise);
    }
    if (state.cancels) {
        EXPECT_EQ(context.selectedFinger, 0);
        EXPECT_EQ(LastLine(display.Log(), "abort"), "abort off");
        EXPECT_TRUE(backend->Called("discard") || state.stored);
        EXPECT_EQ(backend->Called("commit"), state.stored);
        EXPECT_EQ(context.enrolledSet, state.stored ? u"2" : u"");
    }
    EXPECT_FALSE(backend->HasPendingCapture());
}

INSTANTIATE_TEST_SUITE_P(ReasonsAndStates, SystemStopTest,
                         ::testing::Combine(::testing::ValuesIn(kReasons),
                                            ::testing::ValuesIn(kStates)),
                         [](const auto& rowInfo) {
                             return std::string(std::get<0>(rowInfo.param).name) + "_" +
                                    std::get<1>(rowInfo.param).name;
                         });

// The stop is for one attempt: nothing resumes by itself, and the next one runs its course.
TEST_F(WorkflowFixture, SystemStopDoesNotCarryIntoTheNextAttempt) {
    Begin(2);
    workflow->StopForSystemEvent(SystemEvent::kScreenLocked);
    ASSERT_EQ(Step(kCanceled), kEventAborted);
    EXPECT_THAT(backend->Calls(), testing::Contains(testing::StartsWith("begin")).Times(1));
    EXPECT_FALSE(backend->HasPendingCapture());

    Begin(3);
    EXPECT_EQ(Step(kMoreData), kEventRelease);
    EXPECT_EQ(display.Log().back(), "abort on");
    EXPECT_TRUE(backend->HasPendingCapture());
}

// A second event while the first one's cancel is on its way: one cancel, the first reason.
TEST_F(WorkflowFixture, SecondSystemEventAndAbortAddNothing) {
    Begin(2);
    workflow->StopForSystemEvent(SystemEvent::kScreenLocked);
    workflow->StopForSystemEvent(SystemEvent::kGoingToSleep);
    workflow->AbortEnrollment();
    EXPECT_THAT(backend->Calls(), testing::Contains("cancel 7").Times(1));
    ASSERT_EQ(Step(kCanceled), kEventAborted);
    EXPECT_EQ(LastStatus(display.Log()), "status 3201 3202 '' 0 0");
}

// A test under way when the event comes, and what reaches the window after it.
struct TestStateRow {
    const char* name;
    bool userAbortFirst;
    StatusCode answer;  // the verification's answer once the cancel went out
    bool match;
};

const TestStateRow kTestStates[] = {
    {"CancelAnswered", false, kCanceled, false},
    // The verdict beat the cancel: the test still ends as stopped, its verdict unseen.
    {"VerdictBeatTheCancel", false, kOk, true},
    {"AfterTheUsersAbort", true, kCanceled, false},
};

void PrintTo(const TestStateRow& row, std::ostream* out) {
    *out << row.name;
}

class TestStopTest : public WorkflowFixture,
                     public ::testing::WithParamInterface<std::tuple<ReasonRow, TestStateRow>> {};

TEST_P(TestStopTest, EndsATestUnderWayAndSaysWhy) {
    const auto& [reason, state] = GetParam();
    context.enrolledSet = MakeEnrolledSet({5});
    workflow->TestFinger(5);
    ASSERT_TRUE(backend->HasPendingVerification());
    if (state.userAbortFirst) {
        workflow->Abort();
    }
    backend->ClearCalls();
    workflow->StopForSystemEvent(reason.event);
    EXPECT_EQ(backend->Called("cancel"), !state.userAbortFirst);
    EXPECT_EQ(LastLine(display.Log(), "abort"), "abort off");

    backend->DeliverVerification(state.answer, state.match);
    ASSERT_EQ(display.TakeArmedTimer(), kTestResultTimer);
    workflow->HandleTimer(kTestResultTimer);

    // The reason, in the test's own words; after the user's Abort, the resting panel.
    EXPECT_EQ(LastStatus(display.Log()),
              state.userAbortFirst ? kSelectFinger : reason.testStoppedStatus);
    EXPECT_EQ(context.selectedFinger, 0);
    EXPECT_FALSE(workflow->TestUnderWay());
    EXPECT_TRUE(workflow->CanActOnFinger());
    EXPECT_FALSE(backend->HasPendingVerification());
}

INSTANTIATE_TEST_SUITE_P(ReasonsAndStates, TestStopTest,
                         ::testing::Combine(::testing::ValuesIn(kReasons),
                                            ::testing::ValuesIn(kTestStates)),
                         [](const auto& rowInfo) {
                             return std::string(std::get<0>(rowInfo.param).name) + "_" +
                                    std::get<1>(rowInfo.param).name;
                         });

// An enrollment stopped by the lock leaves no reason behind for a test the user then aborts.
TEST_F(WorkflowFixture, TestAbortedAfterALockedEnrollmentRestsWithoutAReason) {
    backend->enrollments = {5};  // what the stopped enrollment reads anew
    context.enrolledSet = MakeEnrolledSet({5});
    Begin(2);
    workflow->StopForSystemEvent(SystemEvent::kScreenLocked);
    ASSERT_EQ(Step(kCanceled), kEventAborted);
    ASSERT_EQ(LastStatus(display.Log()), "status 3201 3202 '' 0 0");

    workflow->TestFinger(5);
    ASSERT_TRUE(workflow->TestUnderWay());
    workflow->Abort();
    backend->DeliverVerification(kCanceled);
    ASSERT_EQ(display.TakeArmedTimer(), kTestResultTimer);
    workflow->HandleTimer(kTestResultTimer);
    EXPECT_EQ(LastStatus(display.Log()), kSelectFinger);
}

}  // namespace
