// The one rule for text written to a terminal, over UTF-8 and UTF-16 values and inside quotes.
#include "TerminalText.h"

#include <gtest/gtest.h>

namespace {

struct Row {
    const char* name;
    std::string in;
    std::string out;
};

}  // namespace

TEST(EscapeForTerminal, KeepsTextAndEscapesWhatATerminalWouldObey) {
    const Row rows[] = {
        {"plain", "more,sideways", "more,sideways"},
        {"letters beyond ASCII", "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80",
         "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80"},
        {"backslash and quote stay outside quotes", "a\\x41\"", "a\\x41\""},
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
        {"cut short before a letter", "\xe2\x82g", "\\xe2\\x82g"},
        {"encoded surrogate", "\xed\xa0\x80", "\\xed\\xa0\\x80"},
        {"beyond U+10FFFF", "\xf4\x90\x80\x80", "\\xf4\\x90\\x80\\x80"},
        {"right-to-left override",
         "abc\xe2\x80\xae"
         "fed",
         "abc\\u{202e}fed"},
        {"first and last embedding or override", "\xe2\x80\xaa\xe2\x80\xae", "\\u{202a}\\u{202e}"},
        {"isolates and their pop", "\xe2\x81\xa6\xe2\x81\xa7\xe2\x81\xa8\xe2\x81\xa9",
         "\\u{2066}\\u{2067}\\u{2068}\\u{2069}"},
        {"left-to-right and right-to-left marks", "\xe2\x80\x8e\xe2\x80\x8f", "\\u{200e}\\u{200f}"},
        {"Arabic letter mark", "\xd8\x9c", "\\u{61c}"},
        {"line and paragraph separators",
         "a\xe2\x80\xa8"
         "b\xe2\x80\xa9",
         "a\\u{2028}b\\u{2029}"},
        {"byte order mark", "\xef\xbb\xbfname", "\\u{feff}name"},
        {"noncharacters at a plane's end", "\xef\xbf\xbe\xef\xbf\xbf\xf4\x8f\xbf\xbf",
         "\\u{fffe}\\u{ffff}\\u{10ffff}"},
        {"noncharacter block", "\xef\xb7\x90\xef\xb7\xaf", "\\u{fdd0}\\u{fdef}"},
        // U+200D joins emoji; U+2027, U+202F, U+2065, U+206A, U+FDF0 and U+FFFD border the
        // escaped ranges.
        {"neighbours that stay",
         "\xe2\x80\x8d\xe2\x80\xa7\xe2\x80\xaf\xe2\x81\xa5\xe2\x81\xaa\xef\xb7\xb0\xef\xbf\xbd",
         "\xe2\x80\x8d\xe2\x80\xa7\xe2\x80\xaf\xe2\x81\xa5\xe2\x81\xaa\xef\xb7\xb0\xef\xbf\xbd"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(EscapeForTerminal(row.in), row.out) << row.name;
    }
}

TEST(EscapeForTerminal, Utf16ValuesFollowTheSameRule) {
    const struct {
        const char* name;
        std::u16string in;
        std::string out;
    } rows[] = {
        {"letters", u"Reader \u00e9", "Reader \xc3\xa9"},
        {"outside the basic plane", u"\U0001F600", "\xf0\x9f\x98\x80"},
        {"escape sequence and bell", u"evil\u001b]0;title\u0007", "evil\\x1b]0;title\\x07"},
        {"C1 control", u"\u009b", "\\x9b"},
        {"override in a reader name", u"Reader \u202e1 tinu", "Reader \\u{202e}1 tinu"},
        {"isolate", u"\u2067x", "\\u{2067}x"},
        {"noncharacter outside the basic plane", u"\U0001FFFE", "\\u{1fffe}"},
        {"lone high surrogate at the end", std::u16string{u'a', char16_t(0xD800)}, "a\\u{d800}"},
        {"lone low surrogate first", std::u16string{char16_t(0xDC00), u'b'}, "\\u{dc00}b"},
        {"high surrogate before a letter", std::u16string{char16_t(0xDBFF), u'c'}, "\\u{dbff}c"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(EscapeForTerminal(row.in), row.out) << row.name;
    }
}

TEST(QuoteForTerminal, QuotesAndEscapesItsOwnDelimiters) {
    const Row rows[] = {
        {"empty", "", "\"\""},
        {"plain", "mor", "\"mor\""},
        {"letters beyond ASCII", "d\xc3\xa9j\xc3\xa0", "\"d\xc3\xa9j\xc3\xa0\""},
        {"quote and backslash", "\"0x1\\", "\"\\\"0x1\\\\\""},
        {"text that looks escaped", "\\x1b", "\"\\\\x1b\""},
        {"control", "ok@1\r\n", "\"ok@1\\x0d\\x0a\""},
        {"invalid byte", "\xc3", "\"\\xc3\""},
        {"override",
         "1\xe2\x80\xae"
         "2",
         "\"1\\u{202e}2\""},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(QuoteForTerminal(row.in), row.out) << row.name;
    }
}

TEST(ToUtf8, KeepsTheProgramsOwnTextsWithTheirLineBreaks) {
    EXPECT_EQ(ToUtf8(u"Line one.\nError code = 0x1"), "Line one.\nError code = 0x1");
    EXPECT_EQ(ToUtf8(std::u16string{char16_t(0xD83D), char16_t(0xDE00)}), "\xf0\x9f\x98\x80");
    EXPECT_EQ(ToUtf8(std::u16string{u'a', char16_t(0xD800)}), "a\xef\xbf\xbd");
    EXPECT_EQ(ToUtf8(std::u16string{char16_t(0xDC00), u'b'}),
              "\xef\xbf\xbd"
              "b");
}

TEST(FromUtf8, ReadsTranslatedTextsBackIntoTheWindowsForm) {
    const std::u16string text = u"Fehlercode = 0x1\n\u201eGer\u00e4t suchen\u201c \U0001F600";
    EXPECT_EQ(FromUtf8(ToUtf8(text)), text);
    // A catalogue is not trusted to be UTF-8: what is not becomes U+FFFD, byte by byte.
    EXPECT_EQ(FromUtf8("a\xff"
                       "b"),
              u"a\uFFFDb");
    EXPECT_EQ(FromUtf8("\xe2\x82"), u"\uFFFD\uFFFD") << "cut short";
    EXPECT_EQ(FromUtf8("\xc0\xaf"), u"\uFFFD\uFFFD") << "overlong";
    EXPECT_EQ(FromUtf8(""), u"");
}
