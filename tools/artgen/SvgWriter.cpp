// Each layer becomes a group carrying the layer's transform, so gradients, clips and stroke widths
// are interpreted in the same space as in the raster renderer.
#include "SvgWriter.h"

#include <QSaveFile>
#include <QTextStream>

QString SvgWriter::Number(double value) {
    QString text = QString::number(value, 'f', 2);
    while (text.contains(QLatin1Char('.')) &&
           (text.endsWith(QLatin1Char('0')) || text.endsWith(QLatin1Char('.')))) {
        text.chop(1);
    }
    return text == QStringLiteral("-0") ? QStringLiteral("0") : text;
}

QString SvgWriter::Color(const QColor& color) {
    return color.name(QColor::HexRgb);
}

QString SvgWriter::PathData(const QPainterPath& path) {
    QString data;
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element element = path.elementAt(i);
        switch (element.type) {
            case QPainterPath::MoveToElement:
                data += QStringLiteral("M%1 %2").arg(Number(element.x), Number(element.y));
                break;
            case QPainterPath::LineToElement:
                data += QStringLiteral("L%1 %2").arg(Number(element.x), Number(element.y));
                break;
            case QPainterPath::CurveToElement: {
                const QPainterPath::Element c2 = path.elementAt(i + 1);
                const QPainterPath::Element end = path.elementAt(i + 2);
                data += QStringLiteral("C%1 %2 %3 %4 %5 %6")
                            .arg(Number(element.x), Number(element.y), Number(c2.x), Number(c2.y),
                                 Number(end.x), Number(end.y));
                i += 2;
                break;
            }
            case QPainterPath::CurveToDataElement:
                break;  // consumed with its curve
        }
    }
    return data;
}

QString SvgWriter::Document(const std::vector<IconLayer>& layers, double canvasSize) {
    QString defs;
    QString body;
    QTextStream d(&defs);
    QTextStream b(&body);
    const QString size = Number(canvasSize);
    for (size_t index = 0; index < layers.size(); ++index) {
        const IconLayer& layer = layers[index];
        QString paint;
        QString opacity;
        if (layer.paint.kind == IconPaint::Kind::Solid) {
            paint = Color(layer.paint.color);
            if (layer.paint.color.alpha() != 255) {
                opacity = Number(layer.paint.color.alphaF());
            }
        } else {
            const QString id = QStringLiteral("paint%1").arg(index);
            paint = QStringLiteral("url(#%1)").arg(id);
            if (layer.paint.kind == IconPaint::Kind::Linear) {
                d << "    <linearGradient id=\"" << id
                  << "\" gradientUnits=\"userSpaceOnUse\" x1=\"" << Number(layer.paint.start.x())
                  << "\" y1=\"" << Number(layer.paint.start.y()) << "\" x2=\""
                  << Number(layer.paint.end.x()) << "\" y2=\"" << Number(layer.paint.end.y())
                  << "\">\n";
            } else {
                d << "    <radialGradient id=\"" << id
                  << "\" gradientUnits=\"userSpaceOnUse\" cx=\"" << Number(layer.paint.start.x())
                  << "\" cy=\"" << Number(layer.paint.start.y()) << "\" r=\""
                  << Number(layer.paint.radius) << "\">\n";
            }
            for (const auto& [at, color] : layer.paint.stops) {
                d << "      <stop offset=\"" << Number(at) << "\" stop-color=\"" << Color(color)
                  << "\"";
                if (color.alpha() != 255) {
                    d << " stop-opacity=\"" << Number(color.alphaF()) << "\"";
                }
                d << "/>\n";
            }
            d << (layer.paint.kind == IconPaint::Kind::Linear ? "    </linearGradient>\n"
                                                              : "    </radialGradient>\n");
        }

        QString clip;
        if (!layer.clip.isEmpty()) {
            const QString id = QStringLiteral("clip%1").arg(index);
            d << "    <clipPath id=\"" << id << "\"><path d=\"" << PathData(layer.clip)
              << "\"/></clipPath>\n";
            clip = QStringLiteral(" clip-path=\"url(#%1)\"").arg(id);
        }

        const QTransform& t = layer.transform;
        b << "  <g transform=\"matrix(" << Number(t.m11()) << " " << Number(t.m12()) << " "
          << Number(t.m21()) << " " << Number(t.m22()) << " " << Number(t.dx()) << " "
          << Number(t.dy()) << ")\">\n";
        b << "    <path" << clip << " d=\"" << PathData(layer.path) << "\"";
        if (layer.strokeWidth > 0) {
            b << " fill=\"none\" stroke=\"" << paint << "\" stroke-width=\""
              << Number(layer.strokeWidth)
              << "\" stroke-linecap=\"round\" stroke-linejoin=\"round\"";
            if (!opacity.isEmpty()) {
                b << " stroke-opacity=\"" << opacity << "\"";
            }
        } else {
            b << " fill=\"" << paint << "\" fill-rule=\""
              << (layer.path.fillRule() == Qt::WindingFill ? "nonzero" : "evenodd") << "\"";
            if (!opacity.isEmpty()) {
                b << " fill-opacity=\"" << opacity << "\"";
            }
        }
        b << "/>\n  </g>\n";
    }
    d.flush();
    b.flush();
    return QStringLiteral(
               "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
               "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1\" height=\"%1\" viewBox=\"0 0 "
               "%1 %1\">\n"
               "  <title>Varne</title>\n"
               "  <defs>\n%2  </defs>\n%3</svg>\n")
        .arg(size, defs, body);
}

bool SvgWriter::Write(const QString& path, const QString& document, QString* error) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(document.toUtf8()) < 0 || !file.commit()) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}
