// What the biometric layer needs from the window: message boxes, the Yes/No question, closing.
#pragma once

#include <string>

enum class MessageBoxIcon { kNone, kWarning };

class WindowHost {
public:
    virtual ~WindowHost() = default;
    // Modal, OK button, captioned with the application name; returns when closed.
    virtual void ShowMessageBox(const std::u16string& text, MessageBoxIcon icon) = 0;
    // The same box with a part the user can unfold for the details (UTF-8, line by line).
    virtual void ShowMessageBoxWithDetails(const std::u16string& text, MessageBoxIcon icon,
                                           const std::string& details) = 0;
    // Modal Yes/No with the question icon; true when the answer is Yes.
    virtual bool AskYesNo(const std::u16string& text) = 0;
    // Ends the window's modal run as its Close button does.
    virtual void CloseWindow() = 0;
};
