// Reads grabbed frames at device-independent positions, whatever the screen's scale factor.
#pragma once

#include <QColor>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <cmath>

// The device pixel under the centre of the device-independent pixel at point.
inline QPoint DevicePixel(const QImage& frame, QPoint point) {
    const qreal ratio = frame.devicePixelRatio();
    return {static_cast<int>(std::floor((point.x() + 0.5) * ratio)),
            static_cast<int>(std::floor((point.y() + 0.5) * ratio))};
}

inline QColor PixelAt(const QImage& frame, QPoint point) {
    return frame.pixelColor(DevicePixel(frame, point));
}

// The device pixels that a device-independent rectangle covers.
inline QRect DeviceRect(const QImage& frame, QRect rect) {
    const qreal ratio = frame.devicePixelRatio();
    const QPoint topLeft(static_cast<int>(std::floor(rect.left() * ratio)),
                         static_cast<int>(std::floor(rect.top() * ratio)));
    const QPoint end(static_cast<int>(std::ceil((rect.right() + 1) * ratio)),
                     static_cast<int>(std::ceil((rect.bottom() + 1) * ratio)));
    return {topLeft, end - QPoint(1, 1)};
}
