// Median cut over the picture's colour histogram, weighted by pixel count.
#include "ColorQuantizer.h"

#include <algorithm>
#include <array>
#include <map>
#include <stdexcept>

struct ColorQuantizer::Bucket {
    std::vector<std::pair<QRgb, int>> colors;

    static int Channel(QRgb color, int channel) {
        return channel == 0 ? qRed(color) : channel == 1 ? qGreen(color) : qBlue(color);
    }

    int Weight() const {
        int sum = 0;
        for (const auto& [color, count] : colors) {
            sum += count;
        }
        return sum;
    }

    // Returns the widest channel and its range.
    std::pair<int, int> WidestChannel() const {
        int bestChannel = 0;
        int bestRange = -1;
        for (int channel = 0; channel < 3; ++channel) {
            int low = 255;
            int high = 0;
            for (const auto& entry : colors) {
                low = std::min(low, Channel(entry.first, channel));
                high = std::max(high, Channel(entry.first, channel));
            }
            if (high - low > bestRange) {
                bestRange = high - low;
                bestChannel = channel;
            }
        }
        return {bestChannel, bestRange};
    }

    QRgb Mean() const {
        std::array<int64_t, 3> sums{};
        int64_t total = 0;
        for (const auto& [color, count] : colors) {
            for (int channel = 0; channel < 3; ++channel) {
                sums[channel] += static_cast<int64_t>(Channel(color, channel)) * count;
            }
            total += count;
        }
        auto mean = [&](int channel) {
            return static_cast<int>((sums[channel] + total / 2) / total);
        };
        return qRgb(mean(0), mean(1), mean(2));
    }
};

ColorQuantizer::ColorQuantizer(int paletteSize) : m_paletteSize(paletteSize) {}

void ColorQuantizer::Reserve(QRgb color) {
    m_reserved.push_back(qRgb(qRed(color), qGreen(color), qBlue(color)));
}

void ColorQuantizer::Avoid(QRgb color) {
    m_avoided.push_back(qRgb(qRed(color), qGreen(color), qBlue(color)));
}

std::vector<QRgb> ColorQuantizer::ComputeEntries(const std::vector<std::pair<QRgb, int>>& histogram,
                                                 int count) const {
    std::vector<QRgb> entries;
    if (histogram.empty() || count <= 0) {
        return entries;
    }
    if (static_cast<int>(histogram.size()) <= count) {
        for (const auto& entry : histogram) {
            entries.push_back(entry.first);
        }
        return entries;
    }
    std::vector<Bucket> buckets(1);
    buckets[0].colors = histogram;
    while (static_cast<int>(buckets.size()) < count) {
        // Split where it buys the most: wide range times many pixels.
        int64_t bestScore = 0;
        int best = -1;
        for (size_t i = 0; i < buckets.size(); ++i) {
            if (buckets[i].colors.size() < 2) {
                continue;
            }
            const int64_t score =
                static_cast<int64_t>(buckets[i].WidestChannel().second) * buckets[i].Weight();
            if (score > bestScore) {
                bestScore = score;
                best = static_cast<int>(i);
            }
        }
        if (best < 0) {
            break;
        }
        Bucket& bucket = buckets[best];
        const int channel = bucket.WidestChannel().first;
        std::sort(bucket.colors.begin(), bucket.colors.end(),
                  [channel](const auto& a, const auto& b) {
                      return Bucket::Channel(a.first, channel) < Bucket::Channel(b.first, channel);
                  });
        const int half = bucket.Weight() / 2;
        size_t split = 1;
        for (int running = 0; split < bucket.colors.size(); ++split) {
            running += bucket.colors[split - 1].second;
            if (running >= half) {
                break;
            }
        }
        split = std::clamp<size_t>(split, 1, bucket.colors.size() - 1);
        Bucket upper;
        upper.colors.assign(bucket.colors.begin() + static_cast<std::ptrdiff_t>(split),
                            bucket.colors.end());
        bucket.colors.resize(split);
        buckets.push_back(std::move(upper));
    }
    for (const Bucket& bucket : buckets) {
        entries.push_back(bucket.Mean());
    }
    return entries;
}

QRgb ColorQuantizer::Nudged(QRgb color, const std::vector<QRgb>& taken) const {
    auto forbidden = [&](QRgb candidate) {
        return std::find(m_avoided.begin(), m_avoided.end(), candidate) != m_avoided.end() ||
               std::find(taken.begin(), taken.end(), candidate) != taken.end();
    };
    // One step on blue, then on red, is invisible and leaves the grey look intact.
    for (int step = 1; forbidden(color) && step < 8; ++step) {
        const int blue = qBlue(color) + (qBlue(color) + step <= 255 ? step : -step);
        const QRgb candidate = qRgb(qRed(color), qGreen(color), blue);
        if (!forbidden(candidate)) {
            return candidate;
        }
        const int red = qRed(color) + (qRed(color) + step <= 255 ? step : -step);
        const QRgb other = qRgb(red, qGreen(color), qBlue(color));
        if (!forbidden(other)) {
            return other;
        }
    }
    return color;
}

IndexedImage ColorQuantizer::Quantize(const QImage& opaque,
                                      const std::vector<bool>& toFirstEntry) const {
    if (m_reserved.empty() || static_cast<int>(m_reserved.size()) > m_paletteSize) {
        throw std::invalid_argument("the first colour-table entry must be reserved");
    }
    const QImage rgb = opaque.convertToFormat(QImage::Format_RGB32);
    const int pixelCount = rgb.width() * rgb.height();
    if (static_cast<int>(toFirstEntry.size()) != pixelCount) {
        throw std::invalid_argument("mask size does not match the picture");
    }

    std::map<QRgb, int> counts;
    for (int y = 0; y < rgb.height(); ++y) {
        const QRgb* row = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x) {
            if (!toFirstEntry[static_cast<size_t>(y) * rgb.width() + x]) {
                ++counts[row[x] | 0xff000000u];
            }
        }
    }
    // Reserved colours are matched exactly; the rest get the free entries.
    std::vector<std::pair<QRgb, int>> histogram;
    for (const auto& entry : counts) {
        if (std::find(m_reserved.begin(), m_reserved.end(), entry.first) == m_reserved.end()) {
            histogram.push_back(entry);
        }
    }
    const int freeEntries = m_paletteSize - static_cast<int>(m_reserved.size());

    IndexedImage result;
    result.width = rgb.width();
    result.height = rgb.height();
    result.palette = m_reserved;
    for (QRgb entry : ComputeEntries(histogram, freeEntries)) {
        result.palette.push_back(Nudged(entry, result.palette));
    }
    const size_t used = result.palette.size();
    result.palette.resize(static_cast<size_t>(m_paletteSize), qRgb(0, 0, 0));

    // Masked pixels own index 0; everything else picks its nearest entry among the rest.
    std::map<QRgb, uint8_t> nearest;
    auto lookup = [&](QRgb color) {
        auto found = nearest.find(color);
        if (found != nearest.end()) {
            return found->second;
        }
        int bestIndex = used > 1 ? 1 : 0;
        int bestDistance = INT32_MAX;
        for (size_t i = used > 1 ? 1 : 0; i < used; ++i) {
            const int dr = qRed(color) - qRed(result.palette[i]);
            const int dg = qGreen(color) - qGreen(result.palette[i]);
            const int db = qBlue(color) - qBlue(result.palette[i]);
            const int distance = 3 * dr * dr + 4 * dg * dg + 2 * db * db;
            if (distance < bestDistance) {
                bestDistance = distance;
                bestIndex = static_cast<int>(i);
            }
        }
        const auto index = static_cast<uint8_t>(bestIndex);
        nearest.emplace(color, index);
        return index;
    };
    result.indices.resize(static_cast<size_t>(pixelCount));
    for (int y = 0; y < rgb.height(); ++y) {
        const QRgb* row = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x) {
            const size_t at = static_cast<size_t>(y) * rgb.width() + x;
            result.indices[at] = toFirstEntry[at] ? 0 : lookup(row[x] | 0xff000000u);
        }
    }
    return result;
}
