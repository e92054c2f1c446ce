// The window on the real fprintd while a deletion waits for its password: the fingertips take
// nothing, and Close or Escape still close the window and leave the reader free.
#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <cstdlib>

#include "CVarneDlg.h"
#include "FingerMapFocus.h"
#include "FprintdClient.h"
#include "FprintdService.h"
#include "FprintdWindowFixture.h"
#include "MessageBoxAnswerer.h"
#include "MessageCatalogue.h"
#include "VirtualSensor.h"
#include "WindowDriver.h"

namespace {

constexpr int kPollMs = 10;
// Long enough for the answerer to see a second question, had one been asked.
constexpr int kSettleMs = 200;
// The window closes this soon after Close or Escape, on a loaded machine too; before, it stayed
// until the prompt was answered.
constexpr qint64 kClosesWithinMs = 2000;
// If the window never lets the deletion go, the held check is answered after this, so the
// test fails instead of hanging.
constexpr int kSafetyNetMs = 8000;
// The back end's exit wait for the release, and room for a busy machine on top.
constexpr qint64 kExitWaitMs = 3000;
constexpr qint64 kExitSlackMs = 1000;

class HeldDeletionOnFprintdTest : public testing::Test, protected WindowDriver {
protected:
    void SetUp() override {
        if (VirtualSensor::Path().empty()) {
            GTEST_SKIP() << "needs the fprintd fixture (label fprintd)";
        }
        ASSERT_TRUE(m_other.IsConnected());
        ASSERT_TRUE(m_other.ResetPolkit());
        unsetenv("VARNE_FPRINTD_EXIT_WAIT_MS");
    }

    void TearDown() override {
        Destroy();
        InstallBiometricBackend(nullptr);
        m_other.ResetPolkit();
    }

    // The finger stored by another program, then the window started on it.
    void StartWithRightIndexEnrolled() {
        if (!m_other.EnrolledFingers(UserName()).contains(kRightIndexName)) {
            ASSERT_EQ(m_other.EnrollAsAnotherProgram(
                          UserName(), kRightIndexName,
                          [] { return VirtualSensor::Send("SCAN varne-held-deletion"); }),
                      QString());
        }
        InstallBiometricBackend(CreateFprintdService());
        MessageBoxAnswerer startupBoxes;
        ASSERT_TRUE(Start()) << startupBoxes.seen.size() << " message boxes";
        ASSERT_EQ(Dialog().Context().enrolledSet, u"2");
    }

    // Every way a user could act on a fingertip: a bare one and the one being deleted.
    void TryTheFingertips() {
        for (const int finger : {kRightIndex, kRightMiddle}) {
            ClickFinger(finger);
            Dialog().Fingertips().SetFocusedFinger(finger);
            QTest::keyClick(&Picture(), Qt::Key_Space);
        }
        QTest::qWait(kSettleMs);
    }

    FprintdClient m_other;
};

TEST_F(HeldDeletionOnFprintdTest, CloseAndEscapeCloseTheWindowAndFingertipsTakeNothing) {
    const struct {
        const char* how;
        bool escape;
    } rows[] = {{"the Close button", false}, {"Escape", true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.how);
        StartWithRightIndexEnrolled();
        ASSERT_TRUE(m_other.HoldEnrollChecks());

        MessageBoxAnswerer answerer(QMessageBox::Yes);
        bool held = false;
        std::size_t questionsWhileHeld = 0;
        QString titleWhileHeld;
        QElapsedTimer sinceClose;
        QTimer whileHeld;
        whileHeld.setInterval(kPollMs);
        QObject::connect(&whileHeld, &QTimer::timeout, [&] {
            if (held || !m_other.HasHeldChecks()) {
                return;
            }
            held = true;
            whileHeld.stop();
            TryTheFingertips();
            questionsWhileHeld = answerer.seen.size();
            titleWhileHeld = TitleLabel().text();
            sinceClose.start();
            if (row.escape) {
                QTest::keyClick(&Dialog(), Qt::Key_Escape);
            } else {
                QTest::mouseClick(&CloseButton(), Qt::LeftButton);
            }
        });
        QTimer safetyNet;
        safetyNet.setSingleShot(true);
        QObject::connect(&safetyNet, &QTimer::timeout, [&] { m_other.ReleaseHeldChecks(); });
        whileHeld.start();
        safetyNet.start(kSafetyNetMs);

        ClickFinger(kRightIndex);  // the question, then the deletion waiting for polkit
        const bool hidden = QTest::qWaitFor([&] { return !Dialog().isVisible(); }, kSafetyNetMs);
        const qint64 closedAfterMs = sinceClose.isValid() ? sinceClose.elapsed() : -1;
        safetyNet.stop();
        whileHeld.stop();

        ASSERT_TRUE(held) << "polkit never held the deletion";
        EXPECT_EQ(questionsWhileHeld, 1u) << "a fingertip asked again during the deletion";
        EXPECT_NE(titleWhileHeld, Text(kTitlePlaceFinger)) << "an enrollment began";
        EXPECT_TRUE(hidden) << "the window stayed open";
        RecordProperty(std::string("closed_after_ms_") + (row.escape ? "escape" : "close"),
                       static_cast<int>(closedAfterMs));
        EXPECT_GE(closedAfterMs, 0);
        EXPECT_LT(closedAfterMs, kClosesWithinMs);

        QElapsedTimer exiting;
        exiting.start();
        Destroy();
        InstallBiometricBackend(nullptr);
        EXPECT_LT(exiting.elapsed(), kExitWaitMs + kExitSlackMs);
        EXPECT_TRUE(WaitFor([&] { return m_other.CanClaimReader(); })) << "the reader stayed held";
        ASSERT_TRUE(m_other.ResetPolkit());
    }
}

}  // namespace
