// The hand picture: a 256-colour bitmap whose greys follow the palette, reloaded on change.
#include "CSysColorStatic.h"

#include <QEvent>
#include <QPainter>
#include <QPalette>
#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

#include "DialogBuilder.h"

namespace {

constexpr int kResourceNumberMask = 0xFFFF;
// The bitmaps come drawn at 1x, 2x and 3x.
constexpr int kLargestBitmapScale = 3;
// Ratios within this of a whole number count as that number (1.0000001 is still 1x).
constexpr qreal kRatioSlack = 0.01;

QString BitmapPath(int resourceNumber, int scale) {
    return scale == 1 ? QStringLiteral(":/bitmaps/%1.bmp").arg(resourceNumber)
                      : QStringLiteral(":/bitmaps/%1@%2x.bmp").arg(resourceNumber).arg(scale);
}

struct GreyMapping {
    QRgb grey;
    QPalette::ColorRole role;
};

// The 3-D greys of a colour table and the palette roles that stand in for them.
constexpr std::array<GreyMapping, 3> kGreyMappings{{
    {qRgb(128, 128, 128), QPalette::Dark},
    {qRgb(192, 192, 192), QPalette::Button},
    {qRgb(223, 223, 223), QPalette::Midlight},
}};

bool SameRgb(QRgb left, QRgb right) {
    return qRgb(qRed(left), qGreen(left), qBlue(left)) == right;
}

}  // namespace

int BitmapScaleFor(qreal devicePixelRatio) {
    const int scale = static_cast<int>(std::ceil(devicePixelRatio - kRatioSlack));
    return std::clamp(scale, 1, kLargestBitmapScale);
}

QImage LoadSysColorBitmap(const QString& path, const QPalette& palette) {
    QImage image(path);
    if (image.isNull()) {
        return {};
    }
    // Only a colour table is mapped; bitmaps with direct colours are shown as they are.
    QList<QRgb> table = image.colorTable();
    if (table.isEmpty()) {
        return image;
    }
    for (QRgb& entry : table) {
        for (const GreyMapping& mapping : kGreyMappings) {
            if (SameRgb(entry, mapping.grey)) {
                const QColor replacement = palette.color(mapping.role);
                entry = qRgba(replacement.red(), replacement.green(), replacement.blue(),
                              qAlpha(entry));
                break;
            }
        }
    }
    image.setColorTable(table);
    return image;
}

CSysColorStatic::CSysColorStatic(QWidget* parent) : QWidget(parent) {
    // Clicks on the picture belong to the window beneath (the finger map).
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void CSysColorStatic::SetBitmapResource(int bitmapId) {
    m_bitmapId = bitmapId;
    LoadAndShow();
}

void CSysColorStatic::SetOverlayPainter(std::function<void(QPainter&)> painter) {
    m_overlayPainter = std::move(painter);
    update();
}

void CSysColorStatic::LoadAndShow() {
    EnsureCompiledResources();
    const int resourceNumber = m_bitmapId & kResourceNumberMask;
    const int wantedScale = BitmapScaleFor(devicePixelRatioF());
    // A bitmap drawn only at 1x is still shown, enlarged; a missing 1x file is a failed load.
    QImage loaded;
    for (int scale = wantedScale; scale >= 1 && loaded.isNull(); --scale) {
        loaded = LoadSysColorBitmap(BitmapPath(resourceNumber, scale), palette());
        loaded.setDevicePixelRatio(scale);
    }
    if (loaded.isNull()) {
        return;  // keep what is shown
    }
    m_loadedForScale = wantedScale;
    // The old image goes with the assignment; only one copy of each form is ever held.
    m_image = std::move(loaded);
    m_pixmap = QPixmap::fromImage(m_image);
    setFixedSize(m_image.deviceIndependentSize().toSize());
    update();
}

void CSysColorStatic::paintEvent(QPaintEvent* /*event*/) {
    // The window may have moved to a screen of another density since the last load.
    if (m_loadedForScale != 0 && m_loadedForScale != BitmapScaleFor(devicePixelRatioF())) {
        LoadAndShow();
    }
    QPainter painter(this);
    if (!m_pixmap.isNull()) {
        // Exact device pixels need no filtering; a 2x drawing on a 1.5x screen is reduced smoothly.
        painter.setRenderHint(QPainter::SmoothPixmapTransform,
                              !qFuzzyCompare(m_pixmap.devicePixelRatio(), devicePixelRatioF()));
        painter.drawPixmap(QPointF(0, 0), m_pixmap);
    }
    if (m_overlayPainter) {
        m_overlayPainter(painter);
    }
}

void CSysColorStatic::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange && m_bitmapId != kNoBitmap) {
        LoadAndShow();
    }
}
