// Switches this process's texts to one language of the build tree's catalogues, and back.
#include "ScopedLanguage.h"

#include <libintl.h>

#include <clocale>
#include <cstdlib>

#include "Translation.h"

namespace {

constexpr const char* kLanguageVariable = "LANGUAGE";
// gettext ignores LANGUAGE in the C locales, C.UTF-8 included since glibc 2.41; any other
// locale carries it (locales-all brings this one).
constexpr const char* kUtf8Locale = "en_US.UTF-8";
constexpr const char* kPlainLocale = "C";

// gettext keeps the texts it found under the locale's name, which a change of LANGUAGE alone
// does not change; setting the text domain again is its documented way to drop them.
void ForgetLookedUpTexts() {
    textdomain(textdomain(nullptr));
}

}  // namespace

const char* const ScopedLanguage::kTranslated[3] = {"de", "fr", "es"};

ScopedLanguage::ScopedLanguage(const std::string& language) {
    if (const char* saved = std::getenv(kLanguageVariable)) {
        m_savedLanguage = saved;
    }
    m_savedMessagesLocale = std::setlocale(LC_MESSAGES, nullptr);
    BindTranslations(VARNE_BUILD_LOCALE_DIR);
    setenv(kLanguageVariable, language.c_str(), 1);
    std::setlocale(LC_MESSAGES, language == "C" ? kPlainLocale : kUtf8Locale);
    ForgetLookedUpTexts();
}

ScopedLanguage::~ScopedLanguage() {
    if (m_savedLanguage) {
        setenv(kLanguageVariable, m_savedLanguage->c_str(), 1);
    } else {
        unsetenv(kLanguageVariable);
    }
    std::setlocale(LC_MESSAGES, m_savedMessagesLocale.c_str());
    ForgetLookedUpTexts();
}
