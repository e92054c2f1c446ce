// The hand picture: a 256-colour bitmap whose greys follow the palette, reloaded on change.
#include "CSysColorStatic.h"

#include <QEvent>
#include <QPainter>
#include <QPalette>
#include <array>
#include <utility>

#include "DialogBuilder.h"

namespace {

constexpr int kResourceNumberMask = 0xFFFF;

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
    const QString path = QStringLiteral(":/bitmaps/%1.bmp").arg(m_bitmapId & kResourceNumberMask);
    QImage loaded = LoadSysColorBitmap(path, palette());
    if (loaded.isNull()) {
        return;  // keep what is shown
    }
    // The old image goes with the assignment; only one copy of each form is ever held.
    m_image = std::move(loaded);
    m_pixmap = QPixmap::fromImage(m_image);
    setFixedSize(m_image.size());
    update();
}

void CSysColorStatic::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    if (!m_pixmap.isNull()) {
        painter.drawPixmap(0, 0, m_pixmap);
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
