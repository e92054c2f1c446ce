// Testing a finger against a fake daemon that plays the VerifyStatus results and VerifyStart
// errors the virtual sensor cannot produce.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <thread>
#include <utility>
#include <vector>

#include "FakeFprintdControl.h"
#include "FprintdService.h"
#include "ServiceCalls.h"
#include "UnixUserIdentity.h"
#include "VerifyRecorder.h"
#include "WinBio.h"

namespace {

using namespace std::chrono_literals;
using namespace ServiceCalls;
using Result = VerifyRecorder::Result;

constexpr auto kResultPatience = VerifyRecorder::kPatience;
constexpr auto kQuiet = VerifyRecorder::kQuiet;
constexpr auto kPoll = 10ms;
constexpr SubFactor kFinger = 2;
const QString kFingerName = QStringLiteral("right-index-finger");

class FakeVerificationTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_fake.Reachable()) << "run through tests/fprintd_fake/fake_fixture.py";
        ASSERT_TRUE(m_fake.SetEnrolled({kFingerName}));
        InstallBiometricBackend(std::make_shared<FprintdService>());
    }

    void TearDown() override { InstallBiometricBackend(nullptr); }

    bool ReaderReleased() {
        const auto deadline = std::chrono::steady_clock::now() + kResultPatience;
        while (m_fake.Claimed()) {
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
            std::this_thread::sleep_for(kPoll);
        }
        return true;
    }

    FakeFprintdControl m_fake;
    VerifyRecorder m_recorder;
};

TEST_F(FakeVerificationTest, EachPlayedRunOfResultsReachesTheRequestsAndEndsReleased) {
    const struct {
        const char* what;
        std::vector<std::pair<QString, bool>> played;
        std::vector<Result> expected;
    } rows[] = {
        {"an unknown result going on, then a match",
         {{"verify-something-new", false}, {"verify-match", true}},
         {{kBadCapture, 0, 0, kUnit}, {kOk, 1, 0, kUnit}}},
        {"too fast, then no match",
         {{"verify-too-fast", false}, {"verify-no-match", true}},
         {{kBadCapture, 0, kRejectTooFast, kUnit}, {kNoMatch, 0, 0, kUnit}}},
        {"disconnected", {{"verify-disconnected", true}}, {{kSensorUnavailable, 0, 0, kUnit}}},
        {"an unknown error",
         {{"verify-unknown-error", true}},
         {{kUnspecifiedFailure, 0, 0, kUnit}}},
        {"an unknown result that is done",
         {{"verify-something-new", true}},
         {{kUnspecifiedFailure, 0, 0, kUnit}}},
        {"a retry that is done",
         {{"verify-retry-scan", true}},
         {{kUnspecifiedFailure, 0, 0, kUnit}}},
        {"a match not flagged done ends all the same",
         {{"verify-match", false}, {"verify-no-match", true}},
         {{kOk, 1, 0, kUnit}}},
        {"nothing after the end counts",
         {{"verify-no-match", true}, {"verify-match", true}},
         {{kNoMatch, 0, 0, kUnit}}},
        // Whether a retry played before the end is still queued when the next request comes
        // depends on timing, so no row plays one there.
    };
    const SessionHandle handle = OpenSession();
    std::size_t stops = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        ASSERT_TRUE(m_fake.SetVerifyResults(row.played));
        for (const Result& expected : row.expected) {
            ASSERT_EQ(m_recorder.Request(handle, kFinger), kOk);
            const auto result = m_recorder.Next(kResultPatience);
            ASSERT_TRUE(result);
            EXPECT_EQ(*result, expected);
        }
        EXPECT_TRUE(ReaderReleased());
        EXPECT_FALSE(m_recorder.Next(kQuiet)) << "a result nobody asked for";
        // fprintd's verification is stopped even after its final result.
        EXPECT_EQ(m_fake.Calls(QStringLiteral("VerifyStop")).size(), ++stops);
    }
    EXPECT_EQ(m_fake.Calls(QStringLiteral("Claim")).size(), std::size(rows));
}

TEST_F(FakeVerificationTest, AVerifyStartThatFailsEndsTheTestAndReleases) {
    const struct {
        const char* error;
        StatusCode expected;
    } rows[] = {
        {"net.reactivated.Fprint.Error.NoEnrolledPrints", kDatabaseNoSuchRecord},
        {"net.reactivated.Fprint.Error.PermissionDenied", kAccessDenied},
        {"net.reactivated.Fprint.Error.Internal", kDeviceFailure},
        {"net.reactivated.Fprint.Error.SomethingNew", kUnspecifiedFailure},
    };
    const SessionHandle handle = OpenSession();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.error);
        ASSERT_TRUE(m_fake.FailMethod(QStringLiteral("*"), QStringLiteral("VerifyStart"),
                                      QString::fromLatin1(row.error)));
        ASSERT_EQ(m_recorder.Request(handle, kFinger), kOk);
        const auto result = m_recorder.Next(kResultPatience);
        ASSERT_TRUE(result);
        EXPECT_EQ(*result, (Result{row.expected, 0, 0, kUnit}));
        EXPECT_TRUE(ReaderReleased());
    }
    EXPECT_TRUE(m_fake.Calls(QStringLiteral("VerifyStop")).empty()) << "nothing was running";
}

TEST_F(FakeVerificationTest, RequestsTheServiceCannotTakeFailAtOnce) {
    const SessionHandle handle = OpenSession();
    WINBIO_IDENTITY caller = CallerIdentity();
    WINBIO_IDENTITY someoneElse = MakeUnixUserIdentity(static_cast<std::uint32_t>(getuid()) + 1);
    const struct {
        const char* what;
        SessionHandle session;
        WINBIO_IDENTITY* identity;
        SubFactor finger;
        StatusCode expected;
    } rows[] = {
        {"no finger", handle, &caller, kNoFinger, kInvalidArgument},
        {"past the ten fingers", handle, &caller, kLastFinger + 1, kInvalidArgument},
        {"no identity", handle, nullptr, kFinger, kInvalidArgument},
        {"an unknown session", handle + 1, &caller, kFinger, kInvalidArgument},
        {"another user's finger", handle, &someoneElse, kFinger, kAccessDenied},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(WinBioVerifyWithCallback(row.session, row.identity, row.finger,
                                           &VerifyRecorder::Callback, &m_recorder),
                  row.expected);
    }
    EXPECT_EQ(WinBioVerifyWithCallback(handle, &caller, kFinger, nullptr, nullptr),
              kInvalidArgument);
    // The session's enrollment has the reader: testing waits for nothing, it is refused.
    ASSERT_EQ(WinBioEnrollBegin(handle, 3, kUnit), kOk);
    EXPECT_EQ(m_recorder.Request(handle, kFinger), kEnrollmentInProgress);
    EXPECT_EQ(WinBioEnrollDiscard(handle), kOk);
    EXPECT_TRUE(ReaderReleased());
    EXPECT_FALSE(m_recorder.Next(kQuiet)) << "a refused request was answered";
    EXPECT_TRUE(m_fake.Calls(QStringLiteral("VerifyStart")).empty());
}

// A second request while one waits is refused; after a retry the next one gets the next result
// of the same verification, not a new claim.
TEST_F(FakeVerificationTest, ARetryKeepsTheReaderForTheNextRequest) {
    ASSERT_TRUE(m_fake.SetVerifyResults({{"verify-retry-scan", false}}));
    const SessionHandle handle = OpenSession();
    ASSERT_EQ(m_recorder.Request(handle, kFinger), kOk);
    const auto retry = m_recorder.Next(kResultPatience);
    ASSERT_TRUE(retry);
    EXPECT_EQ(retry->status, kBadCapture);
    EXPECT_TRUE(m_fake.Claimed()) << "fprintd verifies on after a retry";
    ASSERT_EQ(m_recorder.Request(handle, kFinger), kOk);
    EXPECT_EQ(m_recorder.Request(handle, kFinger), kDataCollectionInProgress);
    EXPECT_EQ(WinBioCancel(handle), kOk);
    const auto canceled = m_recorder.Next(kResultPatience);
    ASSERT_TRUE(canceled);
    EXPECT_EQ(canceled->status, kCanceled);
    EXPECT_TRUE(ReaderReleased());
    EXPECT_EQ(m_fake.Calls(QStringLiteral("Claim")).size(), 1u);
    EXPECT_EQ(m_fake.Calls(QStringLiteral("VerifyStart")).size(), 1u);
    EXPECT_EQ(m_fake.Calls(QStringLiteral("VerifyStop")).size(), 1u);
    EXPECT_FALSE(m_recorder.Next(kQuiet)) << "answered twice";
}

// fprintd may end the verification before the window asks for the result behind a retry: the
// reader is released, and that result still answers the next request.
TEST_F(FakeVerificationTest, AFinalResultOutlivesTheReleaseUntilItIsAskedFor) {
    ASSERT_TRUE(m_fake.SetVerifyResults({{"verify-too-fast", false}, {"verify-no-match", true}}));
    const SessionHandle handle = OpenSession();
    ASSERT_EQ(m_recorder.Request(handle, kFinger), kOk);
    const auto retry = m_recorder.Next(kResultPatience);
    ASSERT_TRUE(retry);
    EXPECT_EQ(retry->rejectDetail, kRejectTooFast);
    ASSERT_TRUE(ReaderReleased());
    ASSERT_EQ(m_recorder.Request(handle, kFinger), kOk);
    const auto final = m_recorder.Next(kResultPatience);
    ASSERT_TRUE(final);
    EXPECT_EQ(*final, (Result{kNoMatch, 0, 0, kUnit}));
    EXPECT_EQ(m_fake.Calls(QStringLiteral("Claim")).size(), 1u) << "a second verification began";
    // Once it was handed out, the next request begins anew.
    ASSERT_EQ(m_recorder.Request(handle, kFinger), kOk);
    ASSERT_TRUE(m_recorder.Next(kResultPatience));
    EXPECT_EQ(m_fake.Calls(QStringLiteral("Claim")).size(), 2u);
}

}  // namespace
