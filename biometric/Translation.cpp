// The user's language: finds the program's message catalogues and looks texts up by their English.
#include "Translation.h"

#include <libintl.h>

#include <clocale>
#include <cstdlib>
#include <string_view>

namespace {

constexpr const char* kCatalogueCodeset = "UTF-8";
constexpr std::string_view kLanguageField = "Language: ";

}  // namespace

void InitTranslations() {
    std::setlocale(LC_ALL, "");
    const char* overridden = std::getenv(kLocaleDirVariable);
    BindTranslations(overridden != nullptr && *overridden != '\0' ? overridden
                                                                  : VARNE_INSTALL_LOCALE_DIR);
}

void BindTranslations(const std::string& localeDir) {
    bindtextdomain(kTextDomain, localeDir.c_str());
    // The window and the terminal both take UTF-8, whatever the locale's own character set.
    bind_textdomain_codeset(kTextDomain, kCatalogueCodeset);
}

const char* Translate(const char* english) {
    return dgettext(kTextDomain, english);
}

std::string TranslationLanguage() {
    // The empty text's translation is the catalogue's header, which names its language.
    const std::string_view header = dgettext(kTextDomain, "");
    const std::size_t field = header.find(kLanguageField);
    if (field == std::string_view::npos) {
        return {};
    }
    const std::size_t start = field + kLanguageField.size();
    const std::size_t end = header.find('\n', start);
    return std::string(header.substr(start, end == std::string_view::npos ? end : end - start));
}

std::string FillPlaceholders(std::string_view text, std::initializer_list<Placeholder> values) {
    std::string filled;
    std::size_t at = 0;
    while (at < text.size()) {
        const Placeholder* match = nullptr;
        for (const Placeholder& candidate : values) {
            if (!candidate.name.empty() &&
                text.substr(at, candidate.name.size()) == candidate.name) {
                match = &candidate;
                break;
            }
        }
        if (match != nullptr) {
            filled += match->value;
            at += match->name.size();
        } else {
            filled += text[at++];
        }
    }
    return filled;
}
