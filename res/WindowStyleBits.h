// Window and control style bits of the dialog templates, composed the way the resource compiler
// composes them; the templates and the builder that reads them both take them from here.
#pragma once

#include <cstdint>

// Any window.
constexpr std::uint32_t kStyleChild = 0x40000000;
constexpr std::uint32_t kStyleVisible = 0x10000000;
constexpr std::uint32_t kStyleDisabled = 0x08000000;
constexpr std::uint32_t kStyleCaption = 0x00C00000;
constexpr std::uint32_t kStyleSystemMenu = 0x00080000;
constexpr std::uint32_t kStyleGroup = 0x00020000;
constexpr std::uint32_t kStyleTabStop = 0x00010000;

// Static controls.
constexpr std::uint32_t kStaticLeft = 0x0;
constexpr std::uint32_t kStaticIcon = 0x03;
constexpr std::uint32_t kStaticBitmap = 0x0E;
constexpr std::uint32_t kStaticNoPrefix = 0x80;
constexpr std::uint32_t kStaticNotify = 0x100;

// Buttons: the low four bits are the button's type.
constexpr std::uint32_t kButtonTypeMask = 0xF;
constexpr std::uint32_t kButtonPush = 0x0;
constexpr std::uint32_t kButtonDefPush = 0x1;
constexpr std::uint32_t kButtonGroupBox = 0x7;

// Edit controls.
constexpr std::uint32_t kEditMultiline = 0x4;
constexpr std::uint32_t kEditAutoHScroll = 0x80;
constexpr std::uint32_t kEditNoHideSel = 0x100;
constexpr std::uint32_t kEditReadOnly = 0x800;

// Progress bars.
constexpr std::uint32_t kProgressSmooth = 0x1;
