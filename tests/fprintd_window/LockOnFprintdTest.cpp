// The window on the real fprintd when logind's mock locks the session or the computer goes to
// sleep mid-enrollment or mid-test: the panel says why at once, the reader is free for the lock
// screen within a second (after the resume, for a sleep), and nothing is stored.
#include <QElapsedTimer>
#include <cstdlib>
#include <memory>

#include "FprintdWindowFixture.h"
#include "LogindMock.h"
#include "LogindWatcher.h"

namespace {

const QString kSession = QStringLiteral("c1");
constexpr qint64 kWithinMs = 1000;
const QString kNoPrints = QStringLiteral("net.reactivated.Fprint.Error.NoEnrolledPrints");

enum class Attempt { kEnrollment, kTest };

struct EventRow {
    const char* name;
    bool (*play)(LogindMock&);
    // fprintd suspends its reader for a sleep: it is freed once the resume comes.
    bool (*resume)(LogindMock&);
    TextId enrollmentText;
    TextId testText;
};

const EventRow kEvents[] = {
    {"LockedHint", [](LogindMock& mock) { return mock.SetLockedHint(kSession, true); }, nullptr,
     kTextStoppedScreenLocked, kTextTestStoppedScreenLocked},
    {"LockSignal", [](LogindMock& mock) { return mock.Lock(kSession); }, nullptr,
     kTextStoppedScreenLocked, kTextTestStoppedScreenLocked},
    {"PrepareForSleep", [](LogindMock& mock) { return mock.PrepareForSleep(true); },
     [](LogindMock& mock) { return mock.PrepareForSleep(false); }, kTextStoppedGoingToSleep,
     kTextTestStoppedGoingToSleep},
};

void PrintTo(const EventRow& row, std::ostream* out) {
    *out << row.name;
}

using Param = std::tuple<EventRow, Attempt>;

class LockOnFprintdTest : public FprintdWindowTest, public testing::WithParamInterface<Param> {
protected:
    void SetUp() override {
        if (!LogindMock::Available()) {
            GTEST_SKIP() << "needs the fprintd fixture (label fprintd)";
        }
        setenv("XDG_SESSION_ID", "c1", 1);
        ASSERT_TRUE(m_mock.Start());
        ASSERT_TRUE(m_mock.AddSession(kSession));
        FprintdWindowTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        // As the application does once the window is on the screen.
        m_watcher = std::make_unique<LogindWatcher>(
            [this](SystemEvent event) { Dialog().StopForSystemEvent(event); });
        m_watcher->StartOnSystemBus();
        ASSERT_TRUE(
            WaitFor([&] { return m_watcher->State() == LogindWatch::kWatchingSessionAndSleep; }));
    }

    void TearDown() override {
        m_watcher.reset();  // before the window it calls
        FprintdWindowTest::TearDown();
        unsetenv("XDG_SESSION_ID");
    }

    const EventRow& Event() const { return std::get<0>(GetParam()); }
    Attempt Kind() const { return std::get<1>(GetParam()); }

    // An enrollment with one touch counted, or a test of an enrolled finger with one retry
    // answered: either way fprintd certainly has the reader claimed and scanning.
    void BeginAttempt() {
        if (Kind() == Attempt::kEnrollment) {
            ClickFinger(kRightIndex);
            const int before = ProgressBar().value();
            ASSERT_TRUE(VirtualSensor::Send("SCAN varne-right-index"));
            ASSERT_TRUE(WaitFor([&] { return ProgressBar().value() > before; }));
        } else {
            ASSERT_NO_FATAL_FAILURE(EnrollRightIndex());
            ASSERT_TRUE(WaitUntilOthersCanClaim());
            ASSERT_NO_FATAL_FAILURE(TestRightIndexThroughAccessibility());
            ASSERT_TRUE(WaitForTitle(kTitleTestFinger)) << Title().toStdString();
            const QString before = InstructionLabel().text();
            ASSERT_TRUE(VirtualSensor::Send("RETRY 0"));
            ASSERT_TRUE(WaitFor([&] { return InstructionLabel().text() != before; }));
        }
        ASSERT_FALSE(m_other.CanClaimReader());
    }

    LogindMock m_mock;
    std::unique_ptr<LogindWatcher> m_watcher;
};

TEST_P(LockOnFprintdTest, MidAttemptThePanelSaysWhyAndTheReaderIsFreedWithNothingStored) {
    ASSERT_NO_FATAL_FAILURE(BeginAttempt());
    const bool test = Kind() == Attempt::kTest;

    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(Event().play(m_mock));
    ASSERT_TRUE(WaitForTitle(test ? kTitleTestStopped : kTitleEnrollmentStopped))
        << Title().toStdString();
    EXPECT_LE(clock.elapsed(), kWithinMs);
    EXPECT_EQ(InstructionLabel().text(), Text(test ? Event().testText : Event().enrollmentText));
    EXPECT_FALSE(AbortButton().isEnabled());
    EXPECT_EQ(Context().selectedFinger, 0);

    if (Event().resume != nullptr) {
        ASSERT_TRUE(Event().resume(m_mock));
        clock.restart();
    }
    ASSERT_TRUE(WaitUntilOthersCanClaim());
    const qint64 freedAfter = clock.elapsed();
    EXPECT_LE(freedAfter, kWithinMs);
    const QStringList stored = test ? QStringList{kRightIndexName} : QStringList{kNoPrints};
    EXPECT_EQ(m_other.EnrolledFingers(UserName()), stored);
    EXPECT_EQ(Context().enrolledSet, test ? u"2" : u"");
    std::fprintf(stderr, "reader free %lld ms after the %s\n", static_cast<long long>(freedAfter),
                 Event().resume != nullptr ? "resume" : "lock");
}

INSTANTIATE_TEST_SUITE_P(Events, LockOnFprintdTest,
                         testing::Combine(testing::ValuesIn(kEvents),
                                          testing::Values(Attempt::kEnrollment, Attempt::kTest)),
                         [](const auto& rowInfo) {
                             return std::string(std::get<0>(rowInfo.param).name) +
                                    (std::get<1>(rowInfo.param) == Attempt::kEnrollment
                                         ? "MidEnrollment"
                                         : "MidTest");
                         });

}  // namespace
