// Contrast arithmetic and the colours that stand in for black and the error red on dark faces.
#include <gtest/gtest.h>

#include <QColor>
#include <vector>

#include "ReadableColour.h"

namespace {

const QColor kErrorRed(176, 0, 0);

TEST(ReadableColour, ContrastRatioMatchesKnownPairs) {
    struct Case {
        QColor first;
        QColor second;
        double ratio;
    };
    const std::vector<Case> cases = {
        {Qt::black, Qt::white, 21.0},
        {Qt::white, Qt::black, 21.0},  // order does not matter
        {QColor(119, 119, 119), Qt::white, 4.48},
        {QColor(118, 118, 118), Qt::white, 4.54},
        {kErrorRed, Qt::white, 7.38},
        {QColor(40, 40, 40), QColor(40, 40, 40), 1.0},
    };
    for (const Case& testCase : cases) {
        SCOPED_TRACE(testCase.first.name().toStdString() + " " +
                     testCase.second.name().toStdString());
        EXPECT_NEAR(ContrastRatio(testCase.first, testCase.second), testCase.ratio, 0.01);
    }
}

TEST(ReadableColour, LightFacesKeepTheRequestedColoursExactly) {
    for (const QColor& face : {QColor(239, 239, 239), QColor(192, 192, 192), QColor(255, 255, 255),
                               QColor(160, 160, 160)}) {
        SCOPED_TRACE(face.name().toStdString());
        EXPECT_FALSE(IsDarkBackground(face));
        for (const QColor& requested : {QColor(Qt::black), kErrorRed, QColor(0, 0, 255)}) {
            EXPECT_EQ(ReadableTextColour(requested, face, Qt::white), requested);
        }
    }
}

TEST(ReadableColour, DarkFacesGetTheThemesTextAndALighterRed) {
    const struct {
        QColor face;
        QColor themeText;
    } rows[] = {
        {QColor(53, 53, 53), QColor(255, 255, 255)},  // a common dark theme
        {QColor(0, 0, 0), QColor(220, 220, 220)},
        {QColor(30, 30, 60), QColor(230, 230, 250)},     // tinted
        {QColor(100, 100, 100), QColor(255, 255, 255)},  // just dark enough
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.face.name().toStdString());
        ASSERT_TRUE(IsDarkBackground(row.face));
        EXPECT_EQ(ReadableTextColour(Qt::black, row.face, row.themeText), row.themeText);

        const QColor red = ReadableTextColour(kErrorRed, row.face, row.themeText);
        EXPECT_GE(ContrastRatio(red, row.face), kMinimumTextContrast);
        EXPECT_GT(red.red(), red.green()) << "still reads as red";
        EXPECT_EQ(red.green(), red.blue());
        EXPECT_GE(red.red(), kErrorRed.red()) << "lighter, not another hue";
    }
}

TEST(ReadableColour, AThemeTextTooDarkForItsFaceIsLightenedToo) {
    const QColor face(60, 60, 60);
    const QColor shown = ReadableTextColour(Qt::black, face, QColor(90, 90, 90));
    EXPECT_GE(ContrastRatio(shown, face), kMinimumTextContrast);
}

}  // namespace
