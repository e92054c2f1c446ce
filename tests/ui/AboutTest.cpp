// The About box: its content, its fixed frame and every way of closing it.
#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <vector>

#include "CAboutDlg.h"
#include "DevicePixels.h"
#include "DialogBuilder.h"

namespace {

constexpr int kStillOpen = -1;

QLabel* FindLabelWithText(const QDialog& dialog, const QString& text) {
    for (QLabel* label : dialog.findChildren<QLabel*>()) {
        if (label->text() == text) {
            return label;
        }
    }
    return nullptr;
}

TEST(AboutBox, ShowsNameVersionAndIconInAFixedFrame) {
    CAboutDlg dialog;
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("About Varne"));
    EXPECT_EQ(dialog.minimumSize(), QSize(255, 101));
    EXPECT_EQ(dialog.maximumSize(), QSize(255, 101));

    const Qt::WindowFlags flags = dialog.windowFlags();
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);

    QLabel* text = FindLabelWithText(dialog, QStringLiteral("Varne, Version 1.0"));
    ASSERT_NE(text, nullptr);
    // The template's 13 pixels, or the line's height where the font's line is taller.
    EXPECT_EQ(text->geometry(),
              QRect(63, 23, 171, std::max(13, QFontMetrics(text->font()).height())));

    const auto buttons = dialog.findChildren<QPushButton*>();
    ASSERT_EQ(buttons.size(), 1);
    EXPECT_EQ(buttons.front()->text(), QStringLiteral("OK"));
    EXPECT_TRUE(buttons.front()->isDefault());

    ASSERT_FALSE(LoadIconResource(kApplicationIconId).isNull())
        << "the application icon is not a compiled-in resource";
    bool iconShown = false;
    for (QLabel* label : dialog.findChildren<QLabel*>()) {
        if (label->geometry() == QRect(21, 23, 32, 32)) {
            iconShown = !label->pixmap().isNull();
        }
    }
    EXPECT_TRUE(iconShown);
}

TEST(AboutBox, SitsOnTheButtonFace) {
    CAboutDlg dialog;
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    const QImage frame = dialog.grab().toImage();
    EXPECT_EQ(PixelAt(frame, QPoint(2, 2)), dialog.palette().color(QPalette::Button));
}

TEST(AboutBox, EveryWayOfClosingEndsTheModalRun) {
    struct Case {
        const char* name;
        std::function<void(CAboutDlg&)> close;
        int result;
    };
    const std::vector<Case> cases = {
        {"Enter", [](CAboutDlg& d) { QTest::keyClick(&d, Qt::Key_Return); }, QDialog::Accepted},
        {"keypad Enter", [](CAboutDlg& d) { QTest::keyClick(&d, Qt::Key_Enter); },
         QDialog::Accepted},
        {"Escape", [](CAboutDlg& d) { QTest::keyClick(&d, Qt::Key_Escape); }, QDialog::Rejected},
        {"close box", [](CAboutDlg& d) { d.close(); }, QDialog::Rejected},
        {"OK button",
         [](CAboutDlg& d) { QTest::mouseClick(d.findChild<QPushButton*>(), Qt::LeftButton); },
         QDialog::Accepted},
    };
    for (const Case& testCase : cases) {
        SCOPED_TRACE(testCase.name);
        CAboutDlg dialog;
        QTimer::singleShot(0, &dialog, [&] { testCase.close(dialog); });
        // Keeps a broken close from hanging the suite.
        QTimer::singleShot(5000, &dialog, [&] { dialog.done(kStillOpen); });
        EXPECT_EQ(dialog.exec(), testCase.result);
    }
}

}  // namespace
