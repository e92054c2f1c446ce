// The store shared by several processes: concurrent writers, and writers killed mid-write.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <iostream>
#include <random>
#include <thread>

#include "SimulatedStore.h"
#include "SimulatedTestSupport.h"

namespace {

constexpr UnitId kUnit = 1;

std::optional<std::vector<SimulatedStore::Record>> ReadStore(const std::filesystem::path& path) {
    return SimulatedStore::Parse(ReadFile(path));
}

// True when the child ended by itself with status 0.
bool ExitedCleanly(pid_t child) {
    int status = 0;
    return waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

SimulatedStore::Identity UserNumber(std::uint8_t number) {
    return {3, {number}};
}

}  // namespace

TEST(SimulatedStoreProcesses, TwoWritersAtOnceLoseNothing) {
    constexpr int kWriters = 2;
    TemporaryDirectory directory;
    const std::string path = directory.Path() / "fingers.store";
    int startSignal[2];
    ASSERT_EQ(pipe(startSignal), 0);
    std::vector<pid_t> writers;
    for (int writer = 0; writer < kWriters; ++writer) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(startSignal[1]);
            char ignored = 0;
            // Returns once the parent closes its end, for every writer at the same moment.
            while (read(startSignal[0], &ignored, 1) > 0) {
            }
            auto store = SimulatedStore::InFile(path, {});
            int failures = 0;
            for (SubFactor finger = kFirstFinger; finger <= kLastFinger; ++finger) {
                failures += store.Add(kUnit, UserNumber(writer + 1), finger) == kOk ? 0 : 1;
            }
            _exit(failures == 0 ? 0 : 1);
        }
        writers.push_back(child);
    }
    close(startSignal[0]);
    close(startSignal[1]);
    for (const pid_t writer : writers) {
        EXPECT_TRUE(ExitedCleanly(writer)) << "a writer's Add failed";
    }

    const auto records = ReadStore(path);
    ASSERT_TRUE(records.has_value());
    EXPECT_EQ(records->size(), kWriters * kLastFinger);
    for (int writer = 0; writer < kWriters; ++writer) {
        EXPECT_EQ(std::count_if(records->begin(), records->end(),
                                [&](const auto& record) {
                                    return record.identity == UserNumber(writer + 1);
                                }),
                  kLastFinger)
            << "writer " << writer;
    }
    EXPECT_EQ(directory.Entries(),
              (std::vector<std::string>{"fingers.store", "fingers.store.lock"}));
}

TEST(SimulatedStoreProcesses, WritersKilledMidWriteLeaveNoTemporaryFileBehind) {
    constexpr int kMaxKills = 50;
    constexpr auto kMaxDuration = std::chrono::milliseconds(500);
    const SimulatedStore::Record kept = {kUnit, UserNumber(9), 9};
    TemporaryDirectory directory;
    const std::string path = directory.Path() / "fingers.store";
    ASSERT_EQ(SimulatedStore::InFile(path, {}).Add(kept.unit, kept.identity, kept.subFactor), kOk);

    std::mt19937 random(17);
    int kills = 0;
    int leftBehind = 0;
    const auto deadline = std::chrono::steady_clock::now() + kMaxDuration;
    while (kills < kMaxKills && std::chrono::steady_clock::now() < deadline) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            auto store = SimulatedStore::InFile(path, {});
            for (SubFactor finger = kFirstFinger;; finger = finger % 8 + 1) {
                store.Add(kUnit, UserNumber(1), finger);
                store.Remove(kUnit, UserNumber(1), finger);
            }
        }
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 3000));
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        ++kills;
        leftBehind += directory.Entries().size() > 2 ? 1 : 0;
        const auto records = ReadStore(path);
        ASSERT_TRUE(records.has_value()) << "damaged after kill " << kills;
        ASSERT_NE(std::find(records->begin(), records->end(), kept), records->end());
    }
    std::cout << kills << " writers killed, " << leftBehind
              << " of them left a temporary file for the next write\n";

    // The next write clears what the last kill left.
    ASSERT_EQ(SimulatedStore::InFile(path, {}).Add(kUnit, UserNumber(2), 1), kOk);
    EXPECT_EQ(directory.Entries(),
              (std::vector<std::string>{"fingers.store", "fingers.store.lock"}));
}
