// Dialog templates 102 (main window) and 100 (About box) as data, in dialog units.
#include "DialogTemplates.h"

#include <array>
#include <cstdlib>

namespace {

// Window and control style bits, composed the way the resource compiler composes them.
constexpr std::uint32_t kChild = 0x40000000;
constexpr std::uint32_t kGroup = 0x00020000;
constexpr std::uint32_t kStaticLeft = 0x0;
constexpr std::uint32_t kStaticIcon = 0x03;
constexpr std::uint32_t kStaticBitmap = 0x0E;
constexpr std::uint32_t kStaticNoPrefix = 0x80;
constexpr std::uint32_t kPushButton = 0x0;
constexpr std::uint32_t kDefPushButton = 0x1;
constexpr std::uint32_t kGroupBox = 0x7;
constexpr std::uint32_t kEditMultiline = 0x4;
constexpr std::uint32_t kEditAutoHScroll = 0x80;
constexpr std::uint32_t kEditNoHideSel = 0x100;
constexpr std::uint32_t kEditReadOnly = 0x800;
constexpr std::uint32_t kProgressSmooth = 0x1;

constexpr std::uint32_t kMainDialogStyle = 0x90C800C8;
constexpr std::uint32_t kMainDialogExStyle = 0x00040000;  // taskbar button
constexpr std::uint32_t kAboutDialogStyle = 0x80C800C8;

constexpr std::uint32_t kShown = kChild | kStyleVisible;

constexpr std::array<ControlTemplate, 10> kMainControls{{
    {kIdPicture, ControlKind::kPicture, u"131", {13, 34, 260, 129}, kShown | kStaticBitmap},
    {kIdProgressBar, ControlKind::kProgressBar, u"", {300, 124, 206, 14}, kShown | kProgressSmooth},
    {kIdCaptureCounter,
     ControlKind::kEdit,
     u"",
     {300, 112, 22, 12},
     kChild | kEditMultiline | kEditAutoHScroll | kEditNoHideSel | kEditReadOnly},
    {kIdSearchDevice,
     ControlKind::kPushButton,
     u"Search Device",
     {300, 150, 65, 15},
     kChild | kStyleTabStop | kPushButton},
    {kIdCancel,
     ControlKind::kPushButton,
     u"Close",
     {456, 150, 50, 14},
     kShown | kStyleTabStop | kPushButton},
    {kIdInstructionLabel,
     ControlKind::kStaticText,
     u"Click \"Search Device\" button and place your finger.",
     {300, 60, 206, 48},
     kShown | kGroup | kStaticLeft},
    {kIdTitleLabel,
     ControlKind::kStaticText,
     u"SEARCH DEVICE",
     {300, 40, 206, 19},
     kShown | kGroup | kStaticLeft},
    {kNoControlId, ControlKind::kGroupBox, u"", {7, 3, 273, 187}, kShown | kGroupBox},
    {kNoControlId, ControlKind::kGroupBox, u"", {286, 3, 234, 187}, kShown | kGroupBox},
    {kIdAbort,
     ControlKind::kPushButton,
     u"Abort",
     {403, 150, 50, 14},
     kShown | kStyleDisabled | kStyleTabStop | kPushButton},
}};

constexpr std::array<ControlTemplate, 3> kAboutControls{{
    // Icon 128 is not among the resources; the About box puts the application icon there.
    {kNoControlId, ControlKind::kIcon, u"128", {14, 14, 21, 20}, kShown | kStaticIcon},
    {kNoControlId,
     ControlKind::kStaticText,
     u"Varne, Version 1.0",
     {42, 14, 114, 8},
     kShown | kGroup | kStaticLeft | kStaticNoPrefix},
    {kIdOk,
     ControlKind::kPushButton,
     u"OK",
     {113, 41, 50, 14},
     kShown | kGroup | kStyleTabStop | kDefPushButton},
}};

constexpr DialogTemplate kMainDialog{kMainDialogTemplateId, u"Varne",           {0, 0, 528, 196},
                                     kMainDialogStyle,      kMainDialogExStyle, kMainControls};

constexpr DialogTemplate kAboutDialog{
    kAboutDialogTemplateId, u"About Varne", {0, 0, 170, 62}, kAboutDialogStyle, 0, kAboutControls};

// numerator / denominator rounded to the nearest integer, halves away from zero.
int DivideRounded(int numerator, int denominator) {
    const int magnitude = (2 * std::abs(numerator) + denominator) / (2 * denominator);
    return numerator < 0 ? -magnitude : magnitude;
}

int HorizontalPixels(int dialogUnits) {
    return DivideRounded(dialogUnits * 6, 4);
}
int VerticalPixels(int dialogUnits) {
    return DivideRounded(dialogUnits * 13, 8);
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

PixelRect DialogUnitsToPixels(const DialogUnitRect& rect) {
    return PixelRect{HorizontalPixels(rect.x), VerticalPixels(rect.y),
                     HorizontalPixels(rect.x + rect.width), VerticalPixels(rect.y + rect.height)};
}
