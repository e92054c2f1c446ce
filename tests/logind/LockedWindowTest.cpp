// The window on the simulated sensor, wired to logind as the program wires it: lock and sleep.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QElapsedTimer>
#include <cstdlib>
#include <string>

#include "FingerMapFocus.h"
#include "FingertipAccessible.h"
#include "LogindMock.h"
#include "LogindWatcher.h"
#include "SimulatedWindowTest.h"

namespace {

const QString kSession = QStringLiteral("c1");
constexpr int kRightIndex = 2;
// The first touch counts at once; the second never comes while the test runs.
const char* const kScript = "more,more@600000,ok";
constexpr qint64 kMostMsToSayWhy = 1000;

// A verification that is never answered while the test runs.
const char* const kTestScript = "match@600000";

struct EventRow {
    const char* name;
    bool (*play)(LogindMock&);
    TextId text;
    TextId testText;
};

const EventRow kEvents[] = {
    {"LockedHint", [](LogindMock& mock) { return mock.SetLockedHint(kSession, true); },
     kTextStoppedScreenLocked, kTextTestStoppedScreenLocked},
    {"LockSignal", [](LogindMock& mock) { return mock.Lock(kSession); }, kTextStoppedScreenLocked,
     kTextTestStoppedScreenLocked},
    {"PrepareForSleep", [](LogindMock& mock) { return mock.PrepareForSleep(true); },
     kTextStoppedGoingToSleep, kTextTestStoppedGoingToSleep},
};

void PrintTo(const EventRow& row, std::ostream* out) {
    *out << row.name;
}

class LockedWindowTest : public SimulatedWindowTest, public testing::WithParamInterface<EventRow> {
protected:
    void SetUp() override {
        if (!LogindMock::Available()) {
            GTEST_SKIP() << "needs logind_fixture.py (label logind)";
        }
        setenv("XDG_SESSION_ID", "c1", 1);
        ASSERT_TRUE(m_mock.Start());
        ASSERT_TRUE(m_mock.AddSession(kSession));
    }
    void TearDown() override {
        m_watcher.reset();  // before the window it calls
        SimulatedWindowTest::TearDown();
        unsetenv("XDG_SESSION_ID");
    }

    // As the application does once the window is on the screen.
    void WatchLogind() {
        m_watcher = std::make_unique<LogindWatcher>(
            [this](SystemEvent event) { Dialog().StopForSystemEvent(event); });
        m_watcher->StartOnSystemBus();
        ASSERT_TRUE(
            WaitFor([&] { return m_watcher->State() == LogindWatch::kWatchingSessionAndSleep; }));
    }

    LogindMock m_mock;
    std::unique_ptr<LogindWatcher> m_watcher;
};

TEST_P(LockedWindowTest, MidEnrollmentTheAttemptStopsAndThePanelSaysWhy) {
    Start({{"VARNE_SIM_SCRIPT", kScript}});
    WatchLogind();
    ClickFinger(kRightIndex);
    ASSERT_TRUE(WaitForTitle(kTitleReleaseFinger));
    ASSERT_TRUE(AbortButton().isEnabled());

    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(GetParam().play(m_mock));
    ASSERT_TRUE(WaitFor([&] { return Title() == Text(kTitleEnrollmentStopped); }));
    EXPECT_LE(clock.elapsed(), kMostMsToSayWhy);
    EXPECT_EQ(InstructionLabel().text(), Text(GetParam().text));
    EXPECT_FALSE(AbortButton().isEnabled());
    EXPECT_EQ(ProgressBar().value(), 0);
    EXPECT_EQ(Context().selectedFinger, 0);
    EXPECT_TRUE(Context().enrolledSet.empty());  // read anew from the service after the stop

    // Nothing resumes by itself; the next click starts a new attempt.
    ClickFinger(kRightIndex);
    EXPECT_EQ(Title(), Text(kTitlePlaceFinger));
    EXPECT_TRUE(AbortButton().isEnabled());
}

TEST_P(LockedWindowTest, MidTestTheTestStopsAndThePanelSaysWhy) {
    Start({{"VARNE_SIM_ENROLLED", std::to_string(kRightIndex)}, {"VARNE_SIM_SCRIPT", kTestScript}});
    WatchLogind();
    QAccessibleInterface* picture = QAccessible::queryAccessibleInterface(&Picture());
    picture->child(FingerMapFocus::IndexOf(kRightIndex))
        ->actionInterface()
        ->doAction(FingertipAccessible::TestAction());
    ASSERT_TRUE(WaitForTitle(kTitleTestFinger));
    ASSERT_TRUE(AbortButton().isEnabled());

    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(GetParam().play(m_mock));
    ASSERT_TRUE(WaitForTitle(kTitleTestStopped)) << Title().toStdString();
    EXPECT_LE(clock.elapsed(), kMostMsToSayWhy);
    EXPECT_EQ(InstructionLabel().text(), Text(GetParam().testText));
    EXPECT_FALSE(AbortButton().isEnabled());
    EXPECT_EQ(Context().selectedFinger, 0);
    EXPECT_EQ(Context().enrolledSet, u"2");  // a test never changes what is stored

    // Nothing resumes by itself; a click on a bare fingertip starts an enrollment.
    ClickFinger(kRightIndex + 1);
    EXPECT_EQ(Title(), Text(kTitlePlaceFinger));
}

INSTANTIATE_TEST_SUITE_P(Events, LockedWindowTest, testing::ValuesIn(kEvents),
                         [](const auto& rowInfo) { return std::string(rowInfo.param.name); });

}  // namespace
