// How the enrollment workflow changes the window; the window implements it.
#pragma once

#include <cstdint>
#include <string>

#include "MessageCatalogue.h"

using Colorref = std::uint32_t;  // 0x00BBGGRR

constexpr Colorref kColorBlack = 0x000000;
constexpr Colorref kColorError = 0x0000B0;  // red 176

class WorkflowDisplay {
public:
    virtual ~WorkflowDisplay() = default;

    // Window's thread only.
    // textId 0 means: show text instead of a catalogue text.
    virtual void ShowStatus(TextId titleId, TextId textId, const std::u16string& text,
                            Colorref titleColour, Colorref textColour) = 0;
    virtual void SetProgressPosition(int position) = 0;
    // The bar's range becomes 0..maximum; the position is set again right after.
    virtual void SetProgressRange(int maximum) = 0;
    virtual void EnableAbortButton(bool enabled) = 0;
    virtual void RedrawFingerMap() = 0;
    virtual void KillEventTimer(unsigned event) = 0;

    // Any thread: hands the work to the window's thread and returns without waiting for it.
    virtual void SetCaptureCounterText(const std::u16string& text) = 0;
    // Arms (or restarts) the 10 ms event timer whose id is the event; its tick reaches
    // EnrollmentWorkflow::HandleTimer on the window's thread.
    virtual void ArmEventTimer(unsigned event) = 0;
};
