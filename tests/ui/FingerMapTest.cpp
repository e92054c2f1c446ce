// Fingertip hit-testing and the exact pixels of the marks.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include "FingerMap.h"

namespace {

const QPoint kPictureOrigin(20, 55);

TEST(FingerMapTest, HitsWithinFivePixelsOnBothAxesAndMissesAtSix) {
    const struct {
        QPoint offset;
        bool hits;
    } rows[] = {
        {{0, 0}, true},   {{5, 5}, true},  {{-5, -5}, true}, {{5, -5}, true},  {{6, 0}, false},
        {{-6, 0}, false}, {{0, 6}, false}, {{0, -6}, false}, {{-6, 5}, false}, {{5, -6}, false},
    };
    for (int finger = 1; finger <= 10; ++finger) {
        for (const auto& row : rows) {
            const QPoint point = kPictureOrigin + kFingertipTable[finger].position + row.offset;
            EXPECT_EQ(FindFingerAt(point, kPictureOrigin), row.hits ? finger : 0)
                << "finger " << finger << " offset " << row.offset.x() << "," << row.offset.y();
        }
    }
}

TEST(FingerMapTest, PictureCornerAndBarePictureYieldNoFinger) {
    const QPoint points[] = {{0, 0}, {5, 5}, {-5, -5}, {195, 150}, {389, 209}};
    for (const QPoint point : points) {
        EXPECT_EQ(FindFingerAt(kPictureOrigin + point, kPictureOrigin), 0);
    }
}

TEST(FingerMapTest, MarkIsSixBySixWithOneMoreRowBelowTheTip) {
    EXPECT_EQ(FingerMarkRect(2), QRect(QPoint(257, 28), QPoint(262, 33)));
    EXPECT_EQ(FingerMarkRect(10), QRect(QPoint(14, 60), QPoint(19, 65)));
    for (const int noFinger : {0, 11, -1, 255}) {
        EXPECT_TRUE(FingerMarkRect(noFinger).isEmpty()) << noFinger;
    }
}

class FingerMarkPaintingTest : public testing::Test {
protected:
    static constexpr QRgb kBackground = 0xffc0c0c0;

    QImage Paint(const std::u16string& enrolledSet, int selectedFinger) {
        QImage image(390, 210, QImage::Format_RGB32);
        image.fill(kBackground);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing, true);  // the marks must not care
        PaintFingerMarks(painter, enrolledSet, selectedFinger);
        painter.end();
        return image;
    }

    // Which pixels differ from the background, as the rect around them (or empty).
    static QRect ChangedArea(const QImage& image) {
        QRect area;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (image.pixel(x, y) != kBackground) {
                    area |= QRect(x, y, 1, 1);
                }
            }
        }
        return area;
    }
};

TEST_F(FingerMarkPaintingTest, FillsExactlyTheMarkInPureColour) {
    const QImage image = Paint(u"3", 0);
    const QPoint tip = kFingertipTable[3].position;
    EXPECT_EQ(ChangedArea(image), QRect(tip.x() - 3, tip.y() - 2, 6, 6));
    for (int y = tip.y() - 2; y <= tip.y() + 3; ++y) {
        for (int x = tip.x() - 3; x <= tip.x() + 2; ++x) {
            ASSERT_EQ(image.pixel(x, y), qRgb(0, 255, 0)) << x << "," << y;
        }
    }
}

TEST_F(FingerMarkPaintingTest, GreenForEachEnrolledFingerAndRedForTheSelectedOne) {
    // ':' stands for the left little finger.
    const QImage image = Paint(u"1:5", 7);
    for (const int finger : {1, 10, 5}) {
        EXPECT_EQ(image.pixelColor(kFingertipTable[finger].position), QColor(0, 255, 0)) << finger;
    }
    EXPECT_EQ(image.pixelColor(kFingertipTable[7].position), QColor(255, 0, 0));
    for (const int bare : {2, 3, 4, 6, 8, 9}) {
        EXPECT_EQ(image.pixel(kFingertipTable[bare].position), kBackground) << bare;
    }
}

TEST_F(FingerMarkPaintingTest, SelectedFingerAloneIsRingedClearOfItsMark) {
    const QImage image = Paint(u"3", 7);
    const QPoint tip = kFingertipTable[7].position;
    const QRect mark = FingerMarkRect(7);
    const QRect ring = mark.adjusted(-2, -2, 2, 2);
    for (int y = ring.top() - 1; y <= ring.bottom() + 1; ++y) {
        for (int x = ring.left() - 1; x <= ring.right() + 1; ++x) {
            const QPoint pixel(x, y);
            const bool onRing =
                ring.contains(pixel) && !ring.adjusted(1, 1, -1, -1).contains(pixel);
            const bool inGap = ring.adjusted(1, 1, -1, -1).contains(pixel) && !mark.contains(pixel);
            const QRgb expected = mark.contains(pixel) || onRing ? qRgb(255, 0, 0) : kBackground;
            ASSERT_EQ(image.pixel(pixel), expected)
                << x - tip.x() << "," << y - tip.y() << (inGap ? " (gap)" : "");
        }
    }
    // The enrolled finger keeps its plain square; nothing else changed.
    EXPECT_EQ(ChangedArea(image), FingerMarkRect(3) | ring);
    EXPECT_EQ(SelectionRingRect(7), ring);
}

TEST_F(FingerMarkPaintingTest, CharactersForNoFingerPaintNothing) {
    // '0' is no finger, ';' would be 11, and anything else is not a sub-factor at all.
    const QImage image = Paint(u"0;A/\uffff", 0);
    EXPECT_TRUE(ChangedArea(image).isEmpty());
    EXPECT_TRUE(ChangedArea(Paint(u"", 11)).isEmpty());
}

}  // namespace
