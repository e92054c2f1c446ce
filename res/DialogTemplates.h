// Dialog templates 102 (main window) and 100 (About box) as data, in dialog units.
#pragma once

#include <cstdint>
#include <span>

#include "WindowStyleBits.h"

enum class ControlKind {
    kPicture,
    kIcon,
    kStaticText,
    kProgressBar,
    kEdit,
    kPushButton,
    kGroupBox
};

struct DialogUnitRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// Pixel rectangle with right and bottom excluded.
struct PixelRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
};

struct ControlTemplate {
    int id = 0;  // kNoControlId for controls the program never addresses
    ControlKind kind = ControlKind::kStaticText;
    const char16_t* text = u"";  // for pictures and icons: the resource number as text
    DialogUnitRect rect;
    std::uint32_t style = 0;
};

struct DialogTemplate {
    int id = 0;
    const char16_t* title = u"";
    DialogUnitRect rect;
    std::uint32_t style = 0;
    std::uint32_t extendedStyle = 0;
    std::span<const ControlTemplate> controls;
};

constexpr int kNoControlId = -1;
constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;  // the "Close" button
constexpr int kIdPicture = 1001;
constexpr int kIdProgressBar = 1002;
constexpr int kIdCaptureCounter = 1004;
constexpr int kIdSearchDevice = 1006;
constexpr int kIdInstructionLabel = 1013;
constexpr int kIdTitleLabel = 1014;
constexpr int kIdAbort = 1015;

constexpr int kMainDialogTemplateId = 102;
constexpr int kAboutDialogTemplateId = 100;
constexpr int kHandBitmapId = 131;
constexpr int kApplicationIconId = 201;

const DialogTemplate& MainDialogTemplate();
const DialogTemplate& AboutDialogTemplate();
const ControlTemplate* FindControl(const DialogTemplate& dialog, int id);

// Pixels per four horizontal and per eight vertical dialog units: the dialog font's average
// character width and its height. Fractional where they were scaled from the template's own.
struct DialogBaseUnits {
    double width = 0;
    double height = 0;
};

// What the templates' places were laid out for.
constexpr DialogBaseUnits kTemplateBaseUnits{6, 13};

// Dialog units to pixels: x * width / 4 and y * height / 8, each edge rounded to the nearest
// integer (halves away from zero).
PixelRect DialogUnitsToPixels(const DialogUnitRect& rect,
                              const DialogBaseUnits& units = kTemplateBaseUnits);
