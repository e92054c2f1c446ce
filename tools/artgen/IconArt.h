// The application icon's geometry: a fingerprint on a glass tile, as layers that both the raster
// renderer and the SVG writer consume, so every size and the scalable icon agree.
#pragma once

#include <QColor>
#include <QImage>
#include <QPainterPath>
#include <QTransform>
#include <utility>
#include <vector>

struct IconPaint {
    enum class Kind { Solid, Linear, Radial };
    Kind kind = Kind::Solid;
    QColor color;
    QPointF start;  // linear: start point; radial: centre
    QPointF end;    // linear only
    double radius = 0;
    std::vector<std::pair<double, QColor>> stops;
};

struct IconLayer {
    QPainterPath path;
    IconPaint paint;
    double strokeWidth = 0;  // 0 fills the path, otherwise strokes it with round caps and joins
    QTransform transform;    // maps the layer's own space into the 256-unit canvas; affine only
    QPainterPath clip;       // in the layer's own space; empty means none
};

class IconArt {
public:
    static constexpr double kCanvas = 256.0;

    // Fewer, bolder ridges at small sizes keep the print from turning grey.
    static std::vector<IconLayer> Layers(int pixelSize);
    // Up to kLargestPixelFitted pixels the icon is drawn on the pixel grid (RenderPixelFitted);
    // above, from the layers.
    static QImage Render(int pixelSize);

    static constexpr int kLargestPixelFitted = 32;

private:
    // A face-on tile with whole-pixel ridges one pixel wide: the tilted, anti-aliased drawing
    // turns to a grey smudge or moire at these sizes.
    static QImage RenderPixelFitted(int pixelSize);
    static QPainterPath TileShape();
    static QTransform TileView();
    static QPainterPath Ridges(int ridgeCount);
};
