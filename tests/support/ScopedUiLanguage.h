// The window's texts and Qt's own buttons in one language for a test, and back to English.
#pragma once

#include <optional>
#include <string>

#include "ScopedLanguage.h"
#include "UiText.h"

// Windows made while it lives speak the language; those made before keep their texts.
class ScopedUiLanguage {
public:
    explicit ScopedUiLanguage(const std::string& language) : m_language(language) {
        InstallQtTranslations();
    }
    ~ScopedUiLanguage() {
        m_language.reset();
        InstallQtTranslations();
    }
    ScopedUiLanguage(const ScopedUiLanguage&) = delete;
    ScopedUiLanguage& operator=(const ScopedUiLanguage&) = delete;

private:
    std::optional<ScopedLanguage> m_language;
};
