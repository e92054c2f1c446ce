// Icon DIBs store twice the height (colour rows, then mask rows), both bottom-up.
#include "IcoWriter.h"

#include <QBuffer>
#include <QSaveFile>
#include <stdexcept>

#include "ColorQuantizer.h"
#include "LittleEndian.h"

namespace {
constexpr int kPngEntrySize = 256;
constexpr int kDirectoryByteForSize256 = 0;
}  // namespace

QByteArray IcoWriter::InfoHeader(int size, int bitsPerPixel, int imageBytes) {
    QByteArray out;
    AppendU32(out, kInfoHeaderSize);
    AppendS32(out, size);
    AppendS32(out, size * 2);  // colour rows and mask rows
    AppendU16(out, 1);
    AppendU16(out, static_cast<uint32_t>(bitsPerPixel));
    AppendU32(out, 0);  // uncompressed
    AppendU32(out, static_cast<uint32_t>(imageBytes));
    AppendS32(out, 0);
    AppendS32(out, 0);
    AppendU32(out, 0);  // full table for the depth
    AppendU32(out, 0);
    return out;
}

QByteArray IcoWriter::AndMask(const QImage& image, int threshold) {
    const int size = image.width();
    const int stride = DibStride(size, 1);
    QByteArray out(stride * size, '\0');
    for (int y = 0; y < size; ++y) {
        const int row = (size - 1 - y) * stride;
        for (int x = 0; x < size; ++x) {
            if (qAlpha(image.pixel(x, y)) < threshold) {
                out[row + x / 8] = static_cast<char>(out[row + x / 8] | (0x80 >> (x % 8)));
            }
        }
    }
    return out;
}

void IcoWriter::AddIndexed(const QImage& image, int bitsPerPixel) {
    if (bitsPerPixel != 4 && bitsPerPixel != 8) {
        throw std::invalid_argument("indexed icon entries are 4 or 8 bits per pixel");
    }
    const QImage straight = image.convertToFormat(QImage::Format_ARGB32);
    const int size = straight.width();
    const int tableSize = 1 << bitsPerPixel;

    std::vector<bool> transparent(static_cast<size_t>(size) * size);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            transparent[static_cast<size_t>(y) * size + x] =
                qAlpha(straight.pixel(x, y)) < kOpaqueAlpha;
        }
    }
    // Index 0 stands under the mask's transparent pixels; black is what old readers expect there.
    ColorQuantizer quantizer(tableSize);
    quantizer.Reserve(qRgb(0, 0, 0));
    const IndexedImage indexed = quantizer.Quantize(straight, transparent);

    const int stride = DibStride(size, bitsPerPixel);
    QByteArray pixels(stride * size, '\0');
    for (int y = 0; y < size; ++y) {
        const int row = (size - 1 - y) * stride;
        for (int x = 0; x < size; ++x) {
            const uint8_t index = indexed.At(x, y);
            if (bitsPerPixel == 8) {
                pixels[row + x] = static_cast<char>(index);
            } else {
                const int shift = (x % 2 == 0) ? 4 : 0;  // first pixel in the high nibble
                pixels[row + x / 2] = static_cast<char>(pixels[row + x / 2] | (index << shift));
            }
        }
    }
    const QByteArray mask = AndMask(straight, kOpaqueAlpha);

    Entry entry{size, bitsPerPixel == 4 ? tableSize : 0, bitsPerPixel, {}};
    entry.data = InfoHeader(size, bitsPerPixel, static_cast<int>(pixels.size() + mask.size()));
    for (QRgb color : indexed.palette) {
        AppendU8(entry.data, qBlue(color));
        AppendU8(entry.data, qGreen(color));
        AppendU8(entry.data, qRed(color));
        AppendU8(entry.data, 0);
    }
    entry.data += pixels;
    entry.data += mask;
    m_entries.push_back(std::move(entry));
}

void IcoWriter::AddTrueColor(const QImage& image) {
    const QImage straight = image.convertToFormat(QImage::Format_ARGB32);
    const int size = straight.width();
    QByteArray pixels;
    pixels.reserve(size * size * 4);
    for (int y = size - 1; y >= 0; --y) {
        for (int x = 0; x < size; ++x) {
            const QRgb pixel = straight.pixel(x, y);
            AppendU8(pixels, qBlue(pixel));
            AppendU8(pixels, qGreen(pixel));
            AppendU8(pixels, qRed(pixel));
            AppendU8(pixels, qAlpha(pixel));
        }
    }
    const QByteArray mask = AndMask(straight, 1);
    Entry entry{size, 0, 32, InfoHeader(size, 32, static_cast<int>(pixels.size() + mask.size()))};
    entry.data += pixels;
    entry.data += mask;
    m_entries.push_back(std::move(entry));
}

void IcoWriter::AddPng(const QImage& image) {
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.convertToFormat(QImage::Format_ARGB32).save(&buffer, "PNG")) {
        throw std::runtime_error("PNG encoding failed");
    }
    m_entries.push_back({image.width(), 0, 32, png});
}

QByteArray IcoWriter::Encode() const {
    QByteArray out;
    AppendU16(out, 0);  // reserved
    AppendU16(out, 1);  // icon, not cursor
    AppendU16(out, static_cast<uint32_t>(m_entries.size()));
    uint32_t offset = kDirectorySize + kEntrySize * static_cast<uint32_t>(m_entries.size());
    for (const Entry& entry : m_entries) {
        const int sizeByte = entry.size >= kPngEntrySize ? kDirectoryByteForSize256 : entry.size;
        AppendU8(out, static_cast<uint32_t>(sizeByte));
        AppendU8(out, static_cast<uint32_t>(sizeByte));
        AppendU8(out, static_cast<uint32_t>(entry.colorCount));
        AppendU8(out, 0);
        AppendU16(out, 1);  // planes
        AppendU16(out, static_cast<uint32_t>(entry.bitsPerPixel));
        AppendU32(out, static_cast<uint32_t>(entry.data.size()));
        AppendU32(out, offset);
        offset += static_cast<uint32_t>(entry.data.size());
    }
    for (const Entry& entry : m_entries) {
        out += entry.data;
    }
    return out;
}

bool IcoWriter::Write(const QString& path, QString* error) const {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(Encode()) < 0 || !file.commit()) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}
