// The texts in every language of po/: all translated, composed in the same order, and English
// exactly as it is written wherever the language is English or the locale is C.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "MessageCatalogue.h"
#include "ScopedLanguage.h"
#include "StatusMessage.h"
#include "TerminalText.h"
#include "Translation.h"

namespace {

constexpr std::uint32_t kFirstNamedCode = 0x80098001;
constexpr std::uint32_t kLastNamedCode = 0x8009803D;
constexpr TextId kLargestTextId = 0xFFFF;

struct Shown {
    std::vector<std::u16string> texts;     // every catalogue text, by id
    std::vector<std::u16string> messages;  // every named code's message, and two of ours
};

Shown EverythingShown() {
    Shown shown;
    for (TextId id = 0; id <= kLargestTextId; ++id) {
        shown.texts.push_back(LoadCatalogueText(id));
    }
    for (std::uint32_t code = kFirstNamedCode; code <= kLastNamedCode; ++code) {
        shown.messages.push_back(ComposeStatusMessage(StatusFromBits(code)));
    }
    shown.messages.push_back(ComposeStatusMessage(kAccessDenied));
    shown.messages.push_back(ComposeStatusMessage(kBlockedByPolicy));
    return shown;
}

}  // namespace

TEST(Translation, EnglishStaysExactWhereverTheLanguageIsEnglishOrTheLocaleIsC) {
    const Shown untouched = EverythingShown();
    ASSERT_EQ(untouched.texts[kTitleSelectFinger], u"Select Finger");
    for (const char* language : {"en", "C"}) {
        SCOPED_TRACE(language);
        const ScopedLanguage scoped(language);
        const Shown shown = EverythingShown();
        EXPECT_TRUE(shown.texts == untouched.texts);
        EXPECT_TRUE(shown.messages == untouched.messages);
        EXPECT_EQ(TranslationLanguage(), "");
    }
    {
        // LANGUAGE asks for German, but the C locale keeps every program's texts as written.
        const ScopedLanguage german("de");
        const ScopedLanguage plainC("C");
        setenv("LANGUAGE", "de", 1);
        EXPECT_TRUE(EverythingShown().texts == untouched.texts);
    }
    EXPECT_TRUE(EverythingShown().texts == untouched.texts) << "and back after a language";
}

TEST(Translation, EveryTextAndMessageIsTranslatedInEveryLanguage) {
    const Shown english = EverythingShown();
    for (const char* language : ScopedLanguage::kTranslated) {
        SCOPED_TRACE(language);
        const ScopedLanguage scoped(language);
        EXPECT_EQ(TranslationLanguage(), language);
        const Shown shown = EverythingShown();
        for (TextId id = 0; id <= kLargestTextId; ++id) {
            if (english.texts[id].empty()) {
                EXPECT_TRUE(shown.texts[id].empty()) << id;
                continue;
            }
            EXPECT_NE(shown.texts[id], english.texts[id]) << id << " " << ToUtf8(english.texts[id]);
        }
        for (std::size_t index = 0; index < english.messages.size(); ++index) {
            EXPECT_NE(shown.messages[index], english.messages[index])
                << ToUtf8(english.messages[index]);
        }
    }
}

// The translated pieces in the same order as the English, and the code in the translated line.
TEST(Translation, StatusMessagesKeepTheirShapeInEveryLanguage) {
    struct Row {
        const char* language;
        const char16_t* codeLine;
    };
    const Row rows[] = {
        {"de", u"\nFehlercode = 0x8009801f"},
        {"fr", u"\nCode d\u2019erreur = 0x8009801f"},
        {"es", u"\nC\u00f3digo de error = 0x8009801f"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.language);
        const ScopedLanguage scoped(row.language);
        const std::u16string prefix = LoadCatalogueText(kTextFailurePrefix);
        EXPECT_EQ(ComposeStatusMessage(StatusFromBits(0x8009801F)),
                  prefix + u"\n\n" + FromUtf8(Translate("Database no results")) + row.codeLine);
        // The duplicate's text brings its own blank line: two in the message, as in English.
        EXPECT_EQ(ComposeStatusMessage(StatusFromBits(0x8009802B)),
                  prefix + u"\n\n" + LoadCatalogueText(kTextDuplicateEnrollment) +
                      FormatErrorCodeLine(StatusFromBits(0x8009802B)));
        EXPECT_NE(LoadCatalogueText(kTextDuplicateEnrollment).find(u"\n\n"), std::u16string::npos);
        // Codes nobody names, and the two in the range the table leaves out.
        for (const std::uint32_t unknown : {0x80070057u, 0x80098028u, 0x80098029u}) {
            const std::u16string message = ComposeStatusMessage(StatusFromBits(unknown));
            EXPECT_NE(message.find(FromUtf8(Translate("Unknown error"))), std::u16string::npos);
            EXPECT_EQ(message.find(u"Unknown error"), std::u16string::npos);
        }
    }
}

TEST(Translation, PlaceholdersAreFilledOnceAndInAnyOrder) {
    struct Row {
        std::string text;
        std::string expected;
    };
    const Row rows[] = {
        {"unit %1$s is not listed; the units listed are %2$s",
         "unit 7 is not listed; the units listed are %1$s, 2"},
        {"%2$s sind aufgeführt, %1$s nicht", "%1$s, 2 sind aufgeführt, 7 nicht"},
        {"no placeholder left", "no placeholder left"},
        {"", ""},
        {"%1$s%1$s", "77"},
        {"%1", "%1"},
    };
    for (const Row& row : rows) {
        // The second value looks like the first placeholder: it must stay as it is.
        EXPECT_EQ(FillPlaceholders(row.text, {{"%1$s", "7"}, {"%2$s", "%1$s, 2"}}), row.expected)
            << row.text;
    }
}
