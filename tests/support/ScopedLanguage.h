// Switches this process's texts to one language of the build tree's catalogues, and back.
#pragma once

#include <optional>
#include <string>

// "de", "fr", "es", or "en" and "C" for the English texts; restored when it goes.
class ScopedLanguage {
public:
    explicit ScopedLanguage(const std::string& language);
    ~ScopedLanguage();
    ScopedLanguage(const ScopedLanguage&) = delete;
    ScopedLanguage& operator=(const ScopedLanguage&) = delete;

    // The languages of po/ besides English.
    static const char* const kTranslated[3];

private:
    std::optional<std::string> m_savedLanguage;
    std::string m_savedMessagesLocale;
};
