// The user's language: finds the program's message catalogues and looks texts up by their English.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

constexpr const char* kTextDomain = "varne";
// Where the compiled catalogues are when they are not installed (the build tree's, say).
constexpr const char* kLocaleDirVariable = "VARNE_LOCALE_DIR";

// Marks a text for the template where it sits in a table; it is translated where it is shown.
template <typename Char>
constexpr const Char* N_(const Char* text) {
    return text;
}

// Takes the language from the environment (LANGUAGE, LC_ALL, LC_MESSAGES, LANG) and binds the
// domain to the catalogues in kLocaleDirVariable's folder, or else the installed ones. The whole
// locale is taken, as Qt takes it too; nothing the program prints or parses reads LC_NUMERIC.
void InitTranslations();

// Binds the domain to the catalogues under localeDir (LANG/LC_MESSAGES/varne.mo), as UTF-8.
void BindTranslations(const std::string& localeDir);

// The text in the user's language, UTF-8; the English itself where there is no translation.
const char* Translate(const char* english);

// The language of the catalogue in use ("de", "pt_BR"), empty when texts stay English.
std::string TranslationLanguage();

struct Placeholder {
    std::string_view name;  // "%s", "%1$s", "%x"
    std::string value;
};

// The text with every placeholder replaced by its value in one pass, so a value that looks like
// a placeholder stays as it is; a placeholder a translation lost is simply not filled.
std::string FillPlaceholders(std::string_view text, std::initializer_list<Placeholder> values);
