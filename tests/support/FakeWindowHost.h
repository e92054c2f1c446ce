// A window host for tests: records message boxes, questions and the close, in order.
#pragma once

#include <string>
#include <vector>

#include "WindowHost.h"

class FakeWindowHost : public WindowHost {
public:
    struct MessageBoxShown {
        std::u16string text;
        MessageBoxIcon icon;
        std::string details;
    };

    bool answerYes = true;
    std::vector<MessageBoxShown> messageBoxes;
    std::vector<std::u16string> questions;
    bool closed = false;
    // "message", "question" and "close" in the order they happened.
    std::vector<std::string> log;

    void ShowMessageBox(const std::u16string& text, MessageBoxIcon icon) override {
        messageBoxes.push_back({text, icon, {}});
        log.push_back("message");
    }
    void ShowMessageBoxWithDetails(const std::u16string& text, MessageBoxIcon icon,
                                   const std::string& details) override {
        messageBoxes.push_back({text, icon, details});
        log.push_back("message");
    }
    bool AskYesNo(const std::u16string& text) override {
        questions.push_back(text);
        log.push_back("question");
        return answerYes;
    }
    void CloseWindow() override {
        closed = true;
        log.push_back("close");
    }
};
