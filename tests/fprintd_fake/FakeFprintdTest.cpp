// The fprintd back end against a fake daemon that answers as the real one cannot be made to:
// bursts of results, a Release that never answers, odd finger lists, readers gone or by the
// hundred, refusals of the bus.
#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <thread>
#include <vector>

#include "CaptureRecorder.h"
#include "EnrolledSet.h"
#include "FakeFprintdControl.h"
#include "FprintdService.h"
#include "ServiceCalls.h"
#include "WinBio.h"

namespace {

using namespace std::chrono_literals;
using namespace ServiceCalls;

constexpr auto kResultPatience = 5s;
constexpr auto kReleasePatience = 5s;
// How long after its arrival a result that ends the enrollment may reach the capture.
constexpr auto kEndingResultBound = 100ms;
// Where the window would wait for its event timer before it asks for the next capture.
constexpr auto kWindowPace = 10ms;
constexpr auto kPoll = 10ms;
// The window's thread may not wait longer than this in any one call.
constexpr auto kLongestWait = 500ms;
// More than the bus lets one connection wait for (128 replies by default).
constexpr std::uint32_t kManyReaders = 300;
// A daemon this slow to read a reader's properties has all of them pending at once.
constexpr std::uint32_t kBusyDaemonMs = 60;
constexpr std::uint32_t kBurst = 10000;
// Long enough for the back end to read a burst of 10,000 before the end comes, even on a busy
// machine under the sanitizers; the end's delay is then the back end's alone.
constexpr std::uint32_t kSettleMs = 3000;

const QString kCompleted = QStringLiteral("enroll-completed");

std::chrono::steady_clock::time_point FromMonotonicNs(std::uint64_t nanoseconds) {
    // libstdc++'s steady_clock is CLOCK_MONOTONIC, the clock the fake stamps with.
    return std::chrono::steady_clock::time_point(std::chrono::nanoseconds(nanoseconds));
}

template <typename Condition>
bool WaitUntil(Condition condition, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(kPoll);
    }
    return true;
}

class FakeFprintdTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_fake.Reachable()) << "run through tests/fprintd_fake/fake_fixture.py";
        InstallBiometricBackend(std::make_shared<FprintdService>());
    }

    void TearDown() override { InstallBiometricBackend(nullptr); }

    std::optional<CaptureRecorder::Result> NextCapture(SessionHandle handle) {
        const StatusCode started =
            WinBioEnrollCaptureWithCallback(handle, &CaptureRecorder::Callback, &m_recorder);
        EXPECT_EQ(started, kOk);
        if (started != kOk) {
            return std::nullopt;
        }
        return m_recorder.Next(kResultPatience);
    }

    // Asks for captures at the window's pace until one is not "more data"; that one.
    std::optional<CaptureRecorder::Result> CaptureUntilTheEnd(SessionHandle handle,
                                                              std::chrono::milliseconds patience) {
        const auto deadline = std::chrono::steady_clock::now() + patience;
        while (std::chrono::steady_clock::now() < deadline) {
            const auto capture = NextCapture(handle);
            if (!capture || capture->status != kMoreData) {
                return capture;
            }
            std::this_thread::sleep_for(kWindowPace);
        }
        return std::nullopt;
    }

    bool ReaderReleased() {
        return WaitUntil([this] { return !m_fake.Claimed(); }, kReleasePatience);
    }

    FakeFprintdControl m_fake;
    CaptureRecorder m_recorder;
};

TEST_F(FakeFprintdTest, TheEndOfABurstReachesTheCaptureAtOnce) {
    ASSERT_TRUE(m_fake.SetEnrollBurst(kBurst, kSettleMs, kCompleted));
    const SessionHandle handle = OpenSession();
    ASSERT_EQ(WinBioEnrollBegin(handle, 2, kUnit), kOk);
    // Paced as the window asks: at 10 ms a result, the burst alone would take 100 s.
    const auto last = CaptureUntilTheEnd(handle, 10s);
    ASSERT_TRUE(last) << "the enrollment's end did not reach the capture within 10 s";
    EXPECT_EQ(last->status, kOk);
    const std::uint64_t emitted = m_fake.FinalEmittedAt();
    ASSERT_NE(emitted, 0u);
    const auto late = last->arrived - FromMonotonicNs(emitted);
    RecordProperty(
        "end_after_daemon_us",
        static_cast<int>(std::chrono::duration_cast<std::chrono::microseconds>(late).count()));
    EXPECT_LT(late, kEndingResultBound);
    WINBIO_IDENTITY identity{};
    std::uint8_t isNew = 1;
    EXPECT_EQ(WinBioEnrollCommit(handle, &identity, &isNew), kOk);
    EXPECT_TRUE(ReaderReleased());
}

TEST_F(FakeFprintdTest, AbortAfterTheDaemonCompletedReportsTheCompletion) {
    ASSERT_TRUE(m_fake.SetEnrollBurst(1000, 200, kCompleted));
    const SessionHandle handle = OpenSession();
    ASSERT_EQ(WinBioEnrollBegin(handle, 3, kUnit), kOk);
    const auto first = NextCapture(handle);
    ASSERT_TRUE(first);
    ASSERT_EQ(first->status, kMoreData);
    // The daemon stored the print and the back end let the reader go: the user presses Abort.
    ASSERT_TRUE(WaitUntil([this] { return m_fake.FinalEmittedAt() != 0; }, kResultPatience));
    ASSERT_TRUE(ReaderReleased());
    ASSERT_EQ(WinBioEnrollCaptureWithCallback(handle, &CaptureRecorder::Callback, &m_recorder),
              kOk);
    EXPECT_EQ(WinBioCancel(handle), kOk);
    const auto answered = m_recorder.Next(kResultPatience);
    ASSERT_TRUE(answered);
    EXPECT_EQ(answered->status, kOk) << "the stored print must not read as aborted";
    WINBIO_IDENTITY identity{};
    std::uint8_t isNew = 1;
    EXPECT_EQ(WinBioEnrollCommit(handle, &identity, &isNew), kOk);
}

TEST_F(FakeFprintdTest, AReleaseThatNeverAnswersNeitherBlocksNorKeepsTheReader) {
    ASSERT_TRUE(m_fake.SetEnrollBurst(4, 1, kCompleted));
    ASSERT_TRUE(m_fake.HoldRelease(true));
    const SessionHandle handle = OpenSession();
    ASSERT_EQ(WinBioEnrollBegin(handle, 4, kUnit), kOk);
    const auto last = CaptureUntilTheEnd(handle, 10s);
    ASSERT_TRUE(last);
    ASSERT_EQ(last->status, kOk);
    WINBIO_IDENTITY identity{};
    std::uint8_t isNew = 1;
    const auto committing = std::chrono::steady_clock::now();
    EXPECT_EQ(WinBioEnrollCommit(handle, &identity, &isNew), kOk);
    EXPECT_LT(std::chrono::steady_clock::now() - committing, kLongestWait);
    ASSERT_TRUE(WaitUntil([this] { return m_fake.HeldReleases() > 0; }, kResultPatience));
    // The claim ends with the connection that held it; the next enrollment claims anew.
    EXPECT_TRUE(ReaderReleased()) << "the reader stayed claimed";
    ASSERT_TRUE(m_fake.HoldRelease(false));
    ASSERT_EQ(WinBioEnrollBegin(handle, 5, kUnit), kOk);
    const auto next = NextCapture(handle);
    ASSERT_TRUE(next);
    EXPECT_EQ(next->status, kMoreData);
    EXPECT_EQ(WinBioEnrollDiscard(handle), kOk);
}

TEST_F(FakeFprintdTest, EachFingerIsEnrolledOnceWhateverTheDaemonLists) {
    const QStringList allTen = {
        QStringLiteral("right-thumb"),         QStringLiteral("right-index-finger"),
        QStringLiteral("right-middle-finger"), QStringLiteral("right-ring-finger"),
        QStringLiteral("right-little-finger"), QStringLiteral("left-thumb"),
        QStringLiteral("left-index-finger"),   QStringLiteral("left-middle-finger"),
        QStringLiteral("left-ring-finger"),    QStringLiteral("left-little-finger"),
    };
    const struct {
        const char* what;
        QStringList names;
        std::vector<SubFactor> fingers;
    } rows[] = {
        {"ten copies of one", QStringList(10, QStringLiteral("right-thumb")), {1}},
        {"all ten, an unknown name and a duplicate",
         allTen + QStringList{QStringLiteral("whole-hand"), QStringLiteral("left-thumb")},
         {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}},
    };
    const SessionHandle handle = OpenSession();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        ASSERT_TRUE(m_fake.SetEnrolled(row.names));
        std::vector<SubFactor> fingers;
        EXPECT_EQ(EnrolledFingers(handle, kUnit, &fingers), kOk);
        EXPECT_EQ(fingers, row.fingers);
    }
}

TEST_F(FakeFprintdTest, AReaderWhoseObjectHasGoneIsSensorUnavailable) {
    const SessionHandle handle = OpenSession();
    const QString reader = FakeFprintdControl::ReaderPath(0);
    for (const char* gone :
         {"org.freedesktop.DBus.Error.UnknownMethod", "org.freedesktop.DBus.Error.UnknownInterface",
          "org.freedesktop.DBus.Error.UnknownObject"}) {
        SCOPED_TRACE(gone);
        for (const char* method : {"Claim", "ListEnrolledFingers"}) {
            ASSERT_TRUE(
                m_fake.FailMethod(reader, QString::fromLatin1(method), QString::fromLatin1(gone)));
        }
        std::vector<SubFactor> fingers;
        EXPECT_EQ(EnrolledFingers(handle, kUnit, &fingers), kSensorUnavailable);
        ASSERT_EQ(WinBioEnrollBegin(handle, 2, kUnit), kOk);
        const auto capture = NextCapture(handle);
        ASSERT_TRUE(capture);
        EXPECT_EQ(capture->status, kSensorUnavailable);
        EXPECT_EQ(WinBioEnrollDiscard(handle), kOk);
        WINBIO_IDENTITY identity = CallerIdentity();
        EXPECT_EQ(WinBioDeleteTemplate(handle, kUnit, &identity, 2), kSensorUnavailable);
    }
}

TEST_F(FakeFprintdTest, HundredsOfReadersAreListedWithTheirNamesAndKinds) {
    ASSERT_TRUE(m_fake.SetReaders(kManyReaders));
    ASSERT_TRUE(m_fake.SetPropertyDelay(kBusyDaemonMs));
    ASSERT_TRUE(m_fake.SetScanType(QStringLiteral("swipe")));
    OpenSession();
    WINBIO_UNIT_SCHEMA* units = nullptr;
    std::size_t count = 0;
    ASSERT_EQ(WinBioEnumBiometricUnits(kFactorFingerprint, &units, &count), kOk);
    ASSERT_EQ(count, kManyReaders);
    std::size_t unnamed = 0;
    std::size_t withoutKind = 0;
    for (std::size_t index = 0; index < count; ++index) {
        EXPECT_EQ(units[index].UnitId, index + 1);
        const std::string digits = std::to_string(index);
        const std::u16string expected =
            u"Fake reader " + std::u16string(digits.begin(), digits.end());
        unnamed += std::u16string(units[index].Description) == expected ? 0 : 1;
        withoutKind += units[index].SensorSubType == kSensorSubtypeSwipe ? 0 : 1;
    }
    EXPECT_EQ(unnamed, 0u) << "readers listed without their own name";
    EXPECT_EQ(withoutKind, 0u) << "swipe readers listed as another kind";
    WinBioFree(units);
}

TEST_F(FakeFprintdTest, AReadersScanTypeIsItsSensorKind) {
    const struct {
        const char* scanType;
        std::uint32_t subType;
    } rows[] = {{"press", kSensorSubtypeTouch}, {"swipe", kSensorSubtypeSwipe}};
    OpenSession();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.scanType);
        ASSERT_TRUE(m_fake.SetScanType(QString::fromLatin1(row.scanType)));
        WINBIO_UNIT_SCHEMA* units = nullptr;
        std::size_t count = 0;
        ASSERT_EQ(WinBioEnumBiometricUnits(kFactorFingerprint, &units, &count), kOk);
        ASSERT_EQ(count, 1u);
        EXPECT_EQ(units[0].SensorSubType, row.subType);
        WinBioFree(units);
    }
}

TEST_F(FakeFprintdTest, AFailingDeviceListIsReportedAsItselfNotAsAMissingDaemon) {
    ASSERT_TRUE(m_fake.FailMethod(FakeFprintdControl::kManagerPath, QStringLiteral("GetDevices"),
                                  QStringLiteral("net.reactivated.Fprint.Error.Internal")));
    SessionHandle handle = 0;
    EXPECT_EQ(WinBioOpenSession(kFactorFingerprint, kPoolSystem, kSessionFlagsDefault, nullptr, 0,
                                kDatabaseDefault, &handle),
              kDeviceFailure);
    WINBIO_UNIT_SCHEMA* units = nullptr;
    std::size_t count = 0;
    EXPECT_EQ(WinBioEnumBiometricUnits(kFactorFingerprint, &units, &count), kDeviceFailure);
    EXPECT_EQ(count, 0u);
}

TEST_F(FakeFprintdTest, TheBusPolicyAndAnUnstoredPrintSayWhatHappened) {
    const SessionHandle handle = OpenSession();
    ASSERT_TRUE(m_fake.SetEnrollBurst(2, 1, QStringLiteral("enroll-failed")));
    ASSERT_EQ(WinBioEnrollBegin(handle, 6, kUnit), kOk);
    const auto unstored = CaptureUntilTheEnd(handle, 10s);
    ASSERT_TRUE(unstored);
    EXPECT_EQ(unstored->status, kDatabaseWriteError);
    EXPECT_EQ(WinBioEnrollDiscard(handle), kOk);
    EXPECT_TRUE(ReaderReleased());

    ASSERT_TRUE(m_fake.FailMethod(FakeFprintdControl::ReaderPath(0), QStringLiteral("Claim"),
                                  QStringLiteral("org.freedesktop.DBus.Error.AccessDenied")));
    ASSERT_EQ(WinBioEnrollBegin(handle, 6, kUnit), kOk);
    const auto refused = NextCapture(handle);
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->status, kBlockedByPolicy);
    EXPECT_EQ(WinBioEnrollDiscard(handle), kOk);
}

}  // namespace
