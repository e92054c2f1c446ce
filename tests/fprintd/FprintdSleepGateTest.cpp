// Releases held while the system sleeps: run at once when awake, in order after the resume, and
// at the latest after the longest sleep, so a resume never heard cannot keep a reader forever.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QElapsedTimer>
#include <QMetaObject>
#include <QThread>
#include <chrono>
#include <string>
#include <thread>

#include "FprintdBus.h"
#include "FprintdSleepGate.h"
#include "LogindMock.h"

namespace {

using namespace std::chrono_literals;

constexpr auto kLongestSleep = 200ms;

void ProcessEventsFor(std::chrono::milliseconds duration) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < duration.count()) {
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(5ms);
    }
}

TEST(FprintdSleepGateTest, HeldActionsRunAfterTheResumeOrTheLongestSleep) {
    enum class Then { kNothing, kResume, kWaitOutTheLongestSleep };
    const struct {
        const char* what;
        bool sleeping;
        Then then;
    } rows[] = {
        {"awake", false, Then::kNothing},
        {"asleep, then resumed", true, Then::kResume},
        {"asleep, no resume heard", true, Then::kWaitOutTheLongestSleep},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        FprintdSleepGate gate(kLongestSleep);
        if (row.sleeping) {
            gate.OnPrepareForSleep(true);
        }
        std::string ran;
        gate.WhenAwake([&] { ran += "a"; });
        gate.WhenAwake([&] { ran += "b"; });
        EXPECT_EQ(ran, row.sleeping ? "" : "ab");
        switch (row.then) {
            case Then::kNothing:
                break;
            case Then::kResume:
                ProcessEventsFor(kLongestSleep / 4);
                EXPECT_EQ(ran, "") << "ran while asleep";
                gate.OnPrepareForSleep(false);
                break;
            case Then::kWaitOutTheLongestSleep:
                ProcessEventsFor(kLongestSleep * 2);
                break;
        }
        EXPECT_EQ(ran, "ab");
        EXPECT_FALSE(gate.Asleep());
        gate.WhenAwake([&] { ran += "c"; });
        EXPECT_EQ(ran, "abc");
    }
}

// Logind is heard on a watched connection, and no longer once it is unwatched.
TEST(FprintdSleepGateTest, AnUnwatchedConnectionIsNoLongerHeard) {
    LogindMock logind;
    ASSERT_TRUE(logind.Start());
    QDBusConnection connection = QDBusConnection::systemBus();
    ASSERT_TRUE(connection.isConnected());
    FprintdSleepGate gate(kLongestSleep * 10);
    gate.Watch(connection);
    ASSERT_TRUE(logind.PrepareForSleep(true));
    QElapsedTimer clock;
    clock.start();
    while (!gate.Asleep() && clock.elapsed() < 2000) {
        ProcessEventsFor(5ms);
    }
    ASSERT_TRUE(gate.Asleep()) << "PrepareForSleep(true) not heard";
    gate.Unwatch(connection);
    ASSERT_TRUE(logind.PrepareForSleep(false));
    ProcessEventsFor(kLongestSleep);
    EXPECT_TRUE(gate.Asleep()) << "the resume was heard on an unwatched connection";
}

// The gate outlives each connection it hears; a connection closed with the gate still hooked
// kept a pointer to it, which Qt's bus thread followed once the gate was gone. Connections are
// opened, watched and dropped here on a thread of their own, as the back end does.
TEST(FprintdSleepGateTest, ConnectionsDroppedAroundTheGateKeepNoHookOnIt) {
    constexpr int kCycles = 60;
    for (int cycle = 0; cycle < kCycles; ++cycle) {
        QThread thread;
        auto* bus = new FprintdBus(1s, kLongestSleep, {}, {}, {});
        bus->moveToThread(&thread);
        QObject::connect(&thread, &QThread::finished, bus, &QObject::deleteLater);
        thread.start();
        bool connected = false;
        QMetaObject::invokeMethod(
            bus,
            [bus, &connected, cycle] {
                bus->WatchDaemon();
                connected = bus->Connect();
                if (cycle % 2 == 1) {
                    bus->Drop(true);  // and a second connection, dropped at the end
                    bus->WatchDaemon();
                }
            },
            Qt::BlockingQueuedConnection);
        ASSERT_TRUE(connected) << "no system bus in cycle " << cycle;
        thread.quit();
        ASSERT_TRUE(thread.wait(5000));
    }
    ProcessEventsFor(50ms);
}

}  // namespace
