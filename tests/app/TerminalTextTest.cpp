// Which back end VARNE_SERVICE names, and text made safe for a terminal.
#include <gtest/gtest.h>

#include "ServiceChoice.h"
#include "TerminalText.h"

TEST(ChooseService, NamesAndRefusals) {
    const struct {
        const char* value;  // null: unset
        std::optional<ServiceKind> expected;
    } rows[] = {
        {nullptr, ServiceKind::kFprintd},
        {"fprintd", ServiceKind::kFprintd},
        {"simulated", ServiceKind::kSimulated},
        {"", std::nullopt},
        {"Fprintd", std::nullopt},
        {"simulated ", std::nullopt},
        {"sim", std::nullopt},
        {"fprintd,simulated", std::nullopt},
    };
    for (const auto& row : rows) {
        const std::string shown = row.value == nullptr ? "(unset)" : row.value;
        std::string error;
        EXPECT_EQ(ChooseService(row.value, &error), row.expected) << shown;
        if (row.expected) {
            EXPECT_TRUE(error.empty()) << shown;
        } else {
            EXPECT_EQ(error, std::string("VARNE_SERVICE: unknown back end \"") + row.value +
                                 "\" (expected fprintd or simulated)");
        }
    }
}

TEST(EscapeControlCharacters, KeepsTextAndEscapesWhatATerminalWouldObey) {
    const struct {
        const char* name;
        std::string in;
        std::string out;
    } rows[] = {
        {"plain", "more,sideways", "more,sideways"},
        {"letters beyond ASCII", "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80",
         "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80"},
        {"escape sequence", "\x1b[31mred", "\\x1b[31mred"},
        {"line feed, tab, carriage return", "a\nb\tc\r", "a\\x0ab\\x09c\\x0d"},
        {"nul inside", std::string("a\0b", 3), "a\\x00b"},
        {"delete", "\x7f", "\\x7f"},
        {"C1 control sequence introducer",
         "\xc2\x9b"
         "2J",
         "\\x9b2J"},
        {"last C1 and first character after it", "\xc2\x9f\xc2\xa0", "\\x9f\xc2\xa0"},
        {"stray byte", "\xff", "\\xff"},
        {"raw C1 byte",
         "\x9b"
         "2J",
         "\\x9b2J"},
        {"overlong slash", "\xc0\xaf", "\\xc0\\xaf"},
        {"cut short", "\xe2\x82", "\\xe2\\x82"},
        {"encoded surrogate", "\xed\xa0\x80", "\\xed\\xa0\\x80"},
        {"beyond U+10FFFF", "\xf4\x90\x80\x80", "\\xf4\\x90\\x80\\x80"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(EscapeControlCharacters(row.in), row.out) << row.name;
    }
}

TEST(ToTerminalText, ConvertsUtf16AndEscapesOnlyWhereAsked) {
    EXPECT_EQ(ToTerminalText(u"Reader \u00e9"), "Reader \xc3\xa9");
    EXPECT_EQ(ToTerminalText(u"\U0001F600"), "\xf0\x9f\x98\x80");
    EXPECT_EQ(ToTerminalText(u"evil\u001b]0;title\u0007"), "evil\\x1b]0;title\\x07");
    EXPECT_EQ(ToTerminalText(u"\u009b"), "\\x9b");
    // Lone surrogates, high and low, at the end and in the middle.
    EXPECT_EQ(ToTerminalText(std::u16string{u'a', char16_t(0xD800)}), "a\xef\xbf\xbd");
    EXPECT_EQ(ToTerminalText(std::u16string{char16_t(0xDC00), u'b'}),
              "\xef\xbf\xbd"
              "b");
    EXPECT_EQ(ToUtf8(u"Line one.\nError code = 0x1"), "Line one.\nError code = 0x1");
    EXPECT_EQ(ToUtf8(std::u16string{char16_t(0xD83D), char16_t(0xDE00)}), "\xf0\x9f\x98\x80");
}
