// Releases held while the system sleeps: run at once when awake, in order after the resume, and
// at the latest after the longest sleep, so a resume never heard cannot keep a reader forever.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <chrono>
#include <string>
#include <thread>

#include "FprintdSleepGate.h"

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

}  // namespace
