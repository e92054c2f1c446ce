// The simulated sensor's verification of one finger: scripted verdicts, cancel, refusals.
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

#include "SimulatedTestSupport.h"
#include "UnixUserIdentity.h"

using namespace std::chrono_literals;

namespace {

constexpr auto kPatience = 5s;
constexpr auto kQuietPeriod = 100ms;

// Records verification results as the service delivers them.
class VerifyRecorder {
public:
    struct Result {
        StatusCode status = kOk;
        UnitId unit = 0;
        bool match = false;
        RejectDetail rejectDetail = 0;
    };

    static void Callback(void* context, StatusCode status, UnitId unit, std::uint8_t match,
                         RejectDetail rejectDetail) {
        auto* recorder = static_cast<VerifyRecorder*>(context);
        std::lock_guard lock(recorder->m_mutex);
        recorder->m_results.push_back({status, unit, match != 0, rejectDetail});
        recorder->m_arrived.notify_all();
    }

    bool WaitFor(std::size_t count, std::chrono::milliseconds timeout = kPatience) {
        std::unique_lock lock(m_mutex);
        return m_arrived.wait_for(lock, timeout, [&] { return m_results.size() >= count; });
    }
    std::vector<Result> Results() {
        std::lock_guard lock(m_mutex);
        return m_results;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_arrived;
    std::vector<Result> m_results;
};

StatusCode Verify(SessionHandle session, SubFactor finger, VerifyRecorder& recorder,
                  WINBIO_IDENTITY identity = SimulatedCurrentUserIdentity()) {
    return WinBioVerifyWithCallback(session, &identity, finger, &VerifyRecorder::Callback,
                                    &recorder);
}

}  // namespace

TEST(SimulatedVerify, PlaysTheScriptOneVerificationAtATime) {
    // Outlives the service, whose thread may still deliver to it.
    VerifyRecorder recorder;
    // The first result waits long enough for a second request to find it pending.
    ScopedSimulatedService service(
        {{"VARNE_SIM_ENROLLED", "3"},
         {"VARNE_SIM_SCRIPT", "poor@500,reject:9,nomatch,match,ok,notouch"}});
    const SessionHandle session = OpenTestSession();
    const struct {
        StatusCode status;
        bool match;
        RejectDetail rejectDetail;
    } expected[] = {
        {kBadCapture, false, kRejectPoorQuality},
        {kBadCapture, false, kRejectTooShort},
        {kNoMatch, false, 0},
        {kOk, true, 0},
        {kOk, true, 0},
        {kCaptureTimedOut, false, 0},
    };
    for (std::size_t index = 0; index < std::size(expected); ++index) {
        SCOPED_TRACE(index);
        ASSERT_EQ(Verify(session, 3, recorder), kOk);
        if (index == 0) {
            // One request at a time, as with captures.
            EXPECT_EQ(Verify(session, 3, recorder), kDataCollectionInProgress);
        }
        ASSERT_TRUE(recorder.WaitFor(index + 1));
        const auto result = recorder.Results()[index];
        EXPECT_EQ(result.status, expected[index].status);
        EXPECT_EQ(result.match, expected[index].match);
        EXPECT_EQ(result.rejectDetail, expected[index].rejectDetail);
        EXPECT_EQ(result.unit, 1u);
    }
    // A match stores nothing and opens no enrollment.
    WINBIO_IDENTITY identity{};
    std::uint8_t isNew = 0;
    EXPECT_EQ(WinBioEnrollCommit(session, &identity, &isNew), kInvalidOperation);
    EXPECT_EQ(ListEnrolled(session, 1), std::vector<SubFactor>{3});
}

TEST(SimulatedVerify, AFingerNotEnrolledFailsAtOnce) {
    VerifyRecorder recorder;  // outlives the service
    ScopedSimulatedService service({{"VARNE_SIM_ENROLLED", "3"}, {"VARNE_SIM_SCRIPT", "match"}});
    const SessionHandle session = OpenTestSession();
    EXPECT_EQ(Verify(session, 4, recorder), kDatabaseNoSuchRecord);
    EXPECT_EQ(Verify(session, 3, recorder, MakeUnixUserIdentity(getuid() + 1)),
              kDatabaseNoSuchRecord);
    EXPECT_EQ(Verify(session, 11, recorder), kInvalidArgument);
    EXPECT_EQ(Verify(session + 100, 3, recorder), kInvalidArgument);
    EXPECT_FALSE(recorder.WaitFor(1, kQuietPeriod));
    // None of them took the script's item.
    ASSERT_EQ(Verify(session, 3, recorder), kOk);
    ASSERT_TRUE(recorder.WaitFor(1));
    EXPECT_TRUE(recorder.Results()[0].match);
}

TEST(SimulatedVerify, AnswersOnTheUnitWhereTheFingerIsEnrolled) {
    VerifyRecorder recorder;  // outlives the service
    ScopedSimulatedService service({{"VARNE_SIM_UNITS", "1,2"}, {"VARNE_SIM_SCRIPT", "ok,match"}});
    const SessionHandle session = OpenTestSession();
    CaptureRecorder captures;
    ASSERT_EQ(WinBioEnrollBegin(session, 6, 2), kOk);
    // Not while the session's enrollment is open.
    EXPECT_EQ(Verify(session, 6, recorder), kEnrollmentInProgress);
    ASSERT_EQ(WinBioEnrollCaptureWithCallback(session, &CaptureRecorder::Callback, &captures), kOk);
    ASSERT_TRUE(captures.WaitFor(1));
    WINBIO_IDENTITY identity{};
    std::uint8_t isNew = 0;
    ASSERT_EQ(WinBioEnrollCommit(session, &identity, &isNew), kOk);

    ASSERT_EQ(Verify(session, 6, recorder), kOk);
    ASSERT_TRUE(recorder.WaitFor(1));
    EXPECT_EQ(recorder.Results()[0].unit, 2u);
}

TEST(SimulatedVerify, WithoutScriptItWaitsUntilCancelledOnce) {
    VerifyRecorder recorder;  // outlives the service
    ScopedSimulatedService service({{"VARNE_SIM_ENROLLED", "3"}, {"VARNE_SIM_SCRIPT", ""}});
    const SessionHandle session = OpenTestSession();
    ASSERT_EQ(Verify(session, 3, recorder), kOk);
    EXPECT_FALSE(recorder.WaitFor(1, kQuietPeriod));
    EXPECT_EQ(WinBioCancel(session), kOk);
    ASSERT_TRUE(recorder.WaitFor(1));
    EXPECT_EQ(recorder.Results()[0].status, kCanceled);
    EXPECT_FALSE(recorder.Results()[0].match);
    EXPECT_EQ(WinBioCancel(session), kOk);
    EXPECT_FALSE(recorder.WaitFor(2, kQuietPeriod));
    // The reader is free again: an enrollment may begin.
    EXPECT_EQ(WinBioEnrollBegin(session, 4, 1), kOk);
}

TEST(SimulatedVerify, ClosingTheSessionEndsAPendingVerification) {
    VerifyRecorder recorder;  // outlives the service
    ScopedSimulatedService service(
        {{"VARNE_SIM_ENROLLED", "3"}, {"VARNE_SIM_SCRIPT", "match@60000"}});
    const SessionHandle session = OpenTestSession();
    ASSERT_EQ(Verify(session, 3, recorder), kOk);
    EXPECT_EQ(WinBioCloseSession(session), kOk);
    ASSERT_TRUE(recorder.WaitFor(1));
    EXPECT_EQ(recorder.Results()[0].status, kCanceled);
}

TEST(SimulatedVerify, ForcedFailureStopsIt) {
    VerifyRecorder recorder;  // outlives the service
    ScopedSimulatedService service({{"VARNE_SIM_ENROLLED", "3"},
                                    {"VARNE_SIM_SCRIPT", "match"},
                                    {"VARNE_SIM_FAIL", "verify=0x80098036"}});
    EXPECT_EQ(Verify(OpenTestSession(), 3, recorder), kDeviceFailure);
    EXPECT_FALSE(recorder.WaitFor(1, kQuietPeriod));
}
