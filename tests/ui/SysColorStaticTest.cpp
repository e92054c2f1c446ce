// The picture control: exactly the three greys follow the palette, reloads replace, clicks pass.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QPainter>
#include <QPalette>
#include <QTest>
#include <cmath>
#include <vector>

#include "CSysColorStatic.h"
#include "DevicePixels.h"
#include "DialogTemplates.h"
#include "EventCounter.h"
#include "PressRecorder.h"
#include "TemporaryDirectory.h"

namespace {

const QString kHandPicture = QStringLiteral(":/bitmaps/131.bmp");

struct TableEntry {
    QRgb grey;
    bool mapped;
};

// The three 3-D greys and near misses that must stay as they are.
const std::vector<TableEntry> kTestTable = {
    {qRgb(128, 128, 128), true},  {qRgb(192, 192, 192), true},  {qRgb(223, 223, 223), true},
    {qRgb(127, 127, 127), false}, {qRgb(192, 192, 193), false}, {qRgb(224, 223, 223), false},
    {qRgb(0, 255, 0), false},
};

QPalette DistinctPalette() {
    QPalette palette;
    palette.setColor(QPalette::Dark, QColor(10, 20, 30));
    palette.setColor(QPalette::Button, QColor(40, 50, 60));
    palette.setColor(QPalette::Midlight, QColor(70, 80, 90));
    return palette;
}

QString WriteIndexedBitmap(const TemporaryDirectory& folder) {
    QImage image(static_cast<int>(kTestTable.size()), 2, QImage::Format_Indexed8);
    QList<QRgb> table;
    for (const TableEntry& entry : kTestTable) {
        table.append(entry.grey);
    }
    image.setColorTable(table);
    for (int x = 0; x < image.width(); ++x) {
        image.setPixel(x, 0, x);
        image.setPixel(x, 1, x);
    }
    const QString path = QString::fromStdString(folder.File("greys.bmp"));
    return image.save(path, "BMP") ? path : QString();
}

TEST(LoadSysColorBitmap, MapsExactlyTheThreeGreys) {
    TemporaryDirectory folder;
    const QString path = WriteIndexedBitmap(folder);
    ASSERT_FALSE(path.isEmpty());

    const QPalette palette = DistinctPalette();
    const QImage image = LoadSysColorBitmap(path, palette);
    ASSERT_EQ(image.format(), QImage::Format_Indexed8);
    ASSERT_GE(image.colorCount(), static_cast<int>(kTestTable.size()));

    const std::vector<QRgb> expectedMapped = {palette.color(QPalette::Dark).rgb(),
                                              palette.color(QPalette::Button).rgb(),
                                              palette.color(QPalette::Midlight).rgb()};
    for (int index = 0; index < static_cast<int>(kTestTable.size()); ++index) {
        SCOPED_TRACE(index);
        const QRgb wanted =
            kTestTable[index].mapped ? expectedMapped[index] : kTestTable[index].grey;
        EXPECT_EQ(image.color(index), wanted) << std::hex << image.color(index);
        EXPECT_EQ(image.pixelIndex(index, 0), index) << "pixels keep their index";
    }
}

TEST(BitmapScaleFor, RoundsUpToTheNextDrawingAndStopsAtTheLargest) {
    const struct {
        qreal ratio;
        int scale;
    } rows[] = {{0.5, 1}, {1.0, 1}, {1.005, 1}, {1.25, 2}, {1.5, 2},
                {2.0, 2}, {2.5, 3}, {3.0, 3},   {4.0, 3}};
    for (const auto& row : rows) {
        EXPECT_EQ(BitmapScaleFor(row.ratio), row.scale) << row.ratio;
    }
}

TEST(LoadSysColorBitmap, FailureGivesANullImage) {
    TemporaryDirectory folder;
    EXPECT_TRUE(
        LoadSysColorBitmap(QString::fromStdString(folder.File("absent.bmp")), QPalette()).isNull());
}

// The hand picture on a shown window, placed where the main window places it.
class SysColorStaticTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(QFile::exists(kHandPicture))
            << "the hand picture is not a compiled-in resource";
        m_window.resize(440, 300);
        m_picture = new CSysColorStatic(&m_window);
        m_picture->move(20, 55);
        m_picture->SetBitmapResource(kHandBitmapId);
        m_window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_window));
        QCoreApplication::processEvents();
    }

    // The picture's background, where no hand is drawn.
    QColor BackgroundPixel() { return PixelAt(m_picture->grab().toImage(), QPoint(1, 1)); }

    PressRecorder m_window;
    CSysColorStatic* m_picture = nullptr;
};

TEST_F(SysColorStaticTest, BackgroundFollowsThePaletteAtOnce) {
    EXPECT_EQ(BackgroundPixel(), m_window.palette().color(QPalette::Button));

    const QColor newFaces[] = {QColor(30, 90, 150), QColor(250, 240, 10), QColor(30, 90, 150)};
    for (const QColor& face : newFaces) {
        QPalette palette = m_window.palette();
        palette.setColor(QPalette::Button, face);
        m_window.setPalette(palette);
        EXPECT_EQ(BackgroundPixel(), face);
    }
}

TEST_F(SysColorStaticTest, ApplicationPaletteChangeIsFollowed) {
    const QPalette original = QApplication::palette();
    QPalette changed = original;
    changed.setColor(QPalette::Button, QColor(5, 150, 70));
    QApplication::setPalette(changed);
    QCoreApplication::processEvents();
    EXPECT_EQ(BackgroundPixel(), QColor(5, 150, 70));
    QApplication::setPalette(original);
}

TEST_F(SysColorStaticTest, ReloadReplacesTheImageAndReleasesTheOldOne) {
    for (int round = 0; round < 3; ++round) {
        const QImage before = m_picture->CurrentImage();
        QPalette palette = m_window.palette();
        palette.setColor(QPalette::Button, QColor(round * 40, 100, 200));
        m_window.setPalette(palette);

        EXPECT_NE(m_picture->CurrentImage().cacheKey(), before.cacheKey());
        // Our copy is the last one: the control kept nothing of the image it replaced.
        EXPECT_TRUE(before.isDetached());
    }
}

TEST_F(SysColorStaticTest, FailedLoadKeepsTheImageShown) {
    const qint64 shown = m_picture->CurrentImage().cacheKey();
    m_picture->SetBitmapResource(4242);
    EXPECT_EQ(m_picture->BitmapId(), 4242);
    EXPECT_EQ(m_picture->CurrentImage().cacheKey(), shown);

    QPalette palette = m_window.palette();
    palette.setColor(QPalette::Button, QColor(1, 2, 3));
    m_window.setPalette(palette);
    EXPECT_EQ(m_picture->CurrentImage().cacheKey(), shown);
    EXPECT_FALSE(m_picture->CurrentImage().isNull());
}

TEST_F(SysColorStaticTest, TakesTheBitmapsOwnSizeNamedByTheLow16Bits) {
    EXPECT_EQ(m_picture->size(), QSize(390, 210)) << "in device-independent pixels";
    CSysColorStatic other;
    other.SetBitmapResource(0x10000 | kHandBitmapId);
    EXPECT_EQ(other.BitmapId(), 0x10000 | kHandBitmapId);
    EXPECT_EQ(other.size(), QSize(390, 210));
}

TEST_F(SysColorStaticTest, ShowsTheDrawingMadeForTheScreensDensityPixelForPixel) {
    const qreal ratio = m_picture->devicePixelRatioF();
    const QImage& image = m_picture->CurrentImage();
    EXPECT_EQ(image.devicePixelRatio(), BitmapScaleFor(ratio));
    EXPECT_EQ(image.deviceIndependentSize(), QSizeF(390, 210));
    if (ratio != std::floor(ratio)) {
        GTEST_SKIP() << "a reduced drawing has no exact pixels to compare";
    }
    // Whole ratios show the file's own pixels: no enlarged 1x, no smoothing.
    const QImage shown = m_picture->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QImage drawing = image.convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(shown.size(), drawing.size());
    int differing = 0;
    for (int y = 0; y < shown.height(); ++y) {
        for (int x = 0; x < shown.width(); ++x) {
            differing += shown.pixel(x, y) != drawing.pixel(x, y) ? 1 : 0;
        }
    }
    EXPECT_EQ(differing, 0);
}

TEST_F(SysColorStaticTest, OverlayIsPaintedInEveryFrameAndIdleCostsNothing) {
    m_picture->SetOverlayPainter(
        [](QPainter& painter) { painter.fillRect(QRect(100, 100, 8, 8), QColor(0, 255, 0)); });
    const QImage frame = m_picture->grab().toImage();
    EXPECT_EQ(PixelAt(frame, QPoint(103, 103)), QColor(0, 255, 0));
    EXPECT_EQ(PixelAt(frame, QPoint(1, 1)), m_window.palette().color(QPalette::Button));

    EventCounter counter;
    QCoreApplication::processEvents();
    m_picture->installEventFilter(&counter);
    QTest::qWait(100);
    EXPECT_EQ(counter.count, 0) << "nothing repaints the picture by itself";
}

TEST_F(SysColorStaticTest, ClicksReachTheWindowBeneath) {
    EventCounter pressesOnControl(QEvent::MouseButtonPress);
    m_picture->installEventFilter(&pressesOnControl);
    QTest::mouseClick(m_window.windowHandle(), Qt::LeftButton, {}, QPoint(150, 150));
    EXPECT_EQ(m_window.presses, 1);
    EXPECT_EQ(m_window.lastPress, QPoint(150, 150)) << "in the window's own coordinates";
    EXPECT_EQ(pressesOnControl.count, 0) << "the control never sees the press";
}

}  // namespace
