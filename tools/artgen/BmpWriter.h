// Writes an 8-bit, 256-entry colour-table BMP exactly as the Windows loader expects it.
#pragma once

#include <QByteArray>
#include <QString>

#include "ColorQuantizer.h"

class BmpWriter {
public:
    static constexpr int kFileHeaderSize = 14;
    static constexpr int kInfoHeaderSize = 40;
    static constexpr int kBitsPerPixel = 8;
    static constexpr int kTableEntries = 256;

    // BITMAPFILEHEADER, BITMAPINFOHEADER, the full table, then bottom-up padded rows.
    static QByteArray Encode(const IndexedImage& image);
    static bool Write(const QString& path, const IndexedImage& image, QString* error);
};
