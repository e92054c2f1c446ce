// Dialog base units from the dialog's font, limited to what the screen can hold.
#include "DialogFontUnits.h"

#include <QFont>
#include <QFontMetrics>
#include <algorithm>

namespace {

const QString kAverageSample =
    QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
constexpr int kLettersPerCase = 26;

struct FontMeasure {
    int averageWidth = 0;
    int height = 0;
};

// As the templates' platform measures a dialog font: half the width of the 52 letters over 26,
// rounded up on a half.
FontMeasure Measure(const QFont& font) {
    const QFontMetrics metrics(font);
    const int letters = metrics.horizontalAdvance(kAverageSample);
    return {(letters / kLettersPerCase + 1) / 2, metrics.height()};
}

double GrowthOf(int measured, int reference) {
    return reference > 0 ? std::max(1.0, double(measured) / reference) : 1.0;
}

}  // namespace

DialogBaseUnits BaseUnitsForFont(const QFont& font) {
    QFont reference = font;
    reference.setPointSizeF(kDefaultFontPointSize);
    const FontMeasure measured = Measure(font);
    const FontMeasure atDefault = Measure(reference);
    return {kTemplateBaseUnits.width * GrowthOf(measured.averageWidth, atDefault.averageWidth),
            kTemplateBaseUnits.height * GrowthOf(measured.height, atDefault.height)};
}

DialogBaseUnits FitBaseUnitsToRoom(const DialogBaseUnits& units, const DialogUnitRect& dialogRect,
                                   QSize room) {
    if (room.isEmpty()) {
        return units;
    }
    const PixelRect wanted = DialogUnitsToPixels(dialogRect, units);
    if (wanted.Width() <= room.width() && wanted.Height() <= room.height()) {
        return units;
    }
    // A pixel less than the room: each edge is rounded on its own.
    const double shrink = std::min(double(room.width() - 1) / wanted.Width(),
                                   double(room.height() - 1) / wanted.Height());
    // Never below the template's own: a screen smaller than that gets what it always got.
    return {std::max(kTemplateBaseUnits.width, units.width * shrink),
            std::max(kTemplateBaseUnits.height, units.height * shrink)};
}
