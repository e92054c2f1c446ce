// Every numbered text and named code's status message against the transcription in data/.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <map>
#include <set>
#include <string>

#include "MessageCatalogue.h"
#include "StatusMessage.h"

namespace {

constexpr std::size_t kNamedCodeCount = 61;
constexpr std::size_t kCatalogueSize = 35;
constexpr TextId kLargestTextId = 0xFFFF;

// "number<TAB>text" lines; '#' starts a comment line. "\n" in a text stands for a line feed.
std::map<std::string, std::u16string> ReadTable(const std::string& name) {
    std::string path = VARNE_TEXT_DATA_DIR;
    path += '/';
    path += name;  // appended: GCC 12 at -O2 warns falsely of an overlap on "a" + b + c
    std::ifstream file(path);
    EXPECT_TRUE(file.is_open()) << name;
    std::map<std::string, std::u16string> table;
    std::string line;
    while (std::getline(file, line)) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        const auto tab = line.find('\t');
        EXPECT_NE(tab, std::string::npos) << line;
        std::u16string text;
        for (std::size_t i = tab + 1; i < line.size(); ++i) {
            EXPECT_LT(static_cast<unsigned char>(line[i]), 0x80) << "plain ASCII only: " << line;
            if (line[i] == '\\' && i + 1 < line.size() && line[i + 1] == 'n') {
                text += u'\n';
                ++i;
            } else {
                text += static_cast<char16_t>(line[i]);
            }
        }
        EXPECT_TRUE(table.emplace(line.substr(0, tab), text).second) << "twice: " << line;
    }
    return table;
}

std::string Narrow(const std::u16string& text) {
    std::string narrow;
    for (const char16_t c : text) {
        narrow += c == u'\n' ? std::string("\\n") : std::string(1, static_cast<char>(c));
    }
    return narrow;
}

// Where two texts part, so a one-letter typo is easy to find in a long text.
std::string FirstDifference(const std::u16string& shown, const std::u16string& expected) {
    std::size_t at = 0;
    while (at < shown.size() && at < expected.size() && shown[at] == expected[at]) {
        ++at;
    }
    return "first difference at character " + std::to_string(at) +
           "\n  shown:    " + Narrow(shown) + "\n  expected: " + Narrow(expected);
}

std::u16string CodeLine(std::uint32_t code) {
    char line[32];
    std::snprintf(line, sizeof line, "\nError code = 0x%x", code);
    return std::u16string(line, line + std::char_traits<char>::length(line));
}

}  // namespace

TEST(TranscribedTexts, EveryNumberedTextReadsAsTranscribed) {
    auto catalogue = ReadTable("catalogue.tsv");
    ASSERT_EQ(catalogue.size(), kCatalogueSize);
    catalogue.merge(ReadTable("own-texts.tsv"));
    std::map<TextId, std::u16string> expected;
    for (const auto& [number, text] : catalogue) {
        expected[static_cast<TextId>(std::stoul(number))] = text;
    }
    // Every number, so a text the transcription lacks is caught as well as a wrong one.
    for (TextId id = 0; id <= kLargestTextId; ++id) {
        const auto found = expected.find(id);
        const std::u16string shown = LoadCatalogueText(id);
        if (found == expected.end()) {
            EXPECT_TRUE(shown.empty()) << "text " << id << " is not transcribed: " << Narrow(shown);
        } else {
            EXPECT_EQ(shown, found->second)
                << "text " << id << ": " << FirstDifference(shown, found->second);
        }
    }
}

TEST(TranscribedTexts, EveryNamedCodesStatusMessageReadsAsTranscribed) {
    auto catalogue = ReadTable("catalogue.tsv");
    catalogue.merge(ReadTable("own-texts.tsv"));
    auto codes = ReadTable("status-codes.tsv");
    ASSERT_EQ(codes.size(), kNamedCodeCount);
    codes.merge(ReadTable("own-status-codes.tsv"));
    const std::u16string prefix = catalogue.at("1006") + u"\n\n";
    for (const auto& [codeText, specific] : codes) {
        const auto code = static_cast<std::uint32_t>(std::stoul(codeText, nullptr, 16));
        std::u16string text = specific;
        if (!specific.empty() && specific[0] == u'#') {
            text = catalogue.at(Narrow(specific.substr(1)));
        }
        const std::u16string expected = prefix + text + CodeLine(code);
        const std::u16string shown = ComposeStatusMessage(static_cast<StatusCode>(code));
        EXPECT_EQ(shown, expected) << codeText << ": " << FirstDifference(shown, expected);
    }
}

// Codes the transcription does not name read "Unknown error" with their own code: every
// neighbour of a named code, and codes from elsewhere, success ones included.
TEST(TranscribedTexts, EveryOtherCodeReadsUnknownError) {
    auto catalogue = ReadTable("catalogue.tsv");
    auto named = ReadTable("status-codes.tsv");
    named.merge(ReadTable("own-status-codes.tsv"));
    std::set<std::uint32_t> namedCodes;
    for (const auto& entry : named) {
        namedCodes.insert(static_cast<std::uint32_t>(std::stoul(entry.first, nullptr, 16)));
    }
    std::set<std::uint32_t> others = {0x80070057, 0x80004005, 0x00000000, 0x00000001,
                                      0x00090001, 0x00098001, 0xFFFFFFFF, 0x80000000};
    for (const std::uint32_t code : namedCodes) {
        others.insert(code - 1);
        others.insert(code + 1);
    }
    const std::u16string prefix = catalogue.at("1006") + u"\n\n";
    for (const std::uint32_t code : others) {
        if (namedCodes.count(code) != 0) {
            continue;
        }
        const std::u16string expected = prefix + u"Unknown error" + CodeLine(code);
        const std::u16string shown = ComposeStatusMessage(static_cast<StatusCode>(code));
        EXPECT_EQ(shown, expected) << std::hex << code << ": " << FirstDifference(shown, expected);
    }
}

// Every back end shows these texts: none may name one, nor the bus it talks on.
TEST(TranscribedTexts, NoTextNamesABackEnd) {
    for (TextId id = 0; id <= kLargestTextId; ++id) {
        const std::string text = Narrow(LoadCatalogueText(id));
        for (const char* name : {"fprintd", "D-Bus", "org.freedesktop", "net.reactivated"}) {
            EXPECT_EQ(text.find(name), std::string::npos) << "text " << id << " names " << name;
        }
    }
}
