// Tile seen slightly from the side (an affine tilt plus a visible glass edge) with a loop-pattern
// fingerprint: nested hairpin ridges whose legs flare outwards, a few broken, clipped to a
// fingertip.
#include "IconArt.h"

#include <QBrush>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>
#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr double kTileSize = 200.0;
constexpr double kTileCorner = 42.0;
const QPointF kPrintCentre(100.0, 98.0);
constexpr double kPrintHalfWidth = 66.0;
constexpr double kPrintHalfHeight = 80.0;
const QPointF kEdgeDepth(11.0, 9.0);
const QColor kRidge(26, 40, 60);
constexpr double kLoopDrift = 0.38;

IconPaint Solid(QColor color) {
    IconPaint paint;
    paint.color = color;
    return paint;
}

IconPaint Linear(QPointF start, QPointF end, std::vector<std::pair<double, QColor>> stops) {
    IconPaint paint;
    paint.kind = IconPaint::Kind::Linear;
    paint.start = start;
    paint.end = end;
    paint.stops = std::move(stops);
    return paint;
}

IconPaint Radial(QPointF centre, double radius, std::vector<std::pair<double, QColor>> stops) {
    IconPaint paint;
    paint.kind = IconPaint::Kind::Radial;
    paint.start = centre;
    paint.radius = radius;
    paint.stops = std::move(stops);
    return paint;
}

QBrush ToBrush(const IconPaint& paint) {
    auto applyStops = [&](QGradient& gradient) {
        for (const auto& [at, color] : paint.stops) {
            gradient.setColorAt(at, color);
        }
    };
    switch (paint.kind) {
        case IconPaint::Kind::Linear: {
            QLinearGradient gradient(paint.start, paint.end);
            applyStops(gradient);
            return QBrush(gradient);
        }
        case IconPaint::Kind::Radial: {
            QRadialGradient gradient(paint.start, paint.radius);
            applyStops(gradient);
            return QBrush(gradient);
        }
        case IconPaint::Kind::Solid:
            break;
    }
    return QBrush(paint.color);
}

// Ridge count per icon size: a pitch of about three pixels or more, below which the ridges
// beat against the pixel grid (moire). Up to 32 pixels the pixel-fitted drawing is used.
int RidgeCountFor(int pixelSize) {
    if (pixelSize <= 48)
        return 5;
    if (pixelSize <= 64)
        return 6;
    if (pixelSize <= 96)
        return 8;
    return 12;
}

}  // namespace

QPainterPath IconArt::TileShape() {
    QPainterPath tile;
    tile.addRoundedRect(QRectF(0, 0, kTileSize, kTileSize), kTileCorner, kTileCorner);
    return tile;
}

QTransform IconArt::TileView() {
    // Narrowed and tilted: the right edge sits a little lower, as if turned away from the viewer.
    return QTransform(0.88, 0.07, -0.05, 0.92, 40.0, 16.0);
}

QPainterPath IconArt::Ridges(int ridgeCount) {
    const double outer = kPrintHalfWidth * 1.18;
    const double gap = outer / (ridgeCount + 0.6);
    const double pi = std::numbers::pi;
    QPainterPath ridges;

    // Innermost: a short rod in the core.
    ridges.moveTo(kPrintCentre + QPointF(0, -gap * 0.35));
    ridges.lineTo(kPrintCentre + QPointF(0, gap * 1.2));

    for (int i = 0; i < ridgeCount; ++i) {
        const double radius = gap * (i + 1);
        // Open at the bottom; the legs widen as they fall away from the core.
        const double from = -0.38 * pi;
        const double to = 1.38 * pi;
        constexpr int kSteps = 72;
        // A few deterministic breaks make it read as skin rather than as target rings.
        const double breakAt = (i % 3 == 1) ? 0.25 + 0.13 * i : (i % 4 == 3 ? 0.7 : -1.0);
        const double breakHalf = gap * 0.6 / std::max(radius, 1.0) / (to - from);
        bool drawing = false;
        for (int step = 0; step <= kSteps; ++step) {
            const double t = static_cast<double>(step) / kSteps;
            const double angle = to - (to - from) * t;
            const double below = std::max(0.0, -std::sin(angle));
            const double rx = radius * (1.0 + 0.45 * below);
            const double ry = radius * 1.18;
            // Below the core both legs drift the same way: the loop opens to one side.
            const QPointF point =
                kPrintCentre + QPointF(rx * std::cos(angle) - below * radius * kLoopDrift,
                                       -ry * std::sin(angle) + below * gap * 0.6);
            const bool inBreak = breakAt > 0 && std::abs(t - breakAt) < breakHalf;
            if (inBreak) {
                drawing = false;
            } else if (!drawing) {
                ridges.moveTo(point);
                drawing = true;
            } else {
                ridges.lineTo(point);
            }
        }
    }
    return ridges;
}

std::vector<IconLayer> IconArt::Layers(int pixelSize) {
    std::vector<IconLayer> layers;
    const QTransform view = TileView();
    const QPainterPath tile = TileShape();

    // Soft shadow on the surface below.
    {
        IconLayer shadow;
        shadow.path.addEllipse(QPointF(0, 0), 1.0, 1.0);
        shadow.paint =
            Radial(QPointF(0, 0), 1.0, {{0.0, QColor(0, 0, 0, 90)}, {1.0, QColor(0, 0, 0, 0)}});
        shadow.transform = QTransform::fromScale(104, 16) * QTransform::fromTranslate(136, 232);
        layers.push_back(shadow);
    }
    // The glass edge: the face swept back by the tile's depth.
    {
        QPainterPath edge;
        constexpr int kSweepSteps = 6;
        for (int step = 0; step <= kSweepSteps; ++step) {
            edge = edge.united(
                view.map(tile).translated(kEdgeDepth * (static_cast<double>(step) / kSweepSteps)));
        }
        IconLayer layer;
        layer.path = edge.simplified();
        layer.paint = Linear(QPointF(40, 40), QPointF(230, 230),
                             {{0.0, QColor(150, 176, 200)}, {1.0, QColor(82, 108, 138)}});
        layers.push_back(layer);
    }
    // The face.
    {
        IconLayer face;
        face.path = tile;
        face.transform = view;
        face.paint = Linear(QPointF(0, 0), QPointF(kTileSize, kTileSize),
                            {{0.0, QColor(252, 254, 255)},
                             {0.55, QColor(226, 236, 245)},
                             {1.0, QColor(190, 208, 226)}});
        layers.push_back(face);
    }
    // The fingerprint.
    {
        IconLayer print;
        const int ridgeCount = RidgeCountFor(pixelSize);
        print.path = Ridges(ridgeCount);
        print.transform = view;
        print.paint = Solid(kRidge);
        const double gap = kPrintHalfWidth * 1.18 / (ridgeCount + 0.6);
        print.strokeWidth = gap * (pixelSize <= 48 ? 0.5 : 0.46);
        print.clip.addEllipse(kPrintCentre + QPointF(0, 4), kPrintHalfWidth, kPrintHalfHeight);
        layers.push_back(print);
    }
    // Gloss over the upper left, cut off by a sweeping curve.
    {
        QPainterPath sweep;
        sweep.addEllipse(QPointF(40, -120), 230, 220);
        IconLayer gloss;
        gloss.path = tile.intersected(sweep).simplified();
        gloss.transform = view;
        gloss.paint = Linear(QPointF(0, 0), QPointF(60, 110),
                             {{0.0, QColor(255, 255, 255, 190)}, {1.0, QColor(255, 255, 255, 40)}});
        layers.push_back(gloss);
    }
    // Rim: a bright inner line and a thin dark outline.
    {
        IconLayer rim;
        rim.path = tile;
        rim.transform = view;
        rim.paint = Solid(QColor(60, 86, 116, 220));
        rim.strokeWidth = pixelSize <= 24 ? 6.0 : 2.5;
        layers.push_back(rim);
    }
    return layers;
}

QImage IconArt::RenderPixelFitted(int pixelSize) {
    // Ridge pitch in pixels: one ridge and one gap at 16, an airier two-pixel gap above.
    const int pitch = pixelSize <= 16 ? 2 : 3;
    const int inset = pixelSize <= 16 ? 1 : 2;
    QImage image(pixelSize, pixelSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);

    // The tile, its glass edge one pixel deeper on the lower right, and a thin rim.
    const QRectF face(inset, inset, pixelSize - 2 * inset - 1, pixelSize - 2 * inset - 1);
    const double corner = pixelSize / 5.0;
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(82, 108, 138));
    painter.drawRoundedRect(face.translated(1, 1), corner, corner);
    QLinearGradient glass(face.topLeft(), face.bottomRight());
    glass.setColorAt(0, QColor(252, 254, 255));
    glass.setColorAt(1, QColor(206, 220, 234));
    painter.setBrush(glass);
    painter.setPen(QPen(QColor(60, 86, 116), 1.0));
    painter.drawRoundedRect(face.adjusted(0.5, 0.5, -0.5, -0.5), corner, corner);

    // The print: nested arches around a core, their legs running straight down, on whole
    // pixels and without anti-aliasing so every ridge stays one sharp pixel wide.
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(kRidge, 1));
    painter.setBrush(Qt::NoBrush);
    const int centreX = pixelSize / 2 - 1;
    const int top = inset + pitch;
    const int bottom = pixelSize - inset - pitch;
    const int rings = (centreX - inset - 2) / pitch;
    const int coreY = top + rings * pitch;
    // A fingertip's outline: the outer legs end in a rounded bottom rather than a square one.
    QPainterPath tip;
    const int halfWidth = rings * pitch + 1;
    tip.addRoundedRect(QRectF(centreX - halfWidth, top - 1, 2 * halfWidth + 1, bottom - top + 2),
                       halfWidth, halfWidth * 0.8);
    painter.setClipPath(tip);
    painter.drawLine(centreX, coreY, centreX, bottom);
    for (int ring = 1; ring <= rings; ++ring) {
        const int radius = ring * pitch;
        const QRect box(centreX - radius, coreY - radius, 2 * radius, 2 * radius);
        constexpr int kHalfTurn = 180 * 16;
        painter.drawArc(box, 0, kHalfTurn);
        painter.drawLine(centreX - radius, coreY, centreX - radius, bottom);
        painter.drawLine(centreX + radius, coreY, centreX + radius, bottom);
    }
    // Breaks in alternate legs make it read as skin rather than as an arch.
    painter.setClipping(false);
    painter.setPen(Qt::NoPen);
    painter.setBrush(glass);
    for (int ring = 2; ring <= rings; ring += 2) {
        const int side = ring % 4 == 2 ? 1 : -1;
        painter.drawRect(centreX + side * ring * pitch, coreY + pitch + ring, 1, pitch - 1);
    }
    painter.end();
    return image.convertToFormat(QImage::Format_ARGB32);
}

QImage IconArt::Render(int pixelSize) {
    if (pixelSize <= kLargestPixelFitted) {
        return RenderPixelFitted(pixelSize);
    }
    QImage image(pixelSize, pixelSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QTransform toPixels = QTransform::fromScale(pixelSize / kCanvas, pixelSize / kCanvas);
    for (const IconLayer& layer : Layers(pixelSize)) {
        painter.setTransform(layer.transform * toPixels);
        if (!layer.clip.isEmpty()) {
            painter.setClipPath(layer.clip);
        } else {
            painter.setClipping(false);
        }
        if (layer.strokeWidth > 0) {
            painter.setBrush(Qt::NoBrush);
            painter.setPen(QPen(ToBrush(layer.paint), layer.strokeWidth, Qt::SolidLine,
                                Qt::RoundCap, Qt::RoundJoin));
        } else {
            painter.setPen(Qt::NoPen);
            painter.setBrush(ToBrush(layer.paint));
        }
        painter.drawPath(layer.path);
    }
    painter.end();
    return image.convertToFormat(QImage::Format_ARGB32);
}
