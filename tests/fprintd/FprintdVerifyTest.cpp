// Testing a stored finger through WinBioVerifyWithCallback against the real fprintd and
// libfprint's virtual sensor.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "FprintdSandbox.h"
#include "FprintdService.h"
#include "LogindMock.h"
#include "ServiceCalls.h"
#include "VerifyRecorder.h"
#include "WinBio.h"

namespace {

using namespace std::chrono_literals;
using namespace ServiceCalls;
using Result = VerifyRecorder::Result;

constexpr auto kResultPatience = VerifyRecorder::kPatience;
constexpr auto kQuiet = VerifyRecorder::kQuiet;
constexpr SubFactor kEnrolledFinger = 2;
const QString kEnrolledName = QStringLiteral("right-index-finger");
const std::string kPrint = "mine";
constexpr SubFactor kFingerNotEnrolled = 7;

class FprintdVerifyTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(FprintdSandbox::Available()) << "run through tests/fprintd/fixture.py";
        ASSERT_TRUE(FprintdSandbox::ResetPolkit());
        ASSERT_TRUE(OtherClient().Enroll(kEnrolledName, kPrint));
        ASSERT_TRUE(FprintdSandbox::ResetPolkit());  // only this test's checks are recorded
        Install(FprintdTimeouts{});
    }

    void TearDown() override { InstallBiometricBackend(nullptr); }

    static void Install(FprintdTimeouts timeouts) {
        InstallBiometricBackend(nullptr);
        InstallBiometricBackend(std::make_shared<FprintdService>(timeouts));
    }

    std::optional<Result> Touch(const std::string& command) {
        EXPECT_TRUE(FprintdSandbox::SendSensor(command)) << command;
        return m_recorder.Next(kResultPatience);
    }

    // Verifying, with a retry handed out and the next request waiting: fprintd is mid-verify.
    void VerifyUntilARetry(SessionHandle handle) {
        ASSERT_EQ(m_recorder.Request(handle, kEnrolledFinger), kOk);
        const auto retry = Touch("RETRY 0");
        ASSERT_TRUE(retry);
        ASSERT_EQ(retry->status, kBadCapture);
        ASSERT_EQ(m_recorder.Request(handle, kEnrolledFinger), kOk);
    }

    static void ExpectReaderFree() {
        EXPECT_TRUE(OtherClient().WaitUntilReaderFree()) << "the reader was left claimed";
    }

    VerifyRecorder m_recorder;
};

TEST_F(FprintdVerifyTest, TouchesEndAsFprintdAnswersAndLeaveTheReaderFree) {
    const struct {
        const char* what;
        std::vector<std::string> touches;
        std::vector<Result> expected;
    } rows[] = {
        {"the enrolled print", {"SCAN mine"}, {{kOk, 1, 0, kUnit}}},
        {"another print", {"SCAN theirs"}, {{kNoMatch, 0, 0, kUnit}}},
        {"every retry, then the enrolled print",
         {"RETRY 0", "RETRY 1", "RETRY 2", "RETRY 3", "SCAN mine"},
         {{kBadCapture, 0, kRejectPoorQuality, kUnit},
          {kBadCapture, 0, kRejectTooShort, kUnit},
          {kBadCapture, 0, kRejectTooSkewed, kUnit},
          {kBadCapture, 0, kRejectTooFast, kUnit},
          {kOk, 1, 0, kUnit}}},
    };
    const SessionHandle handle = OpenSession();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        for (std::size_t touch = 0; touch < row.touches.size(); ++touch) {
            ASSERT_EQ(m_recorder.Request(handle, kEnrolledFinger), kOk);
            const auto result = Touch(row.touches[touch]);
            ASSERT_TRUE(result) << row.touches[touch];
            EXPECT_EQ(*result, row.expected[touch]) << row.touches[touch];
        }
        ExpectReaderFree();
        EXPECT_FALSE(m_recorder.Next(kQuiet)) << "a result nobody asked for";
    }
    // Asked before the claim, for the verify action, allowing a prompt; once per test.
    const auto checks = FprintdSandbox::PolkitChecks();
    ASSERT_FALSE(checks.empty());
    EXPECT_EQ(checks[0].subjectKind, QStringLiteral("system-bus-name"));
    EXPECT_EQ(checks[0].action, FprintdSandbox::kVerifyAction);
    EXPECT_EQ(checks[0].flags, 1u);
}

// Abort, and the window's Close (which closes its session), mid-verify.
TEST_F(FprintdVerifyTest, AbortOrClosingMidVerifyAnswersCanceledAndReleases) {
    const struct {
        const char* what;
        StatusCode (*end)(SessionHandle);
    } rows[] = {
        {"Abort", &WinBioCancel},
        {"closing the session", &WinBioCloseSession},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const SessionHandle handle = OpenSession();
        ASSERT_NO_FATAL_FAILURE(VerifyUntilARetry(handle));
        EXPECT_EQ(row.end(handle), kOk);
        const auto result = m_recorder.Next(kResultPatience);
        ASSERT_TRUE(result);
        EXPECT_EQ(result->status, kCanceled);
        EXPECT_EQ(result->match, 0);
        ExpectReaderFree();
        EXPECT_FALSE(m_recorder.Next(kQuiet)) << "answered twice";
    }
}

// As at the program's exit (SIGTERM closes the window), with nobody cancelling first.
TEST_F(FprintdVerifyTest, ShuttingDownMidVerifyAnswersAndReleases) {
    const SessionHandle handle = OpenSession();
    ASSERT_NO_FATAL_FAILURE(VerifyUntilARetry(handle));
    InstallBiometricBackend(nullptr);
    const auto result = m_recorder.Next(0ms);
    ASSERT_TRUE(result) << "the pending request got no answer before the back end went";
    EXPECT_EQ(result->status, kCanceled);
    ExpectReaderFree();
    EXPECT_FALSE(m_recorder.Next(kQuiet)) << "answered twice";
}

TEST_F(FprintdVerifyTest, NoTouchTimesOutAndReleases) {
    constexpr auto kVerifyTimeout = 300ms;
    Install(FprintdTimeouts{.verify = kVerifyTimeout});
    const SessionHandle handle = OpenSession();
    QElapsedTimer clock;
    clock.start();
    ASSERT_EQ(m_recorder.Request(handle, kEnrolledFinger), kOk);
    const auto result = m_recorder.Next(kResultPatience);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, kCaptureTimedOut);
    // Not before the deadline, give or take the 5% a coarse timer may fire early.
    constexpr int kCoarsePercent = 95;
    EXPECT_GE(clock.elapsed(), kVerifyTimeout.count() * kCoarsePercent / 100);
    RecordProperty("timed_out_after_ms", static_cast<int>(clock.elapsed()));
    ExpectReaderFree();
}

TEST_F(FprintdVerifyTest, AFingerNotEnrolledIsAMissingRecordAndReleases) {
    const SessionHandle handle = OpenSession();
    ASSERT_EQ(m_recorder.Request(handle, kFingerNotEnrolled), kOk);
    const auto result = m_recorder.Next(kResultPatience);
    ASSERT_TRUE(result);
    EXPECT_EQ(*result, (Result{kDatabaseNoSuchRecord, 0, 0, kUnit}));
    ExpectReaderFree();
}

TEST_F(FprintdVerifyTest, PolkitRefusingVerifyFailsBeforeTheClaim) {
    ASSERT_TRUE(FprintdSandbox::SetAllowed({FprintdSandbox::kEnrollAction}));
    const SessionHandle handle = OpenSession();
    ASSERT_EQ(m_recorder.Request(handle, kEnrolledFinger), kOk);
    const auto result = m_recorder.Next(kResultPatience);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, kAccessDenied);
    // Only our own check: fprintd's Claim, which checks verify too, was never sent.
    EXPECT_EQ(FprintdSandbox::PolkitChecks().size(), 1u);
    ExpectReaderFree();
}

TEST_F(FprintdVerifyTest, FprintdKilledMidVerifyEndsTheTestAndTheNextOneWorks) {
    const SessionHandle handle = OpenSession();
    ASSERT_NO_FATAL_FAILURE(VerifyUntilARetry(handle));
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(FprintdSandbox::KillFprintdNow());
    const auto result = m_recorder.Next(kResultPatience);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, kSensorUnavailable);
    EXPECT_LT(clock.elapsed(), 1000) << "the daemon's end took over a second to reach the test";
    RecordProperty("result_after_kill_ms", static_cast<int>(clock.elapsed()));

    ASSERT_TRUE(FprintdSandbox::StopFprintd(false));
    ASSERT_TRUE(FprintdSandbox::StartFprintd(FprintdVariant::kPlain));
    ASSERT_EQ(m_recorder.Request(handle, kEnrolledFinger), kOk);
    const auto again = Touch("SCAN mine");
    ASSERT_TRUE(again);
    EXPECT_EQ(again->status, kOk);
    ExpectReaderFree();
}

// As for an enrollment: the reader fprintd suspended is released once the system has resumed.
TEST_F(FprintdVerifyTest, ASleepMidVerifyReleasesTheReaderAfterTheResume) {
    LogindMock logind;
    ASSERT_TRUE(logind.Start());
    const SessionHandle handle = OpenSession();
    ASSERT_NO_FATAL_FAILURE(VerifyUntilARetry(handle));
    ASSERT_TRUE(logind.PrepareForSleep(true));
    ASSERT_EQ(WinBioCancel(handle), kOk);
    const auto ended = m_recorder.Next(kResultPatience);
    ASSERT_TRUE(ended);
    EXPECT_NE(ended->status, kOk);
    EXPECT_TRUE(FprintdSandbox::HeldThroughTheSleepAndFreedAfterTheResume(logind));
}

}  // namespace
