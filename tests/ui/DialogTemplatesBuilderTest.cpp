// Widgets built from a template: placement, visibility, tab order, mouse and the standard buttons.
#include <gtest/gtest.h>

#include <QDialog>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>

#include "CLabel.h"
#include "DevicePixels.h"
#include "DialogBuilder.h"

namespace {

constexpr int kNotEnded = 42;

class PressRecordingDialog : public QDialog {
public:
    int presses = 0;

protected:
    void mousePressEvent(QMouseEvent* event) override {
        ++presses;
        QDialog::mousePressEvent(event);
    }
};

TEST(DialogBuilder, MainTemplateIsPlacedAsTheTemplateSays) {
    QDialog dialog;
    const BuiltDialog built = BuildDialog(dialog, MainDialogTemplate());
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Varne"));
    EXPECT_EQ(dialog.minimumSize(), QSize(792, 319));
    EXPECT_EQ(dialog.maximumSize(), QSize(792, 319));
    ASSERT_EQ(built.inOrder.size(), MainDialogTemplate().controls.size());

    for (const ControlTemplate& control : MainDialogTemplate().controls) {
        if (control.id == kNoControlId) {
            continue;
        }
        SCOPED_TRACE(control.id);
        ASSERT_EQ(built.byId.count(control.id), 1u);
        const QWidget* widget = built.byId.at(control.id);
        const PixelRect place = DialogUnitsToPixels(control.rect);
        EXPECT_EQ(widget->geometry(), QRect(place.left, place.top, place.Width(), place.Height()));
        EXPECT_EQ(widget->isHidden(), (control.style & kStyleVisible) == 0);
        EXPECT_EQ(widget->isEnabled(), (control.style & kStyleDisabled) == 0);
    }
    EXPECT_EQ(built.byId.count(kNoControlId), 0u);
    EXPECT_TRUE(built.byId.at(kIdSearchDevice)->isHidden());
    EXPECT_TRUE(built.byId.at(kIdCaptureCounter)->isHidden());
    EXPECT_FALSE(built.byId.at(kIdAbort)->isEnabled());
}

TEST(DialogBuilder, FactoryWidgetsTakeTheirPlace) {
    QDialog dialog;
    const BuiltDialog built = BuildDialog(
        dialog, MainDialogTemplate(), [](const ControlTemplate& control, QWidget& parent) {
            const bool isLabel = control.id == kIdTitleLabel || control.id == kIdInstructionLabel;
            return isLabel ? static_cast<QWidget*>(new CLabel(&parent)) : nullptr;
        });
    auto* title = qobject_cast<CLabel*>(built.byId.at(kIdTitleLabel));
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->parentWidget(), &dialog);
    EXPECT_EQ(title->geometry(), QRect(450, 65, 309, 31));
    EXPECT_NE(qobject_cast<CLabel*>(built.byId.at(kIdInstructionLabel)), nullptr);
    EXPECT_EQ(qobject_cast<CLabel*>(built.byId.at(kIdPicture)), nullptr);
}

TEST(DialogBuilder, ClicksOnStaticsAndFramesReachTheDialog) {
    PressRecordingDialog dialog;
    const BuiltDialog built = BuildDialog(dialog, MainDialogTemplate());
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));

    const QPoint inPicture = built.byId.at(kIdPicture)->geometry().center();
    const QPoint onTitle = built.byId.at(kIdTitleLabel)->geometry().center();
    const QPoint inFrameOnly(15, 15);
    for (const QPoint& point : {inPicture, onTitle, inFrameOnly}) {
        const int before = dialog.presses;
        QTest::mouseClick(dialog.windowHandle(), Qt::LeftButton, {}, point);
        EXPECT_EQ(dialog.presses, before + 1) << point.x() << "," << point.y();
    }
}

TEST(DialogBuilder, FramesLeaveTheButtonFaceInside) {
    QDialog dialog;
    BuildDialog(dialog, MainDialogTemplate());
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    const QImage frame = dialog.grab().toImage();
    const QColor face = dialog.palette().color(QPalette::Button);
    // Inside the status panel's frame, above the title, and inside the picture's frame.
    EXPECT_EQ(PixelAt(frame, QPoint(500, 40)), face);
    EXPECT_EQ(PixelAt(frame, QPoint(15, 30)), face);
}

TEST(DialogBuilder, CloseButtonRejectsAndFramesDoNotCoverIt) {
    QDialog dialog;
    const BuiltDialog built = BuildDialog(dialog, MainDialogTemplate());
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    QWidget* close = built.byId.at(kIdCancel);
    dialog.setResult(kNotEnded);
    // A real hit-tested click: the frame around the panel must not swallow it.
    QTest::mouseClick(dialog.windowHandle(), Qt::LeftButton, {}, close->geometry().center());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_FALSE(dialog.isVisible());
}

}  // namespace
