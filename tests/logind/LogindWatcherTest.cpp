// The logind watcher against python-dbusmock's logind on a private bus: lock, sleep, no logind.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <cstdlib>
#include <vector>

#include "LogindMock.h"
#include "LogindWatcher.h"
#include "WindowDriver.h"

namespace {

const QString kSession = QStringLiteral("c1");

// Everything Qt would print, and what reaches standard error, while the object lives.
class OutputRecorder {
public:
    OutputRecorder() {
        s_messages.clear();
        m_previous =
            qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& text) {
                s_messages.push_back(text);
            });
        testing::internal::CaptureStderr();
    }
    ~OutputRecorder() {
        if (!m_taken) {
            testing::internal::GetCapturedStderr();
        }
        qInstallMessageHandler(m_previous);
    }
    OutputRecorder(const OutputRecorder&) = delete;
    OutputRecorder& operator=(const OutputRecorder&) = delete;

    // Qt's messages and the standard error, together.
    std::string Take() {
        m_taken = true;
        std::string all = testing::internal::GetCapturedStderr();
        for (const QString& message : s_messages) {
            all += message.toStdString() + '\n';
        }
        return all;
    }

private:
    static inline std::vector<QString> s_messages;
    QtMessageHandler m_previous = nullptr;
    bool m_taken = false;
};

class LogindWatcherTest : public testing::Test {
protected:
    void SetUp() override {
        if (!LogindMock::Available()) {
            GTEST_SKIP() << "needs logind_fixture.py (label logind)";
        }
        setenv("XDG_SESSION_ID", "c1", 1);
    }
    void TearDown() override { unsetenv("XDG_SESSION_ID"); }

    // The mock with our session, and the watcher on the fixture's bus, once it listens.
    void StartWatching(LogindWatch expected = LogindWatch::kWatchingSessionAndSleep) {
        ASSERT_TRUE(m_mock.Start());
        ASSERT_TRUE(m_mock.AddSession(kSession));
        m_watcher.StartOnSystemBus();
        ASSERT_TRUE(WaitUntil(expected)) << static_cast<int>(m_watcher.State());
    }
    bool WaitUntil(LogindWatch state) {
        return WindowDriver::WaitFor([&] { return m_watcher.State() == state; });
    }
    // Waits for the events seen to reach count.
    bool WaitForEvents(std::size_t count) {
        return WindowDriver::WaitFor([&] { return m_events.size() >= count; });
    }
    // Signals from one sender reach a receiver in the order sent: once a sleep sent now has
    // come, everything sent before it has come too. The sleep itself is taken off again.
    void Settle() {
        const std::size_t before = m_events.size();
        ASSERT_TRUE(m_mock.PrepareForSleep(true));
        ASSERT_TRUE(WaitForEvents(before + 1));
        ASSERT_EQ(m_events.back(), SystemEvent::kGoingToSleep);
        m_events.pop_back();
    }

    LogindMock m_mock;
    std::vector<SystemEvent> m_events;
    LogindWatcher m_watcher{[this](SystemEvent event) { m_events.push_back(event); }};
};

TEST_F(LogindWatcherTest, LockedHintBecomingTrueIsALock) {
    StartWatching();
    EXPECT_EQ(m_mock.ManagerCalls(QStringLiteral("GetSession")).size(), 1u);
    ASSERT_TRUE(m_mock.SetLockedHint(kSession, true));
    ASSERT_TRUE(WaitForEvents(1));
    EXPECT_EQ(m_events[0], SystemEvent::kScreenLocked);

    // Still locked: no new lock. Unlocked and locked again: one more.
    ASSERT_TRUE(m_mock.SetLockedHint(kSession, true));
    ASSERT_TRUE(m_mock.SetLockedHint(kSession, false));
    ASSERT_TRUE(m_mock.SetLockedHint(kSession, true));
    ASSERT_TRUE(WaitForEvents(2));
    Settle();
    EXPECT_EQ(m_events, std::vector<SystemEvent>(2, SystemEvent::kScreenLocked));
}

TEST_F(LogindWatcherTest, LockSignalIsALock) {
    StartWatching();
    ASSERT_TRUE(m_mock.Lock(kSession));
    ASSERT_TRUE(WaitForEvents(1));
    EXPECT_EQ(m_events, std::vector<SystemEvent>{SystemEvent::kScreenLocked});
}

TEST_F(LogindWatcherTest, PrepareForSleepTrueIsASleepAndTheResumeIsNothing) {
    StartWatching();
    ASSERT_TRUE(m_mock.PrepareForSleep(true));
    ASSERT_TRUE(WaitForEvents(1));
    ASSERT_TRUE(m_mock.PrepareForSleep(false));
    Settle();
    EXPECT_EQ(m_events, std::vector<SystemEvent>{SystemEvent::kGoingToSleep});
}

TEST_F(LogindWatcherTest, WithoutXdgSessionIdTheSessionIsFoundByOurPid) {
    unsetenv("XDG_SESSION_ID");
    ASSERT_TRUE(m_mock.Start());
    ASSERT_TRUE(m_mock.AddSession(QStringLiteral("c2")));
    ASSERT_TRUE(m_mock.AnswerSessionByPid(QStringLiteral("c2")));
    m_watcher.StartOnSystemBus();
    ASSERT_TRUE(WaitUntil(LogindWatch::kWatchingSessionAndSleep));
    const auto calls = m_mock.ManagerCalls(QStringLiteral("GetSessionByPID"));
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].value(0).toUInt(), static_cast<unsigned>(getpid()));
    EXPECT_TRUE(m_mock.ManagerCalls(QStringLiteral("GetSession")).empty());

    ASSERT_TRUE(m_mock.SetLockedHint(QStringLiteral("c2"), true));
    ASSERT_TRUE(WaitForEvents(1));
    EXPECT_EQ(m_events, std::vector<SystemEvent>{SystemEvent::kScreenLocked});
}

// No session of ours (GetSessionByPID fails): a sleep still concerns us.
TEST_F(LogindWatcherTest, WithoutASessionOnlySleepIsWatched) {
    unsetenv("XDG_SESSION_ID");
    OutputRecorder output;
    StartWatching(LogindWatch::kWatchingSleepOnly);
    ASSERT_TRUE(m_mock.PrepareForSleep(true));
    ASSERT_TRUE(WaitForEvents(1));
    EXPECT_EQ(m_events, std::vector<SystemEvent>{SystemEvent::kGoingToSleep});
    EXPECT_EQ(output.Take(), "");
}

// A system bus without logind (a container): nothing happens and nothing is printed.
TEST_F(LogindWatcherTest, WithoutLogindNothingHappensAndNothingIsPrinted) {
    OutputRecorder output;
    m_watcher.StartOnSystemBus();
    ASSERT_TRUE(WaitUntil(LogindWatch::kNoLogind));
    EXPECT_TRUE(m_events.empty());
    EXPECT_EQ(output.Take(), "");
}

TEST_F(LogindWatcherTest, WithoutASystemBusNothingHappensAndNothingIsPrinted) {
    OutputRecorder output;
    const QString name = QStringLiteral("varne-test-no-bus");
    m_watcher.Start(
        QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/bus"), name));
    EXPECT_EQ(m_watcher.State(), LogindWatch::kNoLogind);
    QDBusConnection::disconnectFromBus(name);
    EXPECT_EQ(output.Take(), "");
}

// logind restarted: the session is looked up again on the new instance, and its lock heard.
TEST_F(LogindWatcherTest, FollowsARestartedLogind) {
    StartWatching();
    ASSERT_TRUE(m_mock.Stop());
    ASSERT_TRUE(WaitUntil(LogindWatch::kNoLogind));
    ASSERT_TRUE(m_mock.Start());
    ASSERT_TRUE(m_mock.AddSession(kSession));
    ASSERT_TRUE(WaitUntil(LogindWatch::kWatchingSessionAndSleep));
    ASSERT_TRUE(m_mock.Lock(kSession));
    ASSERT_TRUE(WaitForEvents(1));
    EXPECT_EQ(m_events, std::vector<SystemEvent>{SystemEvent::kScreenLocked});
}

}  // namespace
