// Text colours that stay readable on the panel's background, light or dark.
#include "ReadableColour.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kLuminanceOffset = 0.05;
// The sRGB transfer curve: linear below the threshold, a 2.4 power above it.
constexpr double kSrgbLinearLimit = 0.04045;
constexpr double kSrgbLinearSlope = 12.92;
constexpr double kSrgbCurveOffset = 0.055;
constexpr double kSrgbCurveExponent = 2.4;
// How much each primary counts towards the brightness the eye sees.
constexpr double kRedWeight = 0.2126;
constexpr double kGreenWeight = 0.7152;
constexpr double kBlueWeight = 0.0722;
constexpr int kFullChannel = 255;
constexpr int kPalingSteps = 64;

double LinearChannel(int channel) {
    const double value = channel / double(kFullChannel);
    return value <= kSrgbLinearLimit
               ? value / kSrgbLinearSlope
               : std::pow((value + kSrgbCurveOffset) / (1.0 + kSrgbCurveOffset),
                          kSrgbCurveExponent);
}

bool Readable(const QColor& colour, const QColor& background) {
    return ContrastRatio(colour, background) >= kMinimumTextContrast;
}

// Scales the channels up until the brightest is full: same hue, same saturation.
QColor Brightened(const QColor& colour) {
    const int brightest = std::max({colour.red(), colour.green(), colour.blue()});
    if (brightest == 0) {
        return QColor(kFullChannel, kFullChannel, kFullChannel);
    }
    const auto scale = [brightest](int channel) {
        return static_cast<int>(std::lround(channel * double(kFullChannel) / brightest));
    };
    return QColor(scale(colour.red()), scale(colour.green()), scale(colour.blue()));
}

QColor Paled(const QColor& colour, double share) {
    const auto mix = [share](int channel) {
        return static_cast<int>(std::lround(channel + (kFullChannel - channel) * share));
    };
    return QColor(mix(colour.red()), mix(colour.green()), mix(colour.blue()));
}

QColor LightenUntilReadable(const QColor& colour, const QColor& background) {
    if (Readable(colour, background)) {
        return colour;
    }
    const QColor bright = Brightened(colour);
    for (int step = 0; step <= kPalingSteps; ++step) {
        const QColor candidate = Paled(bright, double(step) / kPalingSteps);
        if (Readable(candidate, background)) {
            return candidate;
        }
    }
    return QColor(kFullChannel, kFullChannel, kFullChannel);  // the most a dark background allows
}

}  // namespace

double RelativeLuminance(const QColor& colour) {
    const QColor rgb = colour.toRgb();
    return kRedWeight * LinearChannel(rgb.red()) + kGreenWeight * LinearChannel(rgb.green()) +
           kBlueWeight * LinearChannel(rgb.blue());
}

double ContrastRatio(const QColor& first, const QColor& second) {
    const double a = RelativeLuminance(first) + kLuminanceOffset;
    const double b = RelativeLuminance(second) + kLuminanceOffset;
    return std::max(a, b) / std::min(a, b);
}

bool IsDarkBackground(const QColor& background) {
    return ContrastRatio(Qt::white, background) > ContrastRatio(Qt::black, background);
}

QColor ReadableTextColour(const QColor& requested, const QColor& background,
                          const QColor& paletteText) {
    const QColor rgb = requested.toRgb();
    if (!IsDarkBackground(background)) {
        return rgb;
    }
    const QColor wanted = rgb == QColor(Qt::black) ? paletteText.toRgb() : rgb;
    return LightenUntilReadable(wanted, background);
}
