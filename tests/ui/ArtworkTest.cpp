// The compiled-in hand picture and icons, as the window loads them.
#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QString>
#include <algorithm>
#include <cstdlib>
#include <utility>
#include <vector>

namespace {

constexpr int kPictureWidth = 390;
constexpr int kPictureHeight = 210;
const QRgb kFace = qRgb(192, 192, 192);
const QRgb kWhite = qRgb(255, 255, 255);

// Fingertips by finger number, 1..10.
const std::vector<std::pair<int, int>> kFingertips = {{213, 102}, {260, 30},  {299, 15}, {338, 26},
                                                      {378, 62},  {183, 102}, {136, 30}, {97, 14},
                                                      {57, 25},   {17, 62}};

// The drawings of the hand picture: 1x is bitmap 131 itself, 2x and 3x serve denser screens.
constexpr int kScales[] = {1, 2, 3};

QImage HandPicture(int scale = 1) {
    return QImage(scale == 1 ? QStringLiteral(":/bitmaps/131.bmp")
                             : QStringLiteral(":/bitmaps/131@%1x.bmp").arg(scale));
}

// Whether every device pixel of the picture pixels (left..right, top..bottom) is white.
bool AllWhite(const QImage& picture, int scale, int left, int top, int right, int bottom) {
    for (int y = top * scale; y < (bottom + 1) * scale; ++y) {
        for (int x = left * scale; x < (right + 1) * scale; ++x) {
            if (picture.pixel(x, y) != kWhite) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace

TEST(Artwork, HandPictureIsAn8BitTableImageOfTheExpectedSizeAtEveryScale) {
    for (const int scale : kScales) {
        SCOPED_TRACE(scale);
        const QImage picture = HandPicture(scale);
        ASSERT_FALSE(picture.isNull());
        EXPECT_EQ(picture.width(), kPictureWidth * scale);
        EXPECT_EQ(picture.height(), kPictureHeight * scale);
        EXPECT_EQ(picture.format(), QImage::Format_Indexed8);
    }
}

TEST(Artwork, ColourTableHoldsTheFaceGreyOnceAndNoOtherMappedGrey) {
    for (const int scale : kScales) {
        SCOPED_TRACE(scale);
        const QList<QRgb> table = HandPicture(scale).colorTable();
        ASSERT_EQ(table.size(), 256);
        EXPECT_EQ(std::count(table.begin(), table.end(), kFace), 1);
        EXPECT_EQ(std::count(table.begin(), table.end(), qRgb(128, 128, 128)), 0);
        EXPECT_EQ(std::count(table.begin(), table.end(), qRgb(223, 223, 223)), 0);
    }
}

TEST(Artwork, BackgroundIsTheFaceGreyAroundTheHands) {
    for (const int scale : kScales) {
        const QImage picture = HandPicture(scale);
        // Corners, the top edge and the gap between the hands' thumbs are all background.
        for (const auto& [x, y] :
             std::vector<std::pair<int, int>>{{0, 0},
                                              {kPictureWidth - 1, 0},
                                              {0, kPictureHeight - 1},
                                              {kPictureWidth - 1, kPictureHeight - 1},
                                              {195, 0},
                                              {195, 60},
                                              {198, 102},
                                              {195, kPictureHeight - 1}}) {
            EXPECT_EQ(picture.pixel(x * scale, y * scale), kFace)
                << "at " << x << "," << y << " scale " << scale;
        }
    }
}

TEST(Artwork, EveryFingertipMarkLandsOnAWhiteDisc) {
    for (const int scale : kScales) {
        const QImage picture = HandPicture(scale);
        for (size_t finger = 0; finger < kFingertips.size(); ++finger) {
            SCOPED_TRACE(testing::Message() << "finger " << finger + 1 << " scale " << scale);
            const auto [tipX, tipY] = kFingertips[finger];
            // The mark covers columns x-3..x+2 and rows y-2..y+3, in picture pixels.
            EXPECT_TRUE(AllWhite(picture, scale, tipX - 3, tipY - 2, tipX + 2, tipY + 3));
            // About 12 pixels across: not white 8 pixels out.
            EXPECT_NE(picture.pixel((tipX - 8) * scale, (tipY + 1) * scale), kWhite);
            EXPECT_NE(picture.pixel((tipX + 8) * scale, (tipY + 1) * scale), kWhite);
            // A disc sits on a hand, not on the background.
            EXPECT_NE(picture.pixel(tipX * scale, (tipY + 9) * scale), kFace);
        }
    }
}

TEST(Artwork, DenserDrawingsAreTheSamePictureWithMoreDetail) {
    const QImage base = HandPicture(1).convertToFormat(QImage::Format_RGB32);
    for (const int scale : {2, 3}) {
        SCOPED_TRACE(scale);
        const QImage detailed = HandPicture(scale).convertToFormat(QImage::Format_RGB32);
        const QImage reduced =
            detailed.scaled(base.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        double difference = 0;
        int sharpEdges = 0;
        for (int y = 0; y < base.height(); ++y) {
            for (int x = 0; x < base.width(); ++x) {
                const QColor a = base.pixelColor(x, y);
                const QColor b = reduced.pixelColor(x, y);
                difference += std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
                              std::abs(a.blue() - b.blue());
            }
        }
        // Drawn at its own resolution, not enlarged: neighbouring device pixels inside one
        // picture pixel differ somewhere along the outlines.
        for (int y = 0; y + 1 < detailed.height(); y += scale) {
            for (int x = 0; x + 1 < detailed.width(); x += scale) {
                sharpEdges += detailed.pixel(x, y) != detailed.pixel(x + 1, y) ? 1 : 0;
            }
        }
        EXPECT_LT(difference / (3.0 * base.width() * base.height()), 6.0);
        EXPECT_GT(sharpEdges, 1000);
    }
}

TEST(Artwork, IconImagesExistAtEverySizeWithAlpha) {
    for (int size : {16, 24, 32, 48, 64, 96, 128, 256}) {
        const QImage icon(QStringLiteral(":/icons/201/varne-%1.png").arg(size));
        ASSERT_FALSE(icon.isNull()) << size;
        EXPECT_EQ(icon.size(), QSize(size, size));
        EXPECT_TRUE(icon.hasAlphaChannel()) << size;
        EXPECT_EQ(qAlpha(icon.pixel(0, 0)), 0) << size;                  // transparent corner
        EXPECT_EQ(qAlpha(icon.pixel(size / 2, size / 2)), 255) << size;  // opaque tile
    }
}

TEST(Artwork, SmallIconsHaveSharpRidgesNotASmudge) {
    for (int size : {16, 24, 32}) {
        SCOPED_TRACE(size);
        const QImage icon(QStringLiteral(":/icons/201/varne-%1.png").arg(size));
        ASSERT_FALSE(icon.isNull());
        // Inside the print every pixel is a ridge or the tile between ridges, hardly any grey.
        int dark = 0;
        int grey = 0;
        int total = 0;
        for (int y = size / 3; y < size * 3 / 4; ++y) {
            for (int x = size / 4; x < size * 3 / 4; ++x) {
                const int lightness = QColor(icon.pixel(x, y)).lightness();
                dark += lightness < 80 ? 1 : 0;
                grey += lightness >= 80 && lightness <= 180 ? 1 : 0;
                ++total;
            }
        }
        EXPECT_GE(dark, total / 4);
        EXPECT_LE(grey, total / 10) << grey << " of " << total;
    }
}
