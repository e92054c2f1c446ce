// The window on the real fprintd when logind's mock locks the session mid-enrollment: the reader
// is free for the lock screen within a second, and nothing is stored.
#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <cstdlib>
#include <memory>

#include "CVarneDlg.h"
#include "FprintdClient.h"
#include "FprintdService.h"
#include "LogindMock.h"
#include "LogindWatcher.h"
#include "MessageBoxAnswerer.h"
#include "MessageCatalogue.h"
#include "VirtualSensor.h"
#include "WindowDriver.h"

namespace {

constexpr int kRightIndex = 2;
const QString kSession = QStringLiteral("c1");
constexpr qint64 kReaderFreeWithinMs = 1000;
const QString kNoPrints = QStringLiteral("net.reactivated.Fprint.Error.NoEnrolledPrints");

QString UserName() {
    const passwd* entry = getpwuid(getuid());
    return entry != nullptr ? QString::fromLocal8Bit(entry->pw_name) : QString();
}

struct EventRow {
    const char* name;
    bool (*play)(LogindMock&);
    TextId text;
};

// A suspend is not played here: fprintd 1.94 hears the mock's PrepareForSleep too, and no client
// could claim its reader afterwards, not even after PrepareForSleep(false), within 10 s. The
// window's own stop on a suspend is checked on the simulated sensor (tests/logind).
const EventRow kEvents[] = {
    {"LockedHint", [](LogindMock& mock) { return mock.SetLockedHint(kSession, true); },
     kTextStoppedScreenLocked},
    {"LockSignal", [](LogindMock& mock) { return mock.Lock(kSession); }, kTextStoppedScreenLocked},
};

void PrintTo(const EventRow& row, std::ostream* out) {
    *out << row.name;
}

class LockOnFprintdTest : public testing::TestWithParam<EventRow>, protected WindowDriver {
protected:
    void SetUp() override {
        if (VirtualSensor::Path().empty() || !LogindMock::Available()) {
            GTEST_SKIP() << "needs the fprintd fixture (label fprintd)";
        }
        ASSERT_TRUE(m_other.IsConnected());
        ASSERT_TRUE(m_other.ResetPolkit());
        setenv("XDG_SESSION_ID", "c1", 1);
        ASSERT_TRUE(m_mock.Start());
        ASSERT_TRUE(m_mock.AddSession(kSession));
        InstallBiometricBackend(CreateFprintdService());
        MessageBoxAnswerer startupBoxes;  // a failed start must fail the test, not wait on a box
        ASSERT_TRUE(Start()) << startupBoxes.seen.size() << " message boxes";
        // As the application does once the window is on the screen.
        m_watcher = std::make_unique<LogindWatcher>(
            [this](SystemEvent event) { Dialog().StopForSystemEvent(event); });
        m_watcher->StartOnSystemBus();
        ASSERT_TRUE(
            WaitFor([&] { return m_watcher->State() == LogindWatch::kWatchingSessionAndSleep; }));
    }

    void TearDown() override {
        m_watcher.reset();
        Destroy();
        InstallBiometricBackend(nullptr);
        unsetenv("XDG_SESSION_ID");
    }

    FprintdClient m_other;
    LogindMock m_mock;
    std::unique_ptr<LogindWatcher> m_watcher;
};

TEST_P(LockOnFprintdTest, MidEnrollmentTheReaderIsFreedAndNothingStored) {
    ClickFinger(kRightIndex);
    const int before = ProgressBar().value();
    // One touch counted: fprintd certainly has the enrollment running, the reader claimed.
    ASSERT_TRUE(VirtualSensor::Send("SCAN varne-right-index"));
    ASSERT_TRUE(WaitFor([&] { return ProgressBar().value() > before; }));
    ASSERT_FALSE(m_other.CanClaimReader());

    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(GetParam().play(m_mock));
    ASSERT_TRUE(WaitForTitle(kTitleEnrollmentStopped)) << Title().toStdString();
    EXPECT_LE(clock.elapsed(), kReaderFreeWithinMs);
    ASSERT_TRUE(WaitFor([&] { return m_other.CanClaimReader(); }));
    const qint64 freedAfter = clock.elapsed();
    EXPECT_LE(freedAfter, kReaderFreeWithinMs);
    EXPECT_EQ(InstructionLabel().text(), Text(GetParam().text));
    EXPECT_FALSE(AbortButton().isEnabled());
    EXPECT_EQ(Context().selectedFinger, 0);
    EXPECT_EQ(m_other.EnrolledFingers(UserName()), QStringList{kNoPrints});
    EXPECT_TRUE(Context().enrolledSet.empty());
    std::fprintf(stderr, "reader free %lld ms after the event\n",
                 static_cast<long long>(freedAfter));
}

INSTANTIATE_TEST_SUITE_P(Events, LockOnFprintdTest, testing::ValuesIn(kEvents),
                         [](const auto& rowInfo) { return std::string(rowInfo.param.name); });

}  // namespace
