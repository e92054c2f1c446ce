// The fprintd back end against the real daemon and libfprint's virtual sensor, through WinBio*.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <deque>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "CaptureRecorder.h"
#include "EnrolledSet.h"
#include "FprintdMapping.h"
#include "FprintdSandbox.h"
#include "FprintdService.h"
#include "LogindMock.h"
#include "ServiceCalls.h"
#include "TemporaryDirectory.h"
#include "UnitListing.h"
#include "UnixUserIdentity.h"
#include "WinBio.h"

namespace {

using namespace std::chrono_literals;
using namespace ServiceCalls;

constexpr auto kResultPatience = 5s;
using FprintdSandbox::kVirtualStages;
// More scans than any virtual driver asks for before it ends an enrollment.
constexpr int kMostScans = 10;

struct Capture {
    StatusCode status = kOk;
    RejectDetail rejectDetail = 0;
    bool operator==(const Capture&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Capture& capture) {
    return out << "{0x" << std::hex << static_cast<std::uint32_t>(capture.status) << std::dec
               << ", " << capture.rejectDetail << "}";
}

// fprintd's stored prints, file by file, to tell a print kept from one written anew.
std::map<std::string, std::string> StoredPrints() {
    std::map<std::string, std::string> prints;
    const std::filesystem::path state =
        std::filesystem::path(std::getenv("VARNE_FIXTURE_DIR")) / "state";
    for (const auto& entry : std::filesystem::recursive_directory_iterator(state)) {
        if (entry.is_regular_file()) {
            prints[entry.path().string()] = ReadFile(entry.path());
        }
    }
    return prints;
}

class FprintdServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(FprintdSandbox::Available()) << "run through tests/fprintd/fixture.py";
        ASSERT_TRUE(FprintdSandbox::ResetPolkit());
        Install(FprintdTimeouts{});
    }

    void TearDown() override { InstallBiometricBackend(nullptr); }

    void Install(FprintdTimeouts timeouts) {
        InstallBiometricBackend(nullptr);
        InstallBiometricBackend(std::make_shared<FprintdService>(timeouts));
    }

    // Whether the listing finds exactly these fingers, or answers "no results" for none.
    static ::testing::AssertionResult EnrolledAre(SessionHandle handle,
                                                  const std::vector<SubFactor>& expected) {
        std::vector<SubFactor> fingers;
        const StatusCode status = EnrolledFingers(handle, kUnit, &fingers);
        const StatusCode expectedStatus = expected.empty() ? kDatabaseNoResults : kOk;
        if (status == expectedStatus && fingers == expected) {
            return ::testing::AssertionSuccess();
        }
        return ::testing::AssertionFailure()
               << "listed 0x" << std::hex << static_cast<std::uint32_t>(status) << std::dec << " "
               << ::testing::PrintToString(fingers);
    }

    StatusCode AskForCapture(SessionHandle handle) {
        return WinBioEnrollCaptureWithCallback(handle, &CaptureRecorder::Callback, &m_recorder);
    }

    static StatusCode Commit(SessionHandle handle) {
        WINBIO_IDENTITY identity{};
        std::uint8_t isNew = 1;
        return WinBioEnrollCommit(handle, &identity, &isNew);
    }

    // Deletes one of the caller's own fingers.
    static StatusCode DeleteFinger(SessionHandle handle, SubFactor finger) {
        WINBIO_IDENTITY identity = CallerIdentity();
        return WinBioDeleteTemplate(handle, kUnit, &identity, finger);
    }

    static void ExpectVirtualStageCount(SessionHandle handle) {
        std::uint32_t stages = 0;
        EXPECT_EQ(WinBioEnrollStageCount(handle, &stages), kOk);
        EXPECT_EQ(stages, static_cast<std::uint32_t>(kVirtualStages));
    }

    // Asks for one capture and waits for its result.
    std::optional<Capture> NextCapture(SessionHandle handle,
                                       std::chrono::milliseconds patience = kResultPatience) {
        const StatusCode started = AskForCapture(handle);
        EXPECT_EQ(started, kOk);
        if (started != kOk) {
            return std::nullopt;
        }
        return AwaitCapture(patience);
    }

    // The next result already asked for.
    std::optional<Capture> AwaitCapture(std::chrono::milliseconds patience) {
        const auto result = m_recorder.Next(patience);
        if (!result) {
            return std::nullopt;
        }
        return Capture{result->status, result->rejectDetail};
    }

    // Scans one print until fprintd stores it; its commit answers kOk.
    void EnrollFully(SessionHandle handle, SubFactor finger, const std::string& print) {
        // Touches sent while the last user still holds the reader would reach that one.
        ASSERT_TRUE(OtherClient().WaitUntilReaderFree());
        ASSERT_EQ(WinBioEnrollBegin(handle, finger, kUnit), kOk);
        for (int stage = 1; stage <= kVirtualStages; ++stage) {
            ASSERT_TRUE(FprintdSandbox::SendSensor("SCAN " + print));
            const auto capture = NextCapture(handle);
            ASSERT_TRUE(capture);
            ASSERT_EQ(capture->status, stage < kVirtualStages ? kMoreData : kOk);
        }
        ASSERT_EQ(Commit(handle), kOk);
    }

    // One stage scanned, and the next capture asked for and waiting for a touch.
    void BeginWithACaptureWaiting(SessionHandle handle, SubFactor finger) {
        ASSERT_EQ(WinBioEnrollBegin(handle, finger, kUnit), kOk);
        ASSERT_TRUE(FprintdSandbox::SendSensor("SCAN a"));
        const auto first = NextCapture(handle);
        ASSERT_TRUE(first);
        ASSERT_EQ(first->status, kMoreData);
        ASSERT_EQ(AskForCapture(handle), kOk);
    }

    // The polkit mock holds the enrollment's prompt, with its first capture asked for.
    void BeginHeldAtThePrompt(SessionHandle handle, SubFactor finger) {
        ASSERT_EQ(WinBioEnrollBegin(handle, finger, kUnit), kOk);
        ASSERT_EQ(AskForCapture(handle), kOk);
        ASSERT_TRUE(FprintdSandbox::WaitForHangingCall(2s));
    }

    // Scans one print until the enrollment ends, whatever number of stages the driver wants.
    void ScanUntilTheEnd(SessionHandle handle, const std::string& print,
                         std::optional<Capture>* last) {
        last->reset();
        for (int scan = 0; scan < kMostScans && (!*last || (*last)->status == kMoreData); ++scan) {
            ASSERT_TRUE(FprintdSandbox::SendSensor("SCAN " + print));
            *last = NextCapture(handle);
            ASSERT_TRUE(*last);
        }
    }

    static void ExpectReaderFree() {
        EXPECT_TRUE(OtherClient().WaitUntilReaderFree()) << "the reader was left claimed";
    }

    CaptureRecorder m_recorder;
};

TEST_F(FprintdServiceTest, EnrollmentHandsOutQueuedResultsInOrderAndStoresThePrint) {
    const SessionHandle handle = OpenSession();
    ASSERT_EQ(WinBioEnrollBegin(handle, 2, kUnit), kOk);
    // fprintd scans on its own: every result comes before its capture is asked for.
    const std::vector<std::pair<std::string, Capture>> rows = {
        {"SCAN a", {kMoreData, 0}},
        {"RETRY 0", {kBadCapture, kRejectPoorQuality}},
        {"RETRY 1", {kBadCapture, kRejectTooShort}},
        {"RETRY 2", {kBadCapture, kRejectTooSkewed}},
        {"RETRY 3", {kBadCapture, kRejectTooFast}},
        {"SCAN b", {kBadCapture, kRejectPoorQuality}},  // another finger than the first
        {"SCAN a", {kMoreData, 0}},
        {"SCAN a", {kMoreData, 0}},
        {"SCAN a", {kMoreData, 0}},
    };
    for (const auto& [command, expected] : rows) {
        ASSERT_TRUE(FprintdSandbox::SendSensor(command)) << command;
    }
    for (const auto& [command, expected] : rows) {
        const auto capture = NextCapture(handle);
        ASSERT_TRUE(capture) << command;
        EXPECT_EQ(*capture, expected) << command;
    }
    ASSERT_TRUE(FprintdSandbox::SendSensor("SCAN a"));
    const auto last = NextCapture(handle);
    ASSERT_TRUE(last);
    EXPECT_EQ(last->status, kOk);
    ExpectVirtualStageCount(handle);

    EXPECT_EQ(Commit(handle), kOk);
    ExpectReaderFree();
    EXPECT_TRUE(EnrolledAre(handle, {2}));
    QString error;
    EXPECT_EQ(OtherClient().ListEnrolledFingers(&error),
              QStringList{QStringLiteral("right-index-finger")});
}

// Start-up's answers are asked before the window asks; each serves only its own question, once,
// and never outlives the user's own change to the prints.
TEST_F(FprintdServiceTest, StartUpsEarlyAnswersServeOnlyTheirQuestionOnce) {
    const auto startEarly = [] {
        auto service = std::make_shared<FprintdService>();
        service->BeginStartup(kUnit);
        InstallBiometricBackend(nullptr);
        InstallBiometricBackend(service);
        return OpenSession();
    };
    {
        SCOPED_TRACE("another unit than the one asked for early");
        const SessionHandle handle = startEarly();
        std::vector<SubFactor> fingers;
        EXPECT_EQ(EnrolledFingers(handle, kUnit + 1, &fingers), kInvalidUnit);
    }
    {
        SCOPED_TRACE("an enrollment before the early listing was taken");
        const SessionHandle handle = startEarly();
        EnrollFully(handle, 2, "a");
        ExpectReaderFree();
        EXPECT_TRUE(EnrolledAre(handle, {2}));
    }
    {
        SCOPED_TRACE("a second listing after the early one");
        const SessionHandle handle = startEarly();
        const UnitListing listing = ListBiometricUnits();
        EXPECT_EQ(listing.status, kOk);
        EXPECT_EQ(listing.UnitIds(), std::vector<UnitId>{kUnit});
        EXPECT_TRUE(EnrolledAre(handle, {2}));
        ASSERT_TRUE(OtherClient().Enroll(QStringLiteral("right-middle-finger"), "b"));
        std::vector<SubFactor> fingers;
        EXPECT_EQ(EnrolledFingers(handle, kUnit, &fingers), kOk);
        EXPECT_EQ(std::count(fingers.begin(), fingers.end(), SubFactor{3}), 1);
    }
}

TEST_F(FprintdServiceTest, ErrorsOfTheSensorEndTheCaptureAndReleaseTheReader) {
    const std::vector<std::pair<std::string, StatusCode>> rows = {
        {"ERROR 5", kSensorUnavailable},   // enroll-disconnected
        {"ERROR 8", kDatabaseFull},        // enroll-data-full
        {"ERROR 0", kUnspecifiedFailure},  // enroll-unknown-error
    };
    const SessionHandle handle = OpenSession();
    for (const auto& [command, expected] : rows) {
        ASSERT_TRUE(OtherClient().WaitUntilReaderFree());
        ASSERT_EQ(WinBioEnrollBegin(handle, 6, kUnit), kOk) << command;
        ASSERT_TRUE(FprintdSandbox::SendSensor(command)) << command;
        const auto capture = NextCapture(handle);
        ASSERT_TRUE(capture) << command;
        EXPECT_EQ(capture->status, expected) << command;
        // The enrollment is over: no further capture waits for nothing.
        EXPECT_EQ(AskForCapture(handle), kInvalidOperation);
        EXPECT_EQ(WinBioEnrollDiscard(handle), kOk) << command;
        ExpectReaderFree();
    }
    EXPECT_TRUE(EnrolledAre(handle, {}));
}

TEST_F(FprintdServiceTest, DuplicatePrintIsCapturedButItsCommitFails) {
    ASSERT_TRUE(FprintdSandbox::StopFprintd(false));
    ASSERT_TRUE(FprintdSandbox::StartFprintd(FprintdVariant::kStorage));
    const SessionHandle handle = OpenSession();
    ASSERT_EQ(WinBioEnrollBegin(handle, 1, kUnit), kOk);
    std::optional<Capture> capture;
    ASSERT_NO_FATAL_FAILURE(ScanUntilTheEnd(handle, "same", &capture));
    ASSERT_EQ(capture->status, kOk);
    ASSERT_EQ(Commit(handle), kOk);

    ASSERT_TRUE(OtherClient().WaitUntilReaderFree());
    ASSERT_EQ(WinBioEnrollBegin(handle, 2, kUnit), kOk);
    ASSERT_NO_FATAL_FAILURE(ScanUntilTheEnd(handle, "same", &capture));
    EXPECT_EQ(capture->status, kOk);
    EXPECT_EQ(Commit(handle), kDuplicateEnrollment);
    ExpectReaderFree();
    EXPECT_TRUE(EnrolledAre(handle, {1}));
}

TEST_F(FprintdServiceTest, AbortEndsThePendingCaptureStoresNothingAndReleases) {
    const SessionHandle handle = OpenSession();
    ASSERT_NO_FATAL_FAILURE(BeginWithACaptureWaiting(handle, 3));
    EXPECT_EQ(WinBioCancel(handle), kOk);
    const auto capture = AwaitCapture(1s);
    ASSERT_TRUE(capture);
    EXPECT_EQ(capture->status, kCanceled);
    EXPECT_EQ(WinBioEnrollDiscard(handle), kOk);
    ExpectReaderFree();
    EXPECT_TRUE(EnrolledAre(handle, {}));
}

TEST_F(FprintdServiceTest, ShuttingDownMidEnrollmentEndsTheCaptureAndReleases) {
    const SessionHandle handle = OpenSession();
    ASSERT_NO_FATAL_FAILURE(BeginWithACaptureWaiting(handle, 3));
    // As at the program's exit, with nobody cancelling or discarding first.
    InstallBiometricBackend(nullptr);
    const auto capture = AwaitCapture(0ms);
    ASSERT_TRUE(capture) << "the pending capture got no answer before the back end went";
    EXPECT_EQ(capture->status, kCanceled);
    EXPECT_FALSE(AwaitCapture(100ms)) << "a capture answered twice";
    ExpectReaderFree();
}

TEST_F(FprintdServiceTest, DeletionRemovesOneFingerAndReleases) {
    const SessionHandle handle = OpenSession();
    EnrollFully(handle, 3, "a");
    EnrollFully(handle, 7, "b");
    EXPECT_EQ(DeleteFinger(handle, 3), kOk);
    ExpectReaderFree();
    EXPECT_TRUE(EnrolledAre(handle, {7}));
    EXPECT_EQ(DeleteFinger(handle, 3), kDatabaseNoSuchRecord);
    ExpectReaderFree();
}

TEST_F(FprintdServiceTest, IdentitiesOtherThanTheCallersAreRefused) {
    const SessionHandle handle = OpenSession();
    EnrollFully(handle, 5, "a");
    WINBIO_IDENTITY someoneElse = MakeUnixUserIdentity(static_cast<std::uint32_t>(getuid()) + 1);
    EXPECT_EQ(WinBioDeleteTemplate(handle, kUnit, &someoneElse, 5), kAccessDenied);
    WINBIO_IDENTITY malformed = CallerIdentity();
    malformed.Data[0] = 2;
    SubFactor* array = nullptr;
    std::uint64_t count = 0;
    EXPECT_EQ(WinBioEnumEnrollments(handle, kUnit, &malformed, &array, &count), kInvalidIdentity);
    EXPECT_TRUE(EnrolledAre(handle, {5}));
}

TEST_F(FprintdServiceTest, PolkitRefusingMeansAccessDeniedAndNothingChanges) {
    const SessionHandle handle = OpenSession();
    EnrollFully(handle, 4, "a");
    ExpectReaderFree();
    ASSERT_TRUE(FprintdSandbox::ResetPolkit());
    // A dismissed prompt: claiming (verify) is allowed, enrolling and deleting are not.
    ASSERT_TRUE(FprintdSandbox::SetAllowed({FprintdSandbox::kVerifyAction}));
    ASSERT_EQ(WinBioEnrollBegin(handle, 2, kUnit), kOk);
    const auto capture = NextCapture(handle);
    ASSERT_TRUE(capture);
    EXPECT_EQ(capture->status, kAccessDenied);
    // Refused before the claim: fprintd was never asked (its Claim checks verify).
    for (const auto& check : FprintdSandbox::PolkitChecks()) {
        EXPECT_NE(check.action, FprintdSandbox::kVerifyAction);
    }
    EXPECT_EQ(WinBioEnrollDiscard(handle), kOk);
    ExpectReaderFree();
    EXPECT_EQ(DeleteFinger(handle, 4), kAccessDenied);
    ExpectReaderFree();
    EXPECT_TRUE(EnrolledAre(handle, {4}));
}

// Every call that may prompt is held in turn for several plain reply timeouts: polkit's check
// of our own, fprintd's Claim and ListEnrolledFingers (verify), and its EnrollStart (enroll).
TEST_F(FprintdServiceTest, CallsThatMayPromptOutliveThePlainReplyTimeout) {
    constexpr auto kReplyTimeout = 200ms;
    constexpr auto kHeld = kReplyTimeout * 3;
    Install(FprintdTimeouts{.reply = kReplyTimeout});
    const QStringList enroll{FprintdSandbox::kEnrollAction};
    const QStringList verify{FprintdSandbox::kVerifyAction};
    ASSERT_TRUE(FprintdSandbox::HangActions(enroll));
    const SessionHandle handle = OpenSession();
    ASSERT_NO_FATAL_FAILURE(BeginHeldAtThePrompt(handle, 8));
    // Held in our own check: the prompt holds no reader, so others can use it meanwhile.
    EXPECT_EQ(OtherClient().ClaimAndRelease(), QString());
    EXPECT_FALSE(AwaitCapture(kHeld));
    // Granted; fprintd's Claim and listing now wait on verify.
    ASSERT_TRUE(FprintdSandbox::ReleaseHangingCalls(verify));
    for (int held = 0; held < 2; ++held) {
        ASSERT_TRUE(FprintdSandbox::WaitForHangingCall(2s)) << held;
        EXPECT_FALSE(AwaitCapture(kHeld)) << held;
        ASSERT_TRUE(FprintdSandbox::ReleaseHangingCalls(held == 0 ? verify : enroll));
    }
    // fprintd's own check at EnrollStart.
    ASSERT_TRUE(FprintdSandbox::WaitForHangingCall(2s));
    EXPECT_FALSE(AwaitCapture(kHeld));
    ASSERT_TRUE(FprintdSandbox::ReleaseHangingCalls());
    for (int stage = 1; stage <= kVirtualStages; ++stage) {
        ASSERT_TRUE(FprintdSandbox::SendSensor("SCAN a"));
        const auto capture = stage == 1 ? AwaitCapture(kResultPatience) : NextCapture(handle);
        ASSERT_TRUE(capture);
        EXPECT_EQ(capture->status, stage < kVirtualStages ? kMoreData : kOk);
    }
    EXPECT_EQ(Commit(handle), kOk);
    ExpectReaderFree();
}

TEST_F(FprintdServiceTest, AbortDuringAHeldPromptReleasesAtOnce) {
    ASSERT_TRUE(FprintdSandbox::HangActions({FprintdSandbox::kEnrollAction}));
    const SessionHandle handle = OpenSession();
    ASSERT_NO_FATAL_FAILURE(BeginHeldAtThePrompt(handle, 9));
    EXPECT_EQ(WinBioCancel(handle), kOk);
    // Without anybody answering the prompt: the cancel closed it.
    const auto capture = AwaitCapture(kResultPatience);
    ASSERT_TRUE(capture);
    EXPECT_EQ(capture->status, kCanceled);
    EXPECT_FALSE(FprintdSandbox::HaveHangingCalls()) << "the prompt was left open";
    EXPECT_EQ(WinBioEnrollDiscard(handle), kOk);
    const auto checks = FprintdSandbox::PolkitChecks();
    ASSERT_EQ(checks.size(), 1u) << "fprintd was asked to claim while the prompt was open";
    EXPECT_EQ(checks[0].subjectKind, QStringLiteral("system-bus-name"));
    EXPECT_EQ(checks[0].action, FprintdSandbox::kEnrollAction);
    EXPECT_EQ(checks[0].flags, 1u);  // the user may be asked
    EXPECT_FALSE(checks[0].cancellationId.isEmpty());
    ExpectReaderFree();
    // The prompt answered late changes nothing.
    ASSERT_TRUE(FprintdSandbox::ReleaseHangingCalls());
    EXPECT_TRUE(EnrolledAre(handle, {}));
    ExpectReaderFree();
}

TEST_F(FprintdServiceTest, DeletionWaitsForAHeldPromptWhileTheCallersTimersRun) {
    const SessionHandle handle = OpenSession();
    EnrollFully(handle, 10, "a");
    ASSERT_TRUE(FprintdSandbox::HangActions({FprintdSandbox::kEnrollAction}));
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&ticks] { ++ticks; });
    ticker.start(20);
    constexpr int kPromptMs = 2500;
    bool answered = false;
    QTimer::singleShot(kPromptMs,
                       [&answered] { answered = FprintdSandbox::ReleaseHangingCalls(); });
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(DeleteFinger(handle, 10), kOk);
    EXPECT_TRUE(answered) << "the deletion returned before the prompt was answered";
    // Half the ticks are plenty to tell a running loop from a blocked thread.
    EXPECT_GT(ticks, clock.elapsed() / 20 / 2);
    ExpectReaderFree();
    EXPECT_TRUE(EnrolledAre(handle, {}));
}

TEST_F(FprintdServiceTest, ReaderHeldByAnotherProgramIsCaptureAborted) {
    OtherClient other;
    ASSERT_EQ(other.Claim(), QString());
    const SessionHandle handle = OpenSession();
    ASSERT_EQ(WinBioEnrollBegin(handle, 2, kUnit), kOk);
    const auto capture = NextCapture(handle);
    ASSERT_TRUE(capture);
    EXPECT_EQ(capture->status, kCaptureAborted);
    EXPECT_EQ(WinBioEnrollDiscard(handle), kOk);
    EXPECT_EQ(DeleteFinger(handle, 2), kCaptureAborted);
    EXPECT_EQ(other.Release(), QString());
}

TEST_F(FprintdServiceTest, DaemonKilledMidEnrollmentEndsTheCaptureAndNextEnrollmentWorks) {
    const SessionHandle handle = OpenSession();
    ASSERT_NO_FATAL_FAILURE(BeginWithACaptureWaiting(handle, 2));
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(FprintdSandbox::KillFprintdNow());
    // Nothing else happens: the daemon's end alone answers the capture.
    const auto capture = AwaitCapture(kResultPatience);
    ASSERT_TRUE(capture);
    EXPECT_EQ(capture->status, kSensorUnavailable);
    RecordProperty("result_after_kill_ms", static_cast<int>(clock.elapsed()));
    EXPECT_EQ(WinBioEnrollDiscard(handle), kOk);

    ASSERT_TRUE(FprintdSandbox::StopFprintd(false));  // waits until its name is gone
    ASSERT_TRUE(FprintdSandbox::StartFprintd(FprintdVariant::kPlain));
    EnrollFully(handle, 2, "a");
    EXPECT_TRUE(EnrolledAre(handle, {2}));
}

TEST_F(FprintdServiceTest, NoReaderFailsTheUnitListing) {
    ASSERT_TRUE(FprintdSandbox::StopFprintd(false));
    ASSERT_TRUE(FprintdSandbox::StartFprintd(FprintdVariant::kNoReader));
    EXPECT_NE(OpenSession(), 0u);
    WINBIO_UNIT_SCHEMA* units = nullptr;
    std::size_t count = 0;
    EXPECT_EQ(WinBioEnumBiometricUnits(kFactorFingerprint, &units, &count), kSensorUnavailable);
    EXPECT_EQ(count, 0u);
}

TEST_F(FprintdServiceTest, NoDaemonFailsTheSession) {
    ASSERT_TRUE(FprintdSandbox::StopFprintd(false));
    SessionHandle handle = 0;
    EXPECT_EQ(WinBioOpenSession(kFactorFingerprint, kPoolSystem, kSessionFlagsDefault, nullptr, 0,
                                kDatabaseDefault, &handle),
              kSensorUnavailable);
    EXPECT_EQ(handle, 0u);
}

TEST_F(FprintdServiceTest, UnitsAreTheDaemonsReadersWithTheirNames) {
    const SessionHandle handle = OpenSession();
    WINBIO_UNIT_SCHEMA* units = nullptr;
    std::size_t count = 0;
    ASSERT_EQ(WinBioEnumBiometricUnits(kFactorFingerprint, &units, &count), kOk);
    ASSERT_EQ(count, 1u);
    EXPECT_EQ(units[0].UnitId, kUnit);
    EXPECT_NE(units[0].Description[0], u'\0');
    WinBioFree(units);
    UnitId located = 0;
    EXPECT_EQ(WinBioLocateSensor(handle, &located), kOk);
    EXPECT_EQ(located, kUnit);
}

TEST_F(FprintdServiceTest, CaptureWithoutAnyTouchTimesOutAndReleases) {
    Install(FprintdTimeouts{.capture = 300ms});
    const SessionHandle handle = OpenSession();
    ASSERT_EQ(WinBioEnrollBegin(handle, 2, kUnit), kOk);
    const auto capture = NextCapture(handle, 3s);
    ASSERT_TRUE(capture);
    EXPECT_EQ(capture->status, kCaptureTimedOut);
    EXPECT_EQ(WinBioEnrollDiscard(handle), kOk);
    ExpectReaderFree();
}

// Many short runs: each ends with the reader free, and nothing piles up on the way.
TEST_F(FprintdServiceTest, HundredEnrollDeleteAbortCyclesLeaveTheReaderFree) {
    constexpr int kCycles = 100;
    const SessionHandle handle = OpenSession();
    for (int cycle = 0; cycle < kCycles; ++cycle) {
        SCOPED_TRACE(cycle);
        const auto finger = static_cast<SubFactor>(kFirstFinger + cycle % kLastFinger);
        EnrollFully(handle, finger, "p" + std::to_string(cycle));
        ASSERT_EQ(DeleteFinger(handle, finger), kOk);
        ASSERT_EQ(WinBioEnrollBegin(handle, finger, kUnit), kOk);
        ASSERT_EQ(AskForCapture(handle), kOk);
        ASSERT_EQ(WinBioCancel(handle), kOk);
        const auto capture = AwaitCapture(kResultPatience);
        ASSERT_TRUE(capture);
        ASSERT_EQ(capture->status, kCanceled);
        ASSERT_EQ(WinBioEnrollDiscard(handle), kOk);
        ASSERT_TRUE(OtherClient().WaitUntilReaderFree());
    }
    EXPECT_TRUE(EnrolledAre(handle, {}));
}

// The window listed the fingers before another program enrolled one: beginning on it must not
// let fprintd's EnrollStart delete that print, whether the user then aborts or touches on.
TEST_F(FprintdServiceTest, FingerEnrolledMeanwhileByAnotherProgramIsNeverOverwritten) {
    for (const bool touchOn : {false, true}) {
        SCOPED_TRACE(touchOn ? "touching on" : "aborting");
        const SessionHandle handle = OpenSession();
        std::vector<SubFactor> fingers;
        const auto finger = static_cast<SubFactor>(touchOn ? 4 : 5);
        const QString name =
            touchOn ? QStringLiteral("right-ring-finger") : QStringLiteral("right-little-finger");
        EnrolledFingers(handle, kUnit, &fingers);
        ASSERT_EQ(std::count(fingers.begin(), fingers.end(), finger), 0);
        ASSERT_TRUE(OtherClient().Enroll(name, "theirs"));
        const auto stored = StoredPrints();

        ASSERT_EQ(WinBioEnrollBegin(handle, finger, kUnit), kOk);
        const auto capture = NextCapture(handle);
        ASSERT_TRUE(capture);
        EXPECT_EQ(capture->status, kDuplicateTemplate);
        if (touchOn) {
            // The attempt is over: no capture waits for the touches.
            EXPECT_EQ(AskForCapture(handle), kInvalidOperation);
        } else {
            EXPECT_EQ(WinBioCancel(handle), kOk);
        }
        EXPECT_EQ(WinBioEnrollDiscard(handle), kOk);
        ExpectReaderFree();
        EXPECT_EQ(StoredPrints(), stored);
        QString error;
        EXPECT_TRUE(OtherClient().ListEnrolledFingers(&error).contains(name))
            << error.toStdString();
        EXPECT_EQ(WinBioCloseSession(handle), kOk);
    }
}

// fprintd stored the print before the user's Abort took effect: the user is told so, and the
// commit reports it, whether the completion was queued or still on its way.
TEST_F(FprintdServiceTest, AbortAfterFprintdCompletedHandsOutTheCompletion) {
    constexpr int kRounds = 6;
    const SessionHandle handle = OpenSession();
    for (int round = 0; round < kRounds; ++round) {
        SCOPED_TRACE(round);
        const bool queued = round % 2 == 0;
        ASSERT_TRUE(OtherClient().WaitUntilReaderFree());
        ASSERT_EQ(WinBioEnrollBegin(handle, 2, kUnit), kOk);
        for (int stage = 1; stage < kVirtualStages; ++stage) {
            ASSERT_TRUE(FprintdSandbox::SendSensor("SCAN a"));
            ASSERT_EQ(NextCapture(handle)->status, kMoreData);
        }
        std::optional<Capture> capture;
        if (queued) {
            ASSERT_TRUE(FprintdSandbox::SendSensor("SCAN a"));
            std::this_thread::sleep_for(100ms);  // the completion arrives, nobody asks for it
            ASSERT_EQ(WinBioCancel(handle), kOk);
            capture = NextCapture(handle);
        } else {
            ASSERT_EQ(AskForCapture(handle), kOk);
            ASSERT_TRUE(FprintdSandbox::SendSensor("SCAN a"));
            ASSERT_EQ(WinBioCancel(handle), kOk);  // races the completion on its way
            capture = AwaitCapture(kResultPatience);
        }
        ASSERT_TRUE(capture);
        std::vector<SubFactor> fingers;
        EnrolledFingers(handle, kUnit, &fingers);
        const bool stored = std::count(fingers.begin(), fingers.end(), 2) == 1;
        if (queued) {
            EXPECT_TRUE(stored);
        }
        // The screen and the store agree.
        EXPECT_EQ(capture->status, stored ? kOk : kCanceled);
        if (stored) {
            EXPECT_EQ(Commit(handle), kOk);
        }
        EXPECT_EQ(WinBioEnrollDiscard(handle), stored ? kInvalidOperation : kOk);
        ExpectReaderFree();
        EnrolledFingers(handle, kUnit, &fingers);
        EXPECT_EQ(std::count(fingers.begin(), fingers.end(), 2), stored ? 1 : 0) << "discarded";
        if (stored) {
            ASSERT_EQ(DeleteFinger(handle, 2), kOk);
        }
    }
}

// Results that arrive faster than captures are asked for do not hold back the end.
TEST_F(FprintdServiceTest, AnEndingResultReachesTheNextCaptureAtOnce) {
    const SessionHandle handle = OpenSession();
    ASSERT_EQ(WinBioEnrollBegin(handle, 7, kUnit), kOk);
    for (int stage = 0; stage < kVirtualStages; ++stage) {
        ASSERT_TRUE(FprintdSandbox::SendSensor(stage == 2 ? "RETRY 0" : "SCAN a"));
    }
    ASSERT_TRUE(FprintdSandbox::SendSensor("SCAN a"));
    std::vector<SubFactor> fingers;
    const auto deadline = std::chrono::steady_clock::now() + kResultPatience;
    while ((EnrolledFingers(handle, kUnit, &fingers), fingers.empty()) &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(10ms);
    }
    ASSERT_EQ(fingers, std::vector<SubFactor>{7});
    const auto capture = NextCapture(handle);
    ASSERT_TRUE(capture);
    EXPECT_EQ(capture->status, kOk);
    ExpectVirtualStageCount(handle);
    EXPECT_EQ(Commit(handle), kOk);
    ExpectReaderFree();
}

// A deletion held by a prompt: Cancel returns it at once, and the back end then frees the
// reader by itself; the print stays.
TEST_F(FprintdServiceTest, CancelDuringAHeldDeletionReturnsAtOnceAndFreesTheReader) {
    const SessionHandle handle = OpenSession();
    EnrollFully(handle, 6, "a");
    ExpectReaderFree();
    for (const bool heldByFprintd : {false, true}) {
        SCOPED_TRACE(heldByFprintd ? "fprintd's own check" : "our check");
        ASSERT_TRUE(FprintdSandbox::ResetPolkit());
        ASSERT_TRUE(FprintdSandbox::HangActions({FprintdSandbox::kEnrollAction}));
        bool wasHeld = false;
        QTimer::singleShot(0, [&] {
            wasHeld = FprintdSandbox::WaitForHangingCall(2s);
            if (heldByFprintd) {
                // Ours granted; fprintd's check at DeleteEnrolledFinger is held next.
                wasHeld = wasHeld &&
                          FprintdSandbox::ReleaseHangingCalls({FprintdSandbox::kEnrollAction}) &&
                          FprintdSandbox::WaitForHangingCall(2s);
            }
            WinBioCancel(handle);
        });
        EXPECT_EQ(DeleteFinger(handle, 6), kCanceled);
        EXPECT_TRUE(wasHeld);
        ExpectReaderFree();
        ASSERT_TRUE(FprintdSandbox::ResetPolkit());
        EXPECT_TRUE(EnrolledAre(handle, {6}));
    }
}

TEST_F(FprintdServiceTest, DaemonKilledMidDeletionFailsItAndTheNextDeletionWorks) {
    const SessionHandle handle = OpenSession();
    EnrollFully(handle, 9, "a");
    ExpectReaderFree();
    ASSERT_TRUE(FprintdSandbox::HangActions({FprintdSandbox::kEnrollAction}));
    bool killed = false;
    QTimer::singleShot(0, [&] {
        // Held in fprintd's own check, with the reader claimed.
        killed = FprintdSandbox::WaitForHangingCall(2s) &&
                 FprintdSandbox::ReleaseHangingCalls({FprintdSandbox::kEnrollAction}) &&
                 FprintdSandbox::WaitForHangingCall(2s) && FprintdSandbox::KillFprintdNow();
    });
    EXPECT_EQ(DeleteFinger(handle, 9), kSensorUnavailable);
    EXPECT_TRUE(killed);
    ASSERT_TRUE(FprintdSandbox::ResetPolkit());
    ASSERT_TRUE(FprintdSandbox::StopFprintd(false));
    ASSERT_TRUE(FprintdSandbox::StartFprintd(FprintdVariant::kPlain));
    EXPECT_EQ(DeleteFinger(handle, 9), kOk);
    ExpectReaderFree();
}

// fprintd stops answering mid-enrollment: cancel and discard answer from what the back end
// knows, the unanswered stop and release give up after their wait by closing the connection
// (which frees the reader for fprintd), and the next enrollment opens a new one.
TEST_F(FprintdServiceTest, AWedgedFprintdHoldsNoCallAndNoClaim) {
    constexpr auto kReleaseWait = 1500ms;
    Install(FprintdTimeouts{.releaseWait = kReleaseWait});
    const pid_t fprintd = FprintdSandbox::FprintdPid();
    ASSERT_GT(fprintd, 0);
    const SessionHandle handle = OpenSession();
    ASSERT_NO_FATAL_FAILURE(BeginWithACaptureWaiting(handle, 2));
    ASSERT_EQ(kill(fprintd, SIGSTOP), 0);
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(WinBioCancel(handle), kOk);
    EXPECT_EQ(WinBioEnrollDiscard(handle), kOk);
    const qint64 answeredMs = clock.elapsed();
    RecordProperty("cancel_and_discard_ms", static_cast<int>(answeredMs));
    // Well inside the stop's wait: nothing waited for fprintd.
    EXPECT_LT(answeredMs, kReleaseWait.count());
    const auto capture = AwaitCapture(kResultPatience);
    ASSERT_TRUE(capture);
    EXPECT_EQ(capture->status, kCanceled);
    // The stop and the release went unanswered: both waits end, and the connection with them.
    std::this_thread::sleep_for(kReleaseWait * 2 + 500ms);
    ASSERT_EQ(kill(fprintd, SIGCONT), 0);
    // Now and then fprintd 1.94 ends by itself on waking here (its name goes, nothing in its
    // log); its claims go with it, and this back end must cope with a new one.
    std::this_thread::sleep_for(200ms);
    if (!FprintdSandbox::FprintdAlive()) {
        ASSERT_TRUE(FprintdSandbox::StopFprintd(false));
        ASSERT_TRUE(FprintdSandbox::StartFprintd(FprintdVariant::kPlain));
    }
    ExpectReaderFree();
    EnrollFully(handle, 2, "a");
    ExpectReaderFree();
}

// fprintd restarts while the enrollment waits for its password prompt: the enrollment belongs
// to the instance it found, so it ends (closing its prompt) instead of claiming the new one.
TEST_F(FprintdServiceTest, FprintdRestartedDuringThePromptEndsTheEnrollment) {
    ASSERT_TRUE(FprintdSandbox::HangActions({FprintdSandbox::kEnrollAction}));
    const SessionHandle handle = OpenSession();
    ASSERT_NO_FATAL_FAILURE(BeginHeldAtThePrompt(handle, 3));
    ASSERT_TRUE(FprintdSandbox::StopFprintd(false));
    const auto capture = AwaitCapture(kResultPatience);
    ASSERT_TRUE(capture);
    EXPECT_EQ(capture->status, kSensorUnavailable);
    EXPECT_FALSE(FprintdSandbox::HaveHangingCalls()) << "the prompt was left open";
    EXPECT_EQ(WinBioEnrollDiscard(handle), kOk);
    ASSERT_TRUE(FprintdSandbox::StartFprintd(FprintdVariant::kPlain));
    ExpectReaderFree();
    ASSERT_TRUE(FprintdSandbox::ResetPolkit());
    EnrollFully(handle, 3, "a");
    EXPECT_TRUE(EnrolledAre(handle, {3}));
}

// A stricter policy may ask for a password before listing the fingers: the listing waits for
// it, far beyond the plain reply timeout, instead of failing the window's start.
TEST_F(FprintdServiceTest, ListingTheFingersWaitsForAPrompt) {
    constexpr auto kReplyTimeout = 200ms;
    Install(FprintdTimeouts{.reply = kReplyTimeout});
    const SessionHandle handle = OpenSession();
    ASSERT_TRUE(FprintdSandbox::HangActions({FprintdSandbox::kVerifyAction}));
    bool wasHeld = false;
    // Its own thread, since the listing holds this one until it is answered.
    std::thread prompt([&wasHeld, kReplyTimeout] {
        wasHeld = FprintdSandbox::WaitForHangingCall(2s);
        std::this_thread::sleep_for(kReplyTimeout * 3);
        FprintdSandbox::ReleaseHangingCalls();
    });
    EXPECT_TRUE(EnrolledAre(handle, {}));
    prompt.join();
    EXPECT_TRUE(wasHeld);
}

// fprintd suspends its readers when logind announces a sleep, and a Release sent to a suspended
// reader fails and leaves it open for good; so the reader stays claimed until the resume.
TEST_F(FprintdServiceTest, ASleepMidEnrollmentReleasesTheReaderAfterTheResume) {
    LogindMock logind;
    ASSERT_TRUE(logind.Start());
    const SessionHandle handle = OpenSession();
    ASSERT_NO_FATAL_FAILURE(BeginWithACaptureWaiting(handle, 2));
    ASSERT_TRUE(logind.PrepareForSleep(true));
    ASSERT_EQ(WinBioCancel(handle), kOk);  // as the window does on the sleep
    const auto ended = AwaitCapture(kResultPatience);
    ASSERT_TRUE(ended);
    EXPECT_NE(ended->status, kMoreData);
    EXPECT_TRUE(FprintdSandbox::HeldThroughTheSleepAndFreedAfterTheResume(logind));
    EXPECT_TRUE(EnrolledAre(handle, {}));
}

}  // namespace
