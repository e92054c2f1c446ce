// Reads the files back byte by byte rather than through Qt's loaders, which forgive too much.
#include "ArtworkCheck.h"

#include <QFile>
#include <QImage>
#include <QXmlStreamReader>
#include <algorithm>
#include <cstdlib>
#include <map>
#include <set>

#include "HandPicture.h"
#include "LittleEndian.h"

namespace {

const std::vector<int> kIconSizes = {16, 24, 32, 48, 64, 96, 128, 256};
const std::vector<int> kIcoDibSizes = {96, 64, 48, 32, 24, 16};
constexpr int kIcoEntryCount = 19;
const QByteArray kPngSignature("\x89PNG\r\n\x1a\n", 8);

bool ReadAll(const QString& path, QByteArray* data) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    *data = file.readAll();
    return true;
}

}  // namespace

QStringList ArtworkCheck::Run() {
    m_problems.clear();
    CheckHandPictures();
    CheckIconPngs();
    CheckIconFile();
    CheckSvg();
    return m_problems;
}

bool ArtworkCheck::ReadHandPicture(int scale, PictureColours* picture) {
    const QString path = m_root.filePath(HandPicture::FilePath(scale));
    QByteArray bmp;
    if (!ReadAll(path, &bmp) || bmp.size() < 54 + 1024) {
        Fail(QStringLiteral("hand picture missing or truncated: %1").arg(path));
        return false;
    }
    const int width = static_cast<int>(ReadU32(bmp, 18));
    const int height = static_cast<int>(ReadU32(bmp, 22));
    const uint32_t pixelOffset = ReadU32(bmp, 10);
    if (bmp.left(2) != "BM" || ReadU32(bmp, 14) != 40 || ReadU16(bmp, 28) != 8 ||
        ReadU32(bmp, 30) != 0 || ReadU32(bmp, 46) != 256 || pixelOffset != 14 + 40 + 1024) {
        Fail(
            QStringLiteral("%1 is not an uncompressed 8-bit BMP with a 256-entry table").arg(path));
        return false;
    }
    const int wantedWidth = HandPicture::kWidth * scale;
    const int wantedHeight = HandPicture::kHeight * scale;
    if (width != wantedWidth || height != wantedHeight) {
        Fail(QStringLiteral("%1 is %2 x %3, not %4 x %5 bottom-up")
                 .arg(path)
                 .arg(width)
                 .arg(height)
                 .arg(wantedWidth)
                 .arg(wantedHeight));
        return false;
    }
    const int stride = DibStride(width, 8);
    if (ReadU32(bmp, 2) != static_cast<uint32_t>(bmp.size()) ||
        bmp.size() != static_cast<int>(pixelOffset) + stride * height) {
        Fail(QStringLiteral("%1: the sizes do not add up").arg(path));
        return false;
    }

    picture->table.clear();
    for (int i = 0; i < 256; ++i) {
        const int at = 54 + i * 4;
        picture->table.push_back(qRgb(static_cast<uint8_t>(bmp[at + 2]),
                                      static_cast<uint8_t>(bmp[at + 1]),
                                      static_cast<uint8_t>(bmp[at])));
    }
    picture->width = width;
    picture->height = height;
    picture->pixels.resize(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const auto index =
                static_cast<uint8_t>(bmp[pixelOffset + (height - 1 - y) * stride + x]);
            picture->pixels[static_cast<size_t>(y) * width + x] = picture->table[index];
        }
    }
    return true;
}

void ArtworkCheck::CheckHandPicture(int scale, const PictureColours& picture) {
    const QString name = HandPicture::FilePath(scale);
    const auto count = [&](QRgb color) {
        return std::count(picture.table.begin(), picture.table.end(), color);
    };
    if (count(HandPicture::kBackground) != 1) {
        Fail(QStringLiteral("%1: the background grey must be in the colour table exactly once")
                 .arg(name));
    }
    if (count(HandPicture::kShadowGrey) != 0 || count(HandPicture::kLightGrey) != 0) {
        Fail(QStringLiteral("%1: the colour table holds a grey that the loader would remap")
                 .arg(name));
    }

    // The picture's border is background everywhere the hands and sleeves do not reach down.
    for (int x = 0; x < picture.width; ++x) {
        if (picture.At(x, 0) != HandPicture::kBackground) {
            Fail(QStringLiteral("%1: top row is not background at x = %2").arg(name).arg(x));
            break;
        }
    }
    // Every 6x6 mark (columns x-3..x+2, rows y-2..y+3), scaled, must land wholly on its white
    // disc; the helpers take picture pixels and look at the device pixels they cover.
    const auto whiteArea = [&](int left, int top, int right, int bottom) {
        for (int y = top * scale; y < (bottom + 1) * scale; ++y) {
            for (int x = left * scale; x < (right + 1) * scale; ++x) {
                if (picture.At(x, y) != HandPicture::kDiscWhite) {
                    return false;
                }
            }
        }
        return true;
    };
    const auto white = [&](int x, int y) { return whiteArea(x, y, x, y); };
    for (size_t finger = 1; finger < HandPicture::kFingertips.size(); ++finger) {
        const HandPicture::Point tip = HandPicture::kFingertips[finger];
        bool disc = whiteArea(tip.x - 3, tip.y - 2, tip.x + 2, tip.y + 3);
        // ... and the disc shows around it: white one pixel beyond the mark on each side.
        disc = disc && white(tip.x - 4, tip.y + 1) && white(tip.x + 3, tip.y) &&
               white(tip.x, tip.y - 3) && white(tip.x, tip.y + 4);
        // About 12 pixels across: skin, not white, 8 pixels out from the centre.
        disc =
            disc && picture.At((tip.x - 8) * scale, (tip.y + 1) * scale) != HandPicture::kDiscWhite;
        disc =
            disc && picture.At((tip.x + 8) * scale, (tip.y + 1) * scale) != HandPicture::kDiscWhite;
        if (!disc) {
            Fail(QStringLiteral("%1: finger %2 has no 12-pixel white disc around (%3, %4)")
                     .arg(name)
                     .arg(finger)
                     .arg(tip.x)
                     .arg(tip.y));
        }
    }
}

void ArtworkCheck::CheckSameDrawing(int scale, const PictureColours& base,
                                    const PictureColours& detailed) {
    // Averaged down to one pixel per picture pixel, the detailed picture must be the same
    // drawing: a shifted, mirrored or stale file differs by far more than anti-aliasing does.
    constexpr double kMaxMeanDifference = 6.0;
    double total = 0;
    for (int y = 0; y < base.height; ++y) {
        for (int x = 0; x < base.width; ++x) {
            int sums[3] = {0, 0, 0};
            for (int dy = 0; dy < scale; ++dy) {
                for (int dx = 0; dx < scale; ++dx) {
                    const QRgb colour = detailed.At(x * scale + dx, y * scale + dy);
                    sums[0] += qRed(colour);
                    sums[1] += qGreen(colour);
                    sums[2] += qBlue(colour);
                }
            }
            const QRgb colour = base.At(x, y);
            const int cells = scale * scale;
            total += (std::abs(sums[0] / cells - qRed(colour)) +
                      std::abs(sums[1] / cells - qGreen(colour)) +
                      std::abs(sums[2] / cells - qBlue(colour))) /
                     3.0;
        }
    }
    const double mean = total / (static_cast<double>(base.width) * base.height);
    if (mean > kMaxMeanDifference) {
        Fail(QStringLiteral("%1 is not the same drawing as %2 (mean difference %3 per channel)")
                 .arg(HandPicture::FilePath(scale), HandPicture::FilePath(1))
                 .arg(mean, 0, 'f', 1));
    }
}

void ArtworkCheck::CheckHandPictures() {
    PictureColours base;
    const bool haveBase = ReadHandPicture(1, &base);
    if (haveBase) {
        CheckHandPicture(1, base);
    }
    for (int scale : HandPicture::kScales) {
        PictureColours detailed;
        if (scale == 1 || !ReadHandPicture(scale, &detailed)) {
            continue;
        }
        CheckHandPicture(scale, detailed);
        if (haveBase) {
            CheckSameDrawing(scale, base, detailed);
        }
    }
}

void ArtworkCheck::CheckIconPngs() {
    for (int size : kIconSizes) {
        const QString path =
            m_root.filePath(QStringLiteral("res/icons/png/varne-%1.png").arg(size));
        const QImage image(path);
        if (image.isNull() || image.width() != size || image.height() != size ||
            !image.hasAlphaChannel()) {
            Fail(QStringLiteral("%1 is not a %2-pixel PNG with alpha").arg(path).arg(size));
        } else if (qAlpha(image.pixel(0, 0)) != 0) {
            Fail(QStringLiteral("%1: the corner should be transparent").arg(path));
        }
    }
}

void ArtworkCheck::CheckIconFile() {
    const QString path = m_root.filePath(QStringLiteral("res/icons/varne.ico"));
    QByteArray ico;
    if (!ReadAll(path, &ico) || ico.size() < 6 || ReadU16(ico, 0) != 0 || ReadU16(ico, 2) != 1) {
        Fail(QStringLiteral("%1 is missing or not an icon file").arg(path));
        return;
    }
    const int count = static_cast<int>(ReadU16(ico, 4));
    if (count != kIcoEntryCount || ico.size() < 6 + 16 * count) {
        Fail(QStringLiteral("%1 holds %2 images, not %3").arg(path).arg(count).arg(kIcoEntryCount));
        return;
    }
    std::multiset<std::pair<int, int>> found;  // (bits per pixel, size)
    for (int i = 0; i < count; ++i) {
        const int at = 6 + 16 * i;
        const int size = static_cast<uint8_t>(ico[at]) == 0 ? 256 : static_cast<uint8_t>(ico[at]);
        const int bits = static_cast<int>(ReadU16(ico, at + 6));
        const uint32_t bytes = ReadU32(ico, at + 8);
        const uint32_t offset = ReadU32(ico, at + 12);
        if (static_cast<uint64_t>(offset) + bytes > static_cast<uint64_t>(ico.size())) {
            Fail(QStringLiteral("icon image %1 runs past the end of the file").arg(i));
            return;
        }
        const QByteArray data = ico.mid(static_cast<int>(offset), static_cast<int>(bytes));
        found.insert({bits, size});
        if (data.startsWith(kPngSignature)) {
            const QImage png = QImage::fromData(data, "PNG");
            if (size != 256 || png.width() != 256 || png.height() != 256) {
                Fail(QStringLiteral("icon image %1: the PNG entry must be 256 pixels").arg(i));
            }
            continue;
        }
        const int tableBytes = bits <= 8 ? (1 << bits) * 4 : 0;
        const int expected =
            40 + tableBytes + DibStride(size, bits) * size + DibStride(size, 1) * size;
        if (ReadU32(data, 0) != 40 || static_cast<int>(ReadU32(data, 4)) != size ||
            static_cast<int>(ReadU32(data, 8)) != 2 * size ||
            static_cast<int>(ReadU16(data, 14)) != bits || data.size() != expected) {
            Fail(QStringLiteral("icon image %1 (%2 bits, %3 pixels) has a malformed DIB")
                     .arg(i)
                     .arg(bits)
                     .arg(size));
        }
        const int colorCount = static_cast<uint8_t>(ico[at + 2]);
        if (colorCount != (bits == 4 ? 16 : 0)) {
            Fail(QStringLiteral("icon image %1: colour count %2 does not fit %3 bits")
                     .arg(i)
                     .arg(colorCount)
                     .arg(bits));
        }
    }
    std::multiset<std::pair<int, int>> expected = {{32, 256}};
    for (int size : kIcoDibSizes) {
        expected.insert({4, size});
        expected.insert({8, size});
        expected.insert({32, size});
    }
    if (found != expected) {
        Fail(QStringLiteral("%1 does not hold 4- and 8-bit images at 96..16 and 32-bit at 256..16")
                 .arg(path));
    }
}

void ArtworkCheck::CheckSvg() {
    const QString path = m_root.filePath(QStringLiteral("res/icons/varne.svg"));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        Fail(QStringLiteral("%1 is missing").arg(path));
        return;
    }
    QXmlStreamReader xml(&file);
    bool square = false;
    int paths = 0;
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement) {
            if (xml.name() == QStringLiteral("svg")) {
                square = xml.attributes().value(QStringLiteral("viewBox")) ==
                         QStringLiteral("0 0 256 256");
            } else if (xml.name() == QStringLiteral("path")) {
                ++paths;
            }
        }
    }
    if (xml.hasError() || !square || paths == 0) {
        Fail(QStringLiteral("%1 is not a well-formed square SVG with paths: %2")
                 .arg(path, xml.errorString()));
    }
}
