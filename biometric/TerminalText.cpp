// Text for a terminal: values from outside may hold characters that a terminal obeys, or that
// change how the rest of the line reads.
#include "TerminalText.h"

#include <cstdint>

namespace {

constexpr char kHexDigits[] = "0123456789abcdef";
constexpr char32_t kReplacement = 0xFFFD;
constexpr char32_t kLastC0 = 0x1F;
constexpr char32_t kDelete = 0x7F;
constexpr char32_t kFirstC1 = 0x80;
constexpr char32_t kLastC1 = 0x9F;
constexpr char32_t kLastCodePoint = 0x10FFFF;
constexpr char32_t kFirstSurrogate = 0xD800;
constexpr char32_t kFirstLowSurrogate = 0xDC00;
constexpr char32_t kLastSurrogate = 0xDFFF;
constexpr char32_t kFirstSupplementary = 0x10000;
constexpr unsigned kSurrogateBits = 10;
// Every plane ends in two noncharacters, U+xFFFE and U+xFFFF.
constexpr char32_t kPlaneOffsetMask = 0xFFFF;
constexpr char32_t kFirstPlaneEndNoncharacter = 0xFFFE;

struct CodePointRange {
    char32_t first;
    char32_t last;
};

// Characters that a terminal shows as nothing yet that reorder or break what follows them.
constexpr CodePointRange kLineAlteringCharacters[] = {
    {0x061C, 0x061C},  // Arabic letter mark
    {0x200E, 0x200F},  // left-to-right and right-to-left marks
    {0x2028, 0x2029},  // line and paragraph separators
    {0x202A, 0x202E},  // embeddings, pop, overrides
    {0x2066, 0x2069},  // isolates and their pop
    {0xFDD0, 0xFDEF},  // noncharacters
    {0xFEFF, 0xFEFF},  // byte order mark, zero-width no-break space
};

bool IsControl(char32_t codePoint) {
    return codePoint <= kLastC0 || codePoint == kDelete ||
           (codePoint >= kFirstC1 && codePoint <= kLastC1);
}

bool IsSurrogate(char32_t codePoint) {
    return codePoint >= kFirstSurrogate && codePoint <= kLastSurrogate;
}

bool AltersTheLine(char32_t codePoint) {
    if ((codePoint & kPlaneOffsetMask) >= kFirstPlaneEndNoncharacter) {
        return true;
    }
    for (const CodePointRange& range : kLineAlteringCharacters) {
        if (codePoint >= range.first && codePoint <= range.last) {
            return true;
        }
    }
    return IsSurrogate(codePoint);  // only a lone one from UTF-16 gets here
}

void AppendEscapedByte(std::string& out, unsigned byte) {
    out += "\\x";
    out += kHexDigits[(byte >> 4) & 0xF];
    out += kHexDigits[byte & 0xF];
}

void AppendEscapedCodePoint(std::string& out, char32_t codePoint) {
    std::string digits;
    do {
        digits.insert(digits.begin(), kHexDigits[codePoint & 0xF]);
        codePoint >>= 4;
    } while (codePoint != 0);
    out += "\\u{" + digits + "}";
}

void AppendUtf8(std::string& out, char32_t codePoint) {
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        out += static_cast<char>(0xC0 | (codePoint >> 6));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        out += static_cast<char>(0xE0 | (codePoint >> 12));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (codePoint >> 18));
        out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

void AppendShown(std::string& out, char32_t codePoint) {
    if (IsControl(codePoint)) {
        // Every control lies below 0x100, so one escaped byte names it.
        AppendEscapedByte(out, static_cast<unsigned>(codePoint));
    } else if (AltersTheLine(codePoint)) {
        AppendEscapedCodePoint(out, codePoint);
    } else {
        AppendUtf8(out, codePoint);
    }
}

// The well-formed sequence at the start of text and its length, or length 0.
struct Decoded {
    char32_t codePoint = 0;
    std::size_t length = 0;
};

// A lead byte's form: its marker bits, the sequence's length, and the smallest code point that
// needs that length (anything below is an overlong form).
struct LeadForm {
    unsigned char mask;
    unsigned char marker;
    std::size_t length;
    char32_t smallest;
};

constexpr LeadForm kLeadForms[] = {
    {0xE0, 0xC0, 2, 0x80},
    {0xF0, 0xE0, 3, 0x800},
    {0xF8, 0xF0, 4, 0x10000},
};

Decoded DecodeUtf8(std::string_view text) {
    const auto lead = static_cast<unsigned char>(text[0]);
    if (lead < 0x80) {
        return {lead, 1};
    }
    const LeadForm* form = nullptr;
    for (const LeadForm& candidate : kLeadForms) {
        if ((lead & candidate.mask) == candidate.marker) {
            form = &candidate;
        }
    }
    if (form == nullptr || text.size() < form->length) {
        return {};
    }
    char32_t codePoint = lead & static_cast<unsigned char>(~form->mask);
    for (std::size_t i = 1; i < form->length; ++i) {
        const auto next = static_cast<unsigned char>(text[i]);
        if ((next & 0xC0) != 0x80) {
            return {};
        }
        codePoint = (codePoint << 6) | (next & 0x3F);
    }
    if (codePoint < form->smallest || codePoint > kLastCodePoint || IsSurrogate(codePoint)) {
        return {};
    }
    return {codePoint, form->length};
}

// Calls shown(code point) for each well-formed sequence and invalid(byte) for each byte that
// is not part of one.
template <typename Shown, typename Invalid>
void DecodeUtf8(std::string_view text, Shown shown, Invalid invalid) {
    while (!text.empty()) {
        const Decoded decoded = DecodeUtf8(text);
        if (decoded.length == 0) {
            invalid(static_cast<unsigned char>(text[0]));
            text.remove_prefix(1);
            continue;
        }
        shown(decoded.codePoint);
        text.remove_prefix(decoded.length);
    }
}

// Calls append(code point) for each character; a lone surrogate comes as itself.
template <typename Append>
void DecodeUtf16(std::u16string_view text, Append append) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char32_t unit = text[i];
        const bool high = unit >= kFirstSurrogate && unit < kFirstLowSurrogate;
        if (high && i + 1 < text.size() && text[i + 1] >= kFirstLowSurrogate &&
            text[i + 1] <= kLastSurrogate) {
            const char32_t next = text[++i];
            append(kFirstSupplementary + ((unit - kFirstSurrogate) << kSurrogateBits) +
                   (next - kFirstLowSurrogate));
        } else {
            append(unit);
        }
    }
}

}  // namespace

std::string EscapeForTerminal(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    DecodeUtf8(
        text, [&out](char32_t codePoint) { AppendShown(out, codePoint); },
        [&out](unsigned byte) { AppendEscapedByte(out, byte); });
    return out;
}

std::string EscapeForTerminal(std::u16string_view text) {
    std::string out;
    DecodeUtf16(text, [&out](char32_t codePoint) { AppendShown(out, codePoint); });
    return out;
}

std::string QuoteForTerminal(std::string_view text) {
    std::string quoted;
    quoted.reserve(text.size() + 2);
    quoted += '"';
    DecodeUtf8(
        text,
        [&quoted](char32_t codePoint) {
            if (codePoint == U'"' || codePoint == U'\\') {
                quoted += '\\';
            }
            AppendShown(quoted, codePoint);
        },
        [&quoted](unsigned byte) { AppendEscapedByte(quoted, byte); });
    quoted += '"';
    return quoted;
}

std::string ToUtf8(std::u16string_view text) {
    std::string out;
    DecodeUtf16(text, [&out](char32_t codePoint) {
        AppendUtf8(out, IsSurrogate(codePoint) ? kReplacement : codePoint);
    });
    return out;
}

std::u16string FromUtf8(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    const auto append = [&out](char32_t codePoint) {
        if (codePoint < kFirstSupplementary) {
            out += static_cast<char16_t>(codePoint);
            return;
        }
        const char32_t offset = codePoint - kFirstSupplementary;
        out += static_cast<char16_t>(kFirstSurrogate + (offset >> kSurrogateBits));
        out += static_cast<char16_t>(kFirstLowSurrogate + (offset & 0x3FF));
    };
    DecodeUtf8(text, append, [&append](unsigned) { append(kReplacement); });
    return out;
}
