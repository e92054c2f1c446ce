// Byte-by-byte BMP encoding; Qt's writer would pick its own header and table size.
#include "BmpWriter.h"

#include <QSaveFile>
#include <stdexcept>

#include "LittleEndian.h"

namespace {
constexpr uint32_t kBiRgb = 0;
constexpr int32_t kPixelsPerMetre = 3780;  // 96 dpi
}  // namespace

QByteArray BmpWriter::Encode(const IndexedImage& image) {
    if (static_cast<int>(image.palette.size()) != kTableEntries ||
        image.indices.size() != static_cast<size_t>(image.width) * image.height) {
        throw std::invalid_argument("an 8-bit BMP needs a 256-entry table and one index per pixel");
    }
    const int stride = DibStride(image.width, kBitsPerPixel);
    const uint32_t pixelOffset = kFileHeaderSize + kInfoHeaderSize + kTableEntries * 4;
    const uint32_t pixelBytes = static_cast<uint32_t>(stride) * image.height;

    QByteArray out;
    out.reserve(static_cast<int>(pixelOffset + pixelBytes));
    out.append("BM", 2);
    AppendU32(out, pixelOffset + pixelBytes);
    AppendU32(out, 0);  // two reserved words
    AppendU32(out, pixelOffset);

    AppendU32(out, kInfoHeaderSize);
    AppendS32(out, image.width);
    AppendS32(out, image.height);  // positive: bottom-up
    AppendU16(out, 1);             // planes
    AppendU16(out, kBitsPerPixel);
    AppendU32(out, kBiRgb);
    AppendU32(out, pixelBytes);
    AppendS32(out, kPixelsPerMetre);
    AppendS32(out, kPixelsPerMetre);
    AppendU32(out, kTableEntries);  // colours used
    AppendU32(out, 0);              // all colours important

    for (QRgb color : image.palette) {
        AppendU8(out, qBlue(color));
        AppendU8(out, qGreen(color));
        AppendU8(out, qRed(color));
        AppendU8(out, 0);
    }
    for (int y = image.height - 1; y >= 0; --y) {
        for (int x = 0; x < image.width; ++x) {
            AppendU8(out, image.At(x, y));
        }
        for (int pad = image.width; pad < stride; ++pad) {
            AppendU8(out, 0);
        }
    }
    return out;
}

bool BmpWriter::Write(const QString& path, const IndexedImage& image, QString* error) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(Encode(image)) < 0 || !file.commit()) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}
