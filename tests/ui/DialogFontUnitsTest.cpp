// Dialog units from the font: the window as it always was at the default font, grown with a
// larger one, its picture and marks kept at their pixels, and held to the screen's size.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFrame>
#include <QScrollArea>
#include <QToolButton>
#include <algorithm>
#include <vector>

#include "CAboutDlg.h"
#include "DevicePixels.h"
#include "DialogFontUnits.h"
#include "FingerMap.h"
#include "ScopedApplicationFont.h"
#include "SimulatedWindowTest.h"

namespace {

const QColor kGreen(0, 255, 0);
const QSize kDefaultWindowSize(792, 319);
const QSize kHandPictureSize(390, 210);

QFont FontOfPoints(double pointSize) {
    QFont font = QApplication::font();
    font.setPointSizeF(pointSize);
    return font;
}

TEST(DialogFontUnits, TheDefaultFontAndSmallerOnesGiveTheTemplatesUnits) {
    for (const double pointSize : {kDefaultFontPointSize, 8.0, 6.0}) {
        const DialogBaseUnits units = BaseUnitsForFont(FontOfPoints(pointSize));
        EXPECT_EQ(units.width, kTemplateBaseUnits.width) << pointSize;
        EXPECT_EQ(units.height, kTemplateBaseUnits.height) << pointSize;
    }
}

TEST(DialogFontUnits, LargerFontsGrowBothUnitsWithTheirSize) {
    DialogBaseUnits previous = kTemplateBaseUnits;
    for (const double pointSize : {12.0, 16.0, 20.0, 28.0}) {
        SCOPED_TRACE(pointSize);
        const DialogBaseUnits units = BaseUnitsForFont(FontOfPoints(pointSize));
        EXPECT_GT(units.width, previous.width);
        EXPECT_GT(units.height, previous.height);
        // Within a fifth of the size's own growth: hinting rounds each measure to pixels.
        const double growth = pointSize / kDefaultFontPointSize;
        EXPECT_NEAR(units.width / kTemplateBaseUnits.width, growth, growth / 5);
        EXPECT_NEAR(units.height / kTemplateBaseUnits.height, growth, growth / 5);
        previous = units;
    }
}

TEST(DialogFontUnits, TheRoomHoldsTheDialogBackKeepingItsProportion) {
    const DialogUnitRect dialog{0, 0, 528, 196};
    const DialogBaseUnits grown{12, 26};  // 1584 x 637
    const struct {
        QSize room;
        QSize expected;  // the dialog's pixels at the fitted units
    } rows[] = {
        {{1584, 637}, {1584, 637}},                      // just fits: unchanged
        {{4000, 3000}, {1584, 637}}, {{}, {1584, 637}},  // no screen known
        {{1188, 2000}, {1187, 477}},  // three quarters of the width, less the rounding pixel
        {{2000, 400}, {992, 399}},    // the height decides
        {{400, 200}, {792, 319}},     // never below the template's own
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.room.width() << "x" << row.room.height());
        const DialogBaseUnits fitted = FitBaseUnitsToRoom(grown, dialog, row.room);
        const PixelRect pixels = DialogUnitsToPixels(dialog, fitted);
        EXPECT_EQ(QSize(pixels.Width(), pixels.Height()), row.expected);
        EXPECT_NEAR(fitted.width / fitted.height, grown.width / grown.height, 0.01);
    }
}

class DialogGrowthTest : public SimulatedWindowTest {
protected:
    QRect TemplatePlace(int id) {
        const PixelRect place = DialogUnitsToPixels(FindControl(MainDialogTemplate(), id)->rect,
                                                    BaseUnitsForFont(Dialog().font()));
        return {place.left, place.top, place.Width(), place.Height()};
    }

    std::vector<QRect> FrameGeometries() {
        std::vector<QRect> frames;
        for (QFrame* frame :
             Dialog().findChildren<QFrame*>(QString(), Qt::FindDirectChildrenOnly)) {
            if (QString::fromLatin1(frame->metaObject()->className()) == QStringLiteral("QFrame")) {
                frames.push_back(frame->geometry());
            }
        }
        return frames;
    }

    // Every enrolled mark is green exactly where the picture's table puts it, and the picture's
    // own pixels lie around it.
    void ExpectMarksOnThePicture(const std::vector<int>& enrolled) {
        const QImage frame = Dialog().grab().toImage();
        const QPoint origin = Picture().mapTo(&Dialog(), QPoint(0, 0));
        for (const int finger : enrolled) {
            SCOPED_TRACE(finger);
            const QRect mark = FingerMarkRect(finger).translated(origin);
            for (const QPoint corner : {mark.topLeft(), mark.bottomRight()}) {
                EXPECT_EQ(PixelAt(frame, corner), kGreen);
            }
            EXPECT_NE(PixelAt(frame, mark.topLeft() - QPoint(1, 1)), kGreen);
            EXPECT_NE(PixelAt(frame, mark.bottomRight() + QPoint(1, 1)), kGreen);
            const QPoint tip = origin + kFingertipTable[finger].position;
            EXPECT_EQ(Dialog().FindFingerAt(tip), finger);
        }
    }
};

// Measured from the window before its units came from the font: every control where it was.
TEST_F(DialogGrowthTest, AtTheDefaultFontEveryControlIsWhereItWas) {
    Start({{"VARNE_SIM_ENROLLED", "3,10"}});
    EXPECT_EQ(Dialog().size(), kDefaultWindowSize);
    const struct {
        const char* name;
        QRect place;
    } rows[] = {
        {"picture", {20, 55, 390, 210}},        {"progressBar", {450, 202, 309, 22}},
        {"captureCounter", {450, 182, 33, 20}}, {"searchDevice", {450, 244, 98, 24}},
        {"closeButton", {684, 244, 75, 23}},    {"titleLabel", {450, 65, 309, 31}},
        {"abortButton", {605, 244, 75, 23}},    {"windowMenuButton", {748, 14, 24, 24}},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(Child<QWidget>(row.name).geometry(), row.place) << row.name;
    }
    const QRect area = Child<QScrollArea>("instructionArea").geometry();
    EXPECT_EQ(area.topLeft(), QPoint(450, 98));
    EXPECT_EQ(area.width(), 309);
    EXPECT_LT(area.bottom(), 202) << "down to the progress bar at most";
    std::vector<QRect> frames = FrameGeometries();
    std::sort(frames.begin(), frames.end(),
              [](const QRect& a, const QRect& b) { return a.x() < b.x(); });
    EXPECT_EQ(frames, (std::vector<QRect>{{11, 5, 409, 304}, {429, 5, 351, 304}}));
    ExpectMarksOnThePicture({3, 10});
}

TEST_F(DialogGrowthTest, ALargerFontGrowsTheWindowAndCentresThePictureAtItsPixels) {
    Start({{"VARNE_SIM_ENROLLED", "2,6,10"}});
    for (const int pointSize : {16, 20}) {
        SCOPED_TRACE(pointSize);
        ScopedApplicationFont large(pointSize);
        QCoreApplication::processEvents();
        const DialogBaseUnits units = BaseUnitsForFont(Dialog().font());
        const PixelRect window = DialogUnitsToPixels(MainDialogTemplate().rect, units);
        EXPECT_EQ(Dialog().size(), QSize(window.Width(), window.Height()));
        for (const char* name : {"progressBar", "searchDevice"}) {
            EXPECT_EQ(Child<QWidget>(name).geometry(),
                      TemplatePlace(name == std::string("progressBar") ? kIdProgressBar
                                                                       : kIdSearchDevice))
                << name;
        }
        const QRect place = TemplatePlace(kIdPicture);
        EXPECT_EQ(Picture().size(), kHandPictureSize);
        EXPECT_LE(std::abs(Picture().geometry().center().x() - place.center().x()), 1);
        EXPECT_LE(std::abs(Picture().geometry().center().y() - place.center().y()), 1);
        ExpectMarksOnThePicture({2, 6, 10});
        const QRect menu = Child<QToolButton>("windowMenuButton").geometry();
        EXPECT_TRUE(Dialog().rect().contains(menu));
        EXPECT_GT(menu.height(), 24);
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(Dialog().size(), kDefaultWindowSize);
    EXPECT_EQ(Picture().geometry(), QRect(QPoint(20, 55), kHandPictureSize));
}

TEST_F(DialogGrowthTest, AClickOnAGrownWindowsFingertipEnrollsIt) {
    ScopedApplicationFont large(16);
    Start({{"VARNE_SIM_SCRIPT", "more@0,more@0,ok@0"}});
    ClickFinger(7);
    ASSERT_TRUE(WaitForTitle(kTitleEnrollmentSuccess)) << Title().toStdString();
    EXPECT_EQ(Context().enrolledSet, u"7");
    ExpectMarksOnThePicture({7});
}

TEST(AboutBoxGrowth, TheAboutBoxGrowsWithItsFontsUnits) {
    CAboutDlg standard;
    const QSize standardSize = standard.size();
    ScopedApplicationFont large(20);
    CAboutDlg grown;
    const DialogBaseUnits units = BaseUnitsForFont(grown.font());
    const PixelRect box = DialogUnitsToPixels(AboutDialogTemplate().rect, units);
    EXPECT_GE(grown.width(), box.Width());
    EXPECT_GE(grown.height(), box.Height());
    EXPECT_GT(grown.width(), standardSize.width() * 2);
}

}  // namespace
