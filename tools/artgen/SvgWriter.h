// Writes the icon's layers as an SVG document: the scalable icon for the desktop's icon theme.
#pragma once

#include <QString>
#include <vector>

#include "IconArt.h"

class SvgWriter {
public:
    static QString Document(const std::vector<IconLayer>& layers, double canvasSize);
    static bool Write(const QString& path, const QString& document, QString* error);

private:
    static QString PathData(const QPainterPath& path);
    static QString Number(double value);
    static QString Color(const QColor& color);
};
