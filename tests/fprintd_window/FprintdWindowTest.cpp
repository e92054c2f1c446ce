// The window on the real fprintd and libfprint's virtual sensor: enroll, delete, held prompts.
#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QLineEdit>
#include <QProcess>
#include <QProgressBar>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "CLabel.h"
#include "CSysColorStatic.h"
#include "CVarneDlg.h"
#include "FingerMap.h"
#include "FprintdClient.h"
#include "FprintdService.h"
#include "FprintdWindowFixture.h"
#include "MessageBoxAnswerer.h"
#include "MessageCatalogue.h"
#include "VirtualSensor.h"
#include "WindowDriver.h"

namespace {

// How long the polkit mock holds the deletion: far beyond a paint interval, well short of any
// call timeout that would fail it.
constexpr int kHoldMs = 3000;
constexpr int kRepaintIntervalMs = 20;
constexpr qint64 kLongestPaintGapMs = 500;

TEST_F(FprintdWindowTest, EnrollsAndDeletesAFingerAndFreesTheReaderAfterEach) {
    EXPECT_EQ(m_other.EnrolledFingers(UserName()),
              QStringList{QStringLiteral("net.reactivated.Fprint.Error.NoEnrolledPrints")});
    EXPECT_TRUE(m_other.CanClaimReader());  // not claimed just for showing the window

    EnrollRightIndex();
    EXPECT_EQ(Dialog().Context().enrolledSet, u"2");
    EXPECT_EQ(MarkColour(kRightIndex), kGreen);
    EXPECT_TRUE(WaitUntilOthersCanClaim());
    EXPECT_EQ(m_other.EnrolledFingers(UserName()), QStringList{kRightIndexName});

    MessageBoxAnswerer answerer(QMessageBox::Yes);
    ClickFinger(kRightIndex);
    ASSERT_EQ(answerer.seen.size(), 1u);  // the question only, no failure box
    EXPECT_EQ(answerer.seen[0].text, Text(kTextDeleteQuestion));
    EXPECT_TRUE(Dialog().Context().enrolledSet.empty());
    EXPECT_NE(MarkColour(kRightIndex), kGreen);
    EXPECT_EQ(TitleLabel().text(), Text(kTitleSelectFinger));
    EXPECT_TRUE(WaitUntilOthersCanClaim());
    EXPECT_EQ(m_other.EnrolledFingers(UserName()),
              QStringList{QStringLiteral("net.reactivated.Fprint.Error.NoEnrolledPrints")});
}

// Records when the widget it watches paints.
class PaintClock : public QObject {
public:
    explicit PaintClock(const QElapsedTimer& clock) : m_clock(clock) {}
    std::vector<qint64> times;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            times.push_back(m_clock.elapsed());
        }
        return QObject::eventFilter(watched, event);
    }

private:
    const QElapsedTimer& m_clock;
};

// The longest time without a paint between start and end, both included as edges.
qint64 LongestGap(const std::vector<qint64>& times, qint64 start, qint64 end) {
    qint64 longest = 0;
    qint64 previous = start;
    for (const qint64 time : times) {
        if (time > end) {
            break;
        }
        longest = std::max(longest, time - previous);
        previous = time;
    }
    return std::max(longest, end - previous);
}

// Answers held checks from outside the window's thread if the window never does, and holds
// no more, so a frozen window fails the test instead of hanging it.
class ReleaseSafetyNet {
public:
    ReleaseSafetyNet()
        : m_thread([this] {
              std::unique_lock lock(m_mutex);
              auto wait = std::chrono::milliseconds(kHoldMs * 3);
              while (!m_done.wait_for(lock, wait, [this] { return m_finished; })) {
                  ReleaseAll();
                  wait = std::chrono::seconds(1);
              }
          }) {}
    ~ReleaseSafetyNet() {
        {
            std::lock_guard lock(m_mutex);
            m_finished = true;
        }
        m_done.notify_one();
        m_thread.join();
    }
    ReleaseSafetyNet(const ReleaseSafetyNet&) = delete;
    ReleaseSafetyNet& operator=(const ReleaseSafetyNet&) = delete;

private:
    // A process of its own: this thread must not share the window's D-Bus connections.
    static void ReleaseAll() {
        const std::string mock =
            "dbus-send --system --print-reply --dest=org.freedesktop.PolicyKit1 "
            "/org/freedesktop/PolicyKit1/Authority org.freedesktop.DBus.Mock.";
        for (const std::string& call :
             {mock + "SimulateHangActions array:string:", mock + "ReleaseHangingCalls"}) {
            [[maybe_unused]] const int status = std::system((call + " >/dev/null").c_str());
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_finished = false;
    std::thread m_thread;
};

// The deletion waits for its answer, but a password prompt may be open for minutes: the window
// must go on painting meanwhile, and the call must not time out.
TEST_F(FprintdWindowTest, WindowKeepsPaintingWhileThePromptHoldsTheDeletion) {
    EnrollRightIndex();
    ASSERT_TRUE(WaitUntilOthersCanClaim());
    ASSERT_TRUE(m_other.HoldEnrollChecks());

    QElapsedTimer clock;
    PaintClock paints(clock);
    Dialog().installEventFilter(&paints);
    // Paints asked for at a steady pace, as an animation or an uncovered window would.
    QTimer repaint;
    repaint.setInterval(kRepaintIntervalMs);
    QObject::connect(&repaint, &QTimer::timeout, [&] { Dialog().update(); });
    bool heldWhenReleased = false;
    qint64 releasedAt = -1;
    QTimer::singleShot(kHoldMs, [&] {
        releasedAt = clock.elapsed();
        heldWhenReleased = m_other.HasHeldChecks();
        m_other.ReleaseHeldChecks();
    });

    MessageBoxAnswerer answerer(QMessageBox::Yes);
    ReleaseSafetyNet safetyNet;
    clock.start();
    repaint.start();
    ClickFinger(kRightIndex);  // the question box and the deletion run inside
    const qint64 deletionMs = clock.elapsed();
    repaint.stop();
    Dialog().removeEventFilter(&paints);

    ASSERT_GE(releasedAt, 0) << "the window's timers never ran during the deletion";
    EXPECT_TRUE(heldWhenReleased) << "the polkit mock never held the deletion";
    EXPECT_GE(deletionMs, releasedAt);
    const qint64 gap = LongestGap(paints.times, 0, releasedAt);
    EXPECT_LT(gap, kLongestPaintGapMs) << "the window stopped painting for " << gap << " ms";
    // Allowed once answered: the finger is gone, without a failure box.
    ASSERT_EQ(answerer.seen.size(), 1u);
    EXPECT_TRUE(Dialog().Context().enrolledSet.empty());
    EXPECT_NE(MarkColour(kRightIndex), kGreen);
    EXPECT_TRUE(WaitUntilOthersCanClaim());
}

pid_t FprintdPid() {
    std::ifstream pidFile(std::string(std::getenv("VARNE_FIXTURE_DIR")) + "/fprintd.pid");
    pid_t pid = 0;
    pidFile >> pid;
    return pid;
}

// Another program stores the finger after the window listed the enrolled set: a click must
// not let fprintd's EnrollStart delete it, whether the user then aborts or touches on.
TEST_F(FprintdWindowTest, FingerEnrolledMeanwhileByAnotherProgramSurvivesAClick) {
    ASSERT_TRUE(Dialog().Context().enrolledSet.empty());
    QStringList stored;
    for (const bool touchOn : {false, true}) {
        SCOPED_TRACE(touchOn ? "touching on" : "aborting");
        // A finger the window has not seen enrolled yet each time.
        const int finger = touchOn ? kRightMiddle : kRightIndex;
        const QString name = touchOn ? kRightMiddleName : kRightIndexName;
        ASSERT_EQ(m_other.EnrollAsAnotherProgram(UserName(), name,
                                                 [] { return VirtualSensor::Send("SCAN theirs"); }),
                  QString());
        stored << name;
        MessageBoxAnswerer boxes;
        ClickFinger(finger);
        if (touchOn) {
            VirtualSensor::Send("SCAN mine", 500);  // refused once the reader is free again
        } else {
            QTest::mouseClick(&AbortButton(), Qt::LeftButton);
        }
        ASSERT_TRUE(QTest::qWaitFor([&] { return TitleLabel().text() != Text(kTitlePlaceFinger); },
                                    kWaitMs));
        EXPECT_TRUE(WaitUntilOthersCanClaim());
        EXPECT_EQ(m_other.EnrolledFingers(UserName()), stored);
    }
}

// fprintd stops answering mid-enrollment and the user closes the window: the back end must not
// touch what it tore down when the answers come late (ASan watches in the sanitizer build).
TEST_F(FprintdWindowTest, ClosingWhileFprintdIsStoppedMidEnrollmentIsSafe) {
    constexpr int kRounds = 20;
    const pid_t fprintd = FprintdPid();
    ASSERT_GT(fprintd, 0);
    for (int round = 0; round < kRounds; ++round) {
        SCOPED_TRACE(round);
        if (!HasWindow()) {
            InstallBiometricBackend(CreateFprintdService());
            MessageBoxAnswerer startupBoxes;
            ASSERT_TRUE(Initialise());
            Dialog().show();
        }
        ClickFinger(kRightIndex);
        ASSERT_TRUE(VirtualSensor::Send("SCAN varne"));
        ASSERT_TRUE(QTest::qWaitFor([&] { return ProgressBar().value() > 0; }, kWaitMs));
        ASSERT_EQ(kill(fprintd, SIGSTOP), 0);
        {
            MessageBoxAnswerer boxes;
            Dialog().close();
            Destroy();
            InstallBiometricBackend(nullptr);
        }
        ASSERT_EQ(kill(fprintd, SIGCONT), 0);
        ASSERT_TRUE(WaitUntilOthersCanClaim());
    }
    EXPECT_EQ(m_other.EnrolledFingers(UserName()),
              QStringList{QStringLiteral("net.reactivated.Fprint.Error.NoEnrolledPrints")});
}

bool RunFixture(const QStringList& arguments) {
    const QString script = QString::fromLocal8Bit(std::getenv("VARNE_FIXTURE_SCRIPT"));
    return QProcess::execute(QStringLiteral("/usr/bin/python3"), QStringList{script} + arguments) ==
           0;
}

// fprintd as a desktop runs it: started by the bus on the first call, ending when idle.
TEST_F(FprintdWindowTest, BusStartsFprintdForTheWindowAndAgainAfterItEnded) {
    Destroy();
    InstallBiometricBackend(nullptr);
    ASSERT_TRUE(RunFixture({QStringLiteral("fprintd"), QStringLiteral("stop")}));
    ASSERT_TRUE(RunFixture({QStringLiteral("fprintd"), QStringLiteral("activatable")}));
    const pid_t stopped = FprintdPid();

    InstallBiometricBackend(CreateFprintdService());
    {
        MessageBoxAnswerer startupBoxes;
        ASSERT_TRUE(Start()) << startupBoxes.seen.size() << " message boxes";
    }
    const pid_t started = FprintdPid();
    EXPECT_NE(started, stopped) << "the window did not start fprintd";

    // Ends while the window is idle, as fprintd does on its own after a while.
    ASSERT_TRUE(RunFixture({QStringLiteral("fprintd"), QStringLiteral("stop")}));
    EnrollRightIndex();
    EXPECT_NE(FprintdPid(), started) << "the click did not start fprintd again";
    EXPECT_EQ(m_other.EnrolledFingers(UserName()), QStringList{kRightIndexName});
    EXPECT_TRUE(WaitUntilOthersCanClaim());
}

// The password prompt is open before anything is claimed: others keep the reader meanwhile,
// and Abort or Close closes the prompt instead of leaving it for the user to answer.
TEST_F(FprintdWindowTest, AbortAndCloseDuringAHeldAuthorizationCloseThePrompt) {
    for (const bool closing : {false, true}) {
        SCOPED_TRACE(closing ? "closing" : "aborting");
        ASSERT_TRUE(m_other.HoldEnrollChecks());
        ClickFinger(kRightIndex);
        ASSERT_TRUE(QTest::qWaitFor([&] { return m_other.HasHeldChecks(); }, kWaitMs));
        EXPECT_TRUE(m_other.CanClaimReader()) << "claimed while the prompt is open";
        if (closing) {
            QTest::mouseClick(&CloseButton(), Qt::LeftButton);
            Destroy();
            InstallBiometricBackend(nullptr);
        } else {
            QTest::mouseClick(&AbortButton(), Qt::LeftButton);
            EXPECT_TRUE(WaitForTitle(kTitleSelectFinger)) << TitleLabel().text().toStdString();
        }
        EXPECT_TRUE(QTest::qWaitFor([&] { return !m_other.HasHeldChecks(); }, kWaitMs))
            << "the prompt was left open";
        EXPECT_TRUE(WaitUntilOthersCanClaim());
        ASSERT_TRUE(m_other.ResetPolkit());
    }
    EXPECT_EQ(m_other.EnrolledFingers(UserName()),
              QStringList{QStringLiteral("net.reactivated.Fprint.Error.NoEnrolledPrints")});
}

}  // namespace
