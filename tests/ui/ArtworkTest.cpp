// The compiled-in hand picture and icons, as the window loads them.
#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QString>
#include <algorithm>
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

QImage HandPicture() {
    return QImage(QStringLiteral(":/bitmaps/131.bmp"));
}

}  // namespace

TEST(Artwork, HandPictureIsAn8BitTableImageOfTheExpectedSize) {
    const QImage picture = HandPicture();
    ASSERT_FALSE(picture.isNull());
    EXPECT_EQ(picture.width(), kPictureWidth);
    EXPECT_EQ(picture.height(), kPictureHeight);
    EXPECT_EQ(picture.format(), QImage::Format_Indexed8);
}

TEST(Artwork, ColourTableHoldsTheFaceGreyOnceAndNoOtherMappedGrey) {
    const QList<QRgb> table = HandPicture().colorTable();
    ASSERT_EQ(table.size(), 256);
    EXPECT_EQ(std::count(table.begin(), table.end(), kFace), 1);
    EXPECT_EQ(std::count(table.begin(), table.end(), qRgb(128, 128, 128)), 0);
    EXPECT_EQ(std::count(table.begin(), table.end(), qRgb(223, 223, 223)), 0);
}

TEST(Artwork, BackgroundIsTheFaceGreyAroundTheHands) {
    const QImage picture = HandPicture();
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
        EXPECT_EQ(picture.pixel(x, y), kFace) << "at " << x << "," << y;
    }
}

TEST(Artwork, EveryFingertipMarkLandsOnAWhiteDisc) {
    const QImage picture = HandPicture();
    for (size_t finger = 0; finger < kFingertips.size(); ++finger) {
        const auto [tipX, tipY] = kFingertips[finger];
        // The mark covers columns x-3..x+2 and rows y-2..y+3.
        for (int y = tipY - 2; y <= tipY + 3; ++y) {
            for (int x = tipX - 3; x <= tipX + 2; ++x) {
                ASSERT_EQ(picture.pixel(x, y), kWhite)
                    << "finger " << finger + 1 << " at " << x << "," << y;
            }
        }
        // About 12 pixels across: not white 8 pixels out.
        EXPECT_NE(picture.pixel(tipX - 8, tipY + 1), kWhite) << "finger " << finger + 1;
        EXPECT_NE(picture.pixel(tipX + 8, tipY + 1), kWhite) << "finger " << finger + 1;
        // A disc sits on a hand, not on the background.
        EXPECT_NE(picture.pixel(tipX, tipY + 9), kFace) << "finger " << finger + 1;
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
