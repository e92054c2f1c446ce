// Which reader and which daemon an operation reaches: units stay with their reader when others
// come and go, and an operation stays with the fprintd it started with.
#include <gtest/gtest.h>

#include <QTimer>
#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "CaptureRecorder.h"
#include "FakeFprintdControl.h"
#include "FprintdSandbox.h"
#include "FprintdService.h"
#include "ServiceCalls.h"
#include "WinBio.h"

namespace {

using namespace std::chrono_literals;

constexpr UnitId kUnitA = 1;
constexpr UnitId kUnitB = 2;
// Stored, so that a deletion that reaches a reader succeeds there.
constexpr SubFactor kFinger = 2;
const QString kFingerName = QStringLiteral("right-index-finger");
// Not stored, so that an enrollment that reaches a reader starts there.
constexpr SubFactor kBareFinger = 3;
constexpr auto kPatience = 5s;
// A claim that comes after its operation ended is given back at once; this allows for a busy
// machine and stays below the release's own wait (3 s) and every reply timeout.
constexpr std::chrono::milliseconds kPromptRelease = 2s;
constexpr auto kPoll = 10ms;

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

// Runs `step` from the caller's event loop every poll until it returns true: for what must
// happen while a deletion waits inside that loop.
class WhileWaiting {
public:
    explicit WhileWaiting(std::function<bool()> step) : m_step(std::move(step)) {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            if (m_step()) {
                m_timer.stop();
                done = true;
            }
        });
        m_timer.start(kPoll);
    }
    bool done = false;

private:
    std::function<bool()> m_step;
    QTimer m_timer;
};

std::vector<QString> PathsOf(const std::vector<FakeFprintdControl::SeenCall>& calls) {
    std::vector<QString> paths;
    for (const auto& call : calls) {
        paths.push_back(call.path);
    }
    return paths;
}

std::size_t CallsToInstance(const std::vector<FakeFprintdControl::SeenCall>& calls,
                            std::uint32_t instance) {
    std::size_t count = 0;
    for (const auto& call : calls) {
        count += call.instance == instance ? 1 : 0;
    }
    return count;
}

class ReaderIdentityTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_fake.Reachable()) << "run through tests/fprintd_fake/fake_fixture.py";
        InstallBiometricBackend(std::make_shared<FprintdService>());
    }

    void TearDown() override { InstallBiometricBackend(nullptr); }

    // Each listed unit's reader name, by unit.
    static std::map<UnitId, std::u16string> Units() {
        WINBIO_UNIT_SCHEMA* units = nullptr;
        std::size_t count = 0;
        std::map<UnitId, std::u16string> names;
        EXPECT_EQ(WinBioEnumBiometricUnits(kFactorFingerprint, &units, &count), kOk);
        for (std::size_t index = 0; index < count; ++index) {
            names[units[index].UnitId] = units[index].Description;
        }
        WinBioFree(units);
        return names;
    }

    static std::u16string ReaderName(std::uint32_t index) {
        const std::string digits = std::to_string(index);
        return u"Fake reader " + std::u16string(digits.begin(), digits.end());
    }

    // The first capture of an enrollment on the unit, which is then discarded.
    std::optional<StatusCode> FirstCapture(SessionHandle handle, UnitId unit) {
        EXPECT_EQ(WinBioEnrollBegin(handle, kBareFinger, unit), kOk);
        EXPECT_EQ(WinBioEnrollCaptureWithCallback(handle, &CaptureRecorder::Callback, &m_recorder),
                  kOk);
        const auto capture = m_recorder.Next(kPatience);
        EXPECT_EQ(WinBioEnrollDiscard(handle), kOk);
        return capture ? std::optional(capture->status) : std::nullopt;
    }

    static StatusCode Delete(SessionHandle handle, UnitId unit) {
        WINBIO_IDENTITY identity = ServiceCalls::CallerIdentity();
        return WinBioDeleteTemplate(handle, unit, &identity, kFinger);
    }

    // Whether the connection that was granted the claim gave it back within the bound.
    bool ClaimGivenBack(const QString& claimant) {
        return WaitUntil(
            [&] {
                for (const auto& release : m_fake.Calls(QStringLiteral("Release"))) {
                    if (release.sender == claimant) {
                        return !m_fake.Claimed();
                    }
                }
                return false;
            },
            kPromptRelease);
    }

    FakeFprintdControl m_fake;
    CaptureRecorder m_recorder;
};

TEST_F(ReaderIdentityTest, AUnitWhoseReaderWentFailsInsteadOfReachingAnother) {
    ASSERT_TRUE(m_fake.SetReaders(2));
    ASSERT_TRUE(m_fake.SetEnrolled({kFingerName}));
    ASSERT_TRUE(m_fake.SetEnrollBurst(1, 1, QStringLiteral("enroll-completed")));
    const SessionHandle handle = ServiceCalls::OpenSession();
    const auto before = Units();
    ASSERT_EQ(before.size(), 2u);
    ASSERT_EQ(before.at(kUnitA), ReaderName(0));
    ASSERT_EQ(before.at(kUnitB), ReaderName(1));

    const QString readerA = FakeFprintdControl::ReaderPath(0);
    const QString readerB = FakeFprintdControl::ReaderPath(1);
    ASSERT_TRUE(m_fake.RemoveReader(readerA));
    EXPECT_EQ(FirstCapture(handle, kUnitA), kSensorUnavailable);
    EXPECT_EQ(Delete(handle, kUnitA), kSensorUnavailable);
    for (const char* method : {"Claim", "EnrollStart", "DeleteEnrolledFinger"}) {
        SCOPED_TRACE(method);
        EXPECT_TRUE(m_fake.Calls(QString::fromLatin1(method)).empty()) << "reached another reader";
    }

    // The other reader keeps its unit.
    EXPECT_EQ(Units(), (std::map<UnitId, std::u16string>{{kUnitB, ReaderName(1)}}));
    EXPECT_EQ(FirstCapture(handle, kUnitB), kMoreData);
    EXPECT_EQ(PathsOf(m_fake.Calls(QStringLiteral("EnrollStart"))), std::vector{readerB});
    ASSERT_TRUE(WaitUntil([this] { return !m_fake.Claimed(); }, kPatience));
    EXPECT_EQ(Delete(handle, kUnitB), kOk);
    EXPECT_EQ(PathsOf(m_fake.Calls(QStringLiteral("DeleteEnrolledFinger"))), std::vector{readerB});
}

TEST_F(ReaderIdentityTest, AReaderAddedLaterGetsANewUnitAndMovesNoOther) {
    ASSERT_TRUE(m_fake.SetReaders(2));
    ASSERT_TRUE(m_fake.SetEnrolled({kFingerName}));
    const SessionHandle handle = ServiceCalls::OpenSession();
    ASSERT_EQ(Units().size(), 2u);

    // Listed first by the daemon, as a reader plugged in later may be.
    const QString added = m_fake.AddReader();
    ASSERT_EQ(added, FakeFprintdControl::ReaderPath(2));
    EXPECT_EQ(Units(), (std::map<UnitId, std::u16string>{
                           {kUnitA, ReaderName(0)}, {kUnitB, ReaderName(1)}, {3, ReaderName(2)}}));
    EXPECT_EQ(Delete(handle, kUnitB), kOk);
    EXPECT_EQ(PathsOf(m_fake.Calls(QStringLiteral("DeleteEnrolledFinger"))),
              std::vector{FakeFprintdControl::ReaderPath(1)});
}

TEST_F(ReaderIdentityTest, AClaimGrantedAfterItsEnrollmentEndedIsReleasedAtOnce) {
    ASSERT_TRUE(m_fake.HoldClaim(true));
    const SessionHandle handle = ServiceCalls::OpenSession();
    ASSERT_EQ(WinBioEnrollBegin(handle, kFinger, kUnitA), kOk);
    ASSERT_TRUE(
        WaitUntil([this] { return !m_fake.Calls(QStringLiteral("Claim")).empty(); }, kPatience));
    EXPECT_EQ(WinBioEnrollDiscard(handle), kOk);
    ASSERT_TRUE(m_fake.GrantHeldClaims());
    const QString claimant = m_fake.Calls(QStringLiteral("Claim")).front().sender;
    EXPECT_TRUE(ClaimGivenBack(claimant)) << "the late claim was kept";
    EXPECT_TRUE(m_fake.Calls(QStringLiteral("EnrollStart")).empty());
}

TEST_F(ReaderIdentityTest, AClaimGrantedAfterItsDeletionWasCancelledIsReleasedAtOnce) {
    ASSERT_TRUE(m_fake.SetEnrolled({kFingerName}));
    ASSERT_TRUE(m_fake.HoldClaim(true));
    const SessionHandle handle = ServiceCalls::OpenSession();
    const WhileWaiting cancel([&] {
        if (m_fake.Calls(QStringLiteral("Claim")).empty()) {
            return false;
        }
        EXPECT_EQ(WinBioCancel(handle), kOk);
        return true;
    });
    EXPECT_EQ(Delete(handle, kUnitA), kCanceled);
    ASSERT_TRUE(cancel.done) << "the deletion ended before its claim was sent";
    ASSERT_TRUE(m_fake.GrantHeldClaims());
    const QString claimant = m_fake.Calls(QStringLiteral("Claim")).front().sender;
    EXPECT_TRUE(ClaimGivenBack(claimant)) << "the late claim was kept";
    EXPECT_TRUE(m_fake.Calls(QStringLiteral("DeleteEnrolledFinger")).empty());
}

// fprintd is restarted while the operation waits for its password: the new instance never
// hears of it, and the operation ends as with a reader that has gone.
TEST_F(ReaderIdentityTest, AnEnrollmentEndsWithTheDaemonItStartedWith) {
    ASSERT_TRUE(FprintdSandbox::ResetPolkit());
    ASSERT_TRUE(FprintdSandbox::HangActions({FprintdSandbox::kEnrollAction}));
    const SessionHandle handle = ServiceCalls::OpenSession();
    ASSERT_EQ(WinBioEnrollBegin(handle, kFinger, kUnitA), kOk);
    ASSERT_EQ(WinBioEnrollCaptureWithCallback(handle, &CaptureRecorder::Callback, &m_recorder),
              kOk);
    ASSERT_TRUE(FprintdSandbox::WaitForHangingCall(kPatience));
    ASSERT_TRUE(m_fake.Replace());
    ASSERT_TRUE(FprintdSandbox::ReleaseHangingCalls());
    const auto capture = m_recorder.Next(kPatience);
    EXPECT_EQ(WinBioEnrollDiscard(handle), kOk);
    for (const char* method : {"Claim", "EnrollStart"}) {
        SCOPED_TRACE(method);
        EXPECT_EQ(CallsToInstance(m_fake.Calls(QString::fromLatin1(method)), 2), 0u);
    }
    ASSERT_TRUE(capture) << "the enrollment neither ended nor went on";
    EXPECT_EQ(capture->status, kSensorUnavailable);
}

TEST_F(ReaderIdentityTest, ADeletionEndsWithTheDaemonItStartedWith) {
    ASSERT_TRUE(m_fake.SetEnrolled({kFingerName}));
    ASSERT_TRUE(FprintdSandbox::ResetPolkit());
    ASSERT_TRUE(FprintdSandbox::HangActions({FprintdSandbox::kEnrollAction}));
    const SessionHandle handle = ServiceCalls::OpenSession();
    bool replaced = false;
    const WhileWaiting restart([&] {
        if (!FprintdSandbox::HaveHangingCalls()) {
            return false;
        }
        replaced = m_fake.Replace();
        EXPECT_TRUE(FprintdSandbox::ReleaseHangingCalls());
        return true;
    });
    EXPECT_EQ(Delete(handle, kUnitA), kSensorUnavailable);
    ASSERT_TRUE(restart.done) << "the deletion ended before polkit held it";
    ASSERT_TRUE(replaced);
    for (const char* method : {"Claim", "DeleteEnrolledFinger"}) {
        SCOPED_TRACE(method);
        EXPECT_EQ(CallsToInstance(m_fake.Calls(QString::fromLatin1(method)), 2), 0u);
    }
}

}  // namespace
