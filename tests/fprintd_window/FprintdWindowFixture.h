// The window on the real fprintd and libfprint's virtual sensor: the fixture its suites share.
#pragma once

#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <QAccessible>
#include <QColor>
#include <QImage>
#include <QScreen>
#include <cstdlib>
#include <string>

#include "CVarneDlg.h"
#include "FingerMapFocus.h"
#include "FingertipAccessible.h"
#include "FprintdClient.h"
#include "FprintdService.h"
#include "MessageBoxAnswerer.h"
#include "MessageCatalogue.h"
#include "VirtualSensor.h"
#include "WindowDriver.h"

inline constexpr int kRightIndex = 2;
inline const QString kRightIndexName = QStringLiteral("right-index-finger");
inline constexpr int kRightMiddle = 3;
inline const QString kRightMiddleName = QStringLiteral("right-middle-finger");
inline const QColor kGreen(0, 255, 0);

inline QString UserName() {
    const passwd* entry = getpwuid(getuid());
    return entry != nullptr ? QString::fromLocal8Bit(entry->pw_name) : QString();
}

class FprintdWindowTest : public testing::Test, protected WindowDriver {
protected:
    void SetUp() override {
        if (VirtualSensor::Path().empty()) {
            GTEST_SKIP() << "needs the fprintd fixture (label fprintd)";
        }
        ASSERT_TRUE(m_other.IsConnected());
        ASSERT_TRUE(m_other.ResetPolkit());
        // Closing with a wedged fprintd waits this long for the release; the default would make
        // the repeated cases slow.
        setenv("VARNE_FPRINTD_EXIT_WAIT_MS", "300", 1);
        if (VerifyTimeoutMs() > 0) {
            setenv("VARNE_FPRINTD_VERIFY_TIMEOUT_MS", std::to_string(VerifyTimeoutMs()).c_str(), 1);
        } else {
            unsetenv("VARNE_FPRINTD_VERIFY_TIMEOUT_MS");
        }
        InstallBiometricBackend(CreateFprintdService());
        MessageBoxAnswerer startupBoxes;  // a failed start must fail the test, not wait on a box
        ASSERT_TRUE(Start()) << startupBoxes.seen.size() << " message boxes";
    }

    // How long a test of a finger waits for a touch; 0 keeps the back end's default.
    virtual int VerifyTimeoutMs() const { return 0; }

    void TearDown() override {
        Destroy();
        // The back end goes while the application exists; it releases the reader on its way.
        InstallBiometricBackend(nullptr);
    }

    // The pixels last painted on screen, so a repaint that never happened shows.
    QColor MarkColour(int finger) {
        QCoreApplication::processEvents();
        const QImage shown = Dialog().screen()->grabWindow(Dialog().winId()).toImage();
        return shown.pixelColor(FingertipInWindow(finger));
    }
    // The reader is free again for others; the back end releases it on its own thread.
    bool WaitUntilOthersCanClaim() {
        return WaitFor([&] { return m_other.CanClaimReader(); });
    }

    // Clicks the fingertip and touches the virtual sensor until fprintd completes the print.
    void EnrollRightIndex() {
        ClickFinger(kRightIndex);
        ASSERT_EQ(TitleLabel().text(), Text(kTitlePlaceFinger));
        int touches = 0;
        while (TitleLabel().text() != Text(kTitleEnrollmentSuccess) && touches < kMaxTouches) {
            const int before = ProgressBar().value();
            ASSERT_TRUE(VirtualSensor::Send("SCAN varne-right-index")) << "touch " << touches;
            ++touches;
            ASSERT_TRUE(WaitFor([&] {
                return ProgressBar().value() > before ||
                       TitleLabel().text() == Text(kTitleEnrollmentSuccess);
            })) << TitleLabel().text().toStdString();
            if (touches == 1) {
                // Claimed while the enrollment runs (certainly once a touch counted): nobody
                // else gets the reader meanwhile.
                EXPECT_FALSE(m_other.CanClaimReader());
            }
        }
        ASSERT_TRUE(WaitForTitle(kTitleEnrollmentSuccess)) << TitleLabel().text().toStdString();
        // The bar followed fprintd's own count of stages and is full exactly now.
        EXPECT_EQ(ProgressBar().maximum(), touches);
        EXPECT_EQ(ProgressBar().value(), touches);
        EXPECT_EQ(CaptureCounter().text(), QStringLiteral("%1/%2").arg(touches - 1).arg(touches));
    }

    // Starts a test of the enrolled right index through its accessibility action.
    void TestRightIndexThroughAccessibility() {
        QAccessibleInterface* picture = QAccessible::queryAccessibleInterface(&Picture());
        QAccessibleInterface* fingertip = picture->child(FingerMapFocus::IndexOf(kRightIndex));
        ASSERT_NE(fingertip, nullptr);
        fingertip->actionInterface()->doAction(FingertipAccessible::TestAction());
    }

    static constexpr int kMaxTouches = 20;
    FprintdClient m_other;
};
