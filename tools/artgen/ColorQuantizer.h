// Reduces a true-colour picture to a small colour table (median cut), for BMP and ICO entries.
#pragma once

#include <QImage>
#include <QRgb>
#include <cstdint>
#include <vector>

// A picture as colour-table indices, top row first.
struct IndexedImage {
    int width = 0;
    int height = 0;
    std::vector<QRgb> palette;  // always exactly the table size, unused entries black
    std::vector<uint8_t> indices;

    uint8_t At(int x, int y) const { return indices[static_cast<size_t>(y) * width + x]; }
};

class ColorQuantizer {
public:
    explicit ColorQuantizer(int paletteSize);

    // Fixed entries, placed from index 0 on in the order given; index 0 also serves the
    // pixels marked in Quantize's mask.
    void Reserve(QRgb color);
    // Colours no computed entry may equal (a reader remaps them); such entries move by one step.
    void Avoid(QRgb color);

    // `opaque` is read as RGB; pixels whose mask entry is true get index 0 whatever their colour.
    IndexedImage Quantize(const QImage& opaque, const std::vector<bool>& toFirstEntry) const;

private:
    struct Bucket;

    std::vector<QRgb> ComputeEntries(const std::vector<std::pair<QRgb, int>>& histogram,
                                     int count) const;
    QRgb Nudged(QRgb color, const std::vector<QRgb>& taken) const;

    int m_paletteSize;
    std::vector<QRgb> m_reserved;
    std::vector<QRgb> m_avoided;
};
