// Text colours that stay readable on the panel's background, light or dark.
#pragma once

#include <QColor>

// Contrast that normal-size text needs to be read comfortably.
constexpr double kMinimumTextContrast = 4.5;

// Relative luminance, 0 (black) to 1 (white), of an sRGB colour.
double RelativeLuminance(const QColor& colour);
// (lighter + 0.05) / (darker + 0.05): 1 for equal colours, 21 for black on white.
double ContrastRatio(const QColor& first, const QColor& second);
// Dark when white text would stand out more than black text.
bool IsDarkBackground(const QColor& background);

// On a light background the requested colour as it is. On a dark one, black becomes the
// palette's text colour and any colour short of the minimum contrast is brightened, then
// paled towards white, until it reaches it.
QColor ReadableTextColour(const QColor& requested, const QColor& background,
                          const QColor& paletteText);
