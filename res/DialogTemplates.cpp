// Dialog templates 102 (main window) and 100 (About box) as data, in dialog units.
#include "DialogTemplates.h"

#include <array>
#include <cmath>

#include "Translation.h"

namespace {

constexpr std::uint32_t kMainDialogStyle = 0x90C800C8;
constexpr std::uint32_t kMainDialogExStyle = 0x00040000;  // taskbar button
constexpr std::uint32_t kAboutDialogStyle = 0x80C800C8;

constexpr std::uint32_t kShown = kStyleChild | kStyleVisible;

constexpr std::array<ControlTemplate, 10> kMainControls{{
    {kIdPicture, ControlKind::kPicture, u"131", {13, 34, 260, 129}, kShown | kStaticBitmap},
    {kIdProgressBar, ControlKind::kProgressBar, u"", {300, 124, 206, 14}, kShown | kProgressSmooth},
    {kIdCaptureCounter,
     ControlKind::kEdit,
     u"",
     {300, 112, 22, 12},
     kStyleChild | kEditMultiline | kEditAutoHScroll | kEditNoHideSel | kEditReadOnly},
    {kIdSearchDevice,
     ControlKind::kPushButton,
     N_(u"Search Device"),
     {300, 150, 65, 15},
     kStyleChild | kStyleTabStop | kButtonPush},
    {kIdCancel,
     ControlKind::kPushButton,
     N_(u"Close"),
     {456, 150, 50, 14},
     kShown | kStyleTabStop | kButtonPush},
    {kIdInstructionLabel,
     ControlKind::kStaticText,
     N_(u"Click \"Search Device\" button and place your finger."),
     {300, 60, 206, 48},
     kShown | kStyleGroup | kStaticLeft},
    {kIdTitleLabel,
     ControlKind::kStaticText,
     N_(u"SEARCH DEVICE"),
     {300, 40, 206, 19},
     kShown | kStyleGroup | kStaticLeft},
    {kNoControlId, ControlKind::kGroupBox, u"", {7, 3, 273, 187}, kShown | kButtonGroupBox},
    {kNoControlId, ControlKind::kGroupBox, u"", {286, 3, 234, 187}, kShown | kButtonGroupBox},
    {kIdAbort,
     ControlKind::kPushButton,
     N_(u"Abort"),
     {403, 150, 50, 14},
     kShown | kStyleDisabled | kStyleTabStop | kButtonPush},
}};

constexpr std::array<ControlTemplate, 3> kAboutControls{{
    // Icon 128 is not among the resources; the About box puts the application icon there.
    {kNoControlId, ControlKind::kIcon, u"128", {14, 14, 21, 20}, kShown | kStaticIcon},
    {kNoControlId,
     ControlKind::kStaticText,
     N_(u"Varne, Version 1.0"),
     {42, 14, 114, 8},
     kShown | kStyleGroup | kStaticLeft | kStaticNoPrefix},
    {kIdOk,
     ControlKind::kPushButton,
     N_(u"OK"),
     {113, 41, 50, 14},
     kShown | kStyleGroup | kStyleTabStop | kButtonDefPush},
}};

constexpr DialogTemplate kMainDialog{kMainDialogTemplateId, u"Varne",           {0, 0, 528, 196},
                                     kMainDialogStyle,      kMainDialogExStyle, kMainControls};

constexpr DialogTemplate kAboutDialog{
    kAboutDialogTemplateId, N_(u"About Varne"), {0, 0, 170, 62}, kAboutDialogStyle, 0,
    kAboutControls};

constexpr double kHorizontalUnitsPerBase = 4;
constexpr double kVerticalUnitsPerBase = 8;

// std::lround rounds halves away from zero; at the template's units every product is exact.
int HorizontalPixels(int dialogUnits, const DialogBaseUnits& units) {
    return static_cast<int>(std::lround(dialogUnits * units.width / kHorizontalUnitsPerBase));
}
int VerticalPixels(int dialogUnits, const DialogBaseUnits& units) {
    return static_cast<int>(std::lround(dialogUnits * units.height / kVerticalUnitsPerBase));
}

}  // namespace

const DialogTemplate& MainDialogTemplate() {
    return kMainDialog;
}

const DialogTemplate& AboutDialogTemplate() {
    return kAboutDialog;
}

const ControlTemplate* FindControl(const DialogTemplate& dialog, int id) {
    // Several controls share kNoControlId; none of them can be looked up.
    if (id == kNoControlId) {
        return nullptr;
    }
    for (const ControlTemplate& control : dialog.controls) {
        if (control.id == id) {
            return &control;
        }
    }
    return nullptr;
}

PixelRect DialogUnitsToPixels(const DialogUnitRect& rect, const DialogBaseUnits& units) {
    return PixelRect{HorizontalPixels(rect.x, units), VerticalPixels(rect.y, units),
                     HorizontalPixels(rect.x + rect.width, units),
                     VerticalPixels(rect.y + rect.height, units)};
}
