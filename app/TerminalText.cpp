// Text for a terminal: values from outside may hold control characters that a terminal obeys.
#include "TerminalText.h"

#include <cstdint>

namespace {

constexpr char32_t kReplacement = 0xFFFD;
constexpr char32_t kLastC0 = 0x1F;
constexpr char32_t kDelete = 0x7F;
constexpr char32_t kFirstC1 = 0x80;
constexpr char32_t kLastC1 = 0x9F;
constexpr char32_t kLastCodePoint = 0x10FFFF;
constexpr char32_t kFirstSurrogate = 0xD800;
constexpr char32_t kFirstLowSurrogate = 0xDC00;
constexpr char32_t kLastSurrogate = 0xDFFF;

bool IsControl(char32_t codePoint) {
    return codePoint <= kLastC0 || codePoint == kDelete ||
           (codePoint >= kFirstC1 && codePoint <= kLastC1);
}

void AppendEscapedByte(std::string& out, unsigned byte) {
    constexpr char kDigits[] = "0123456789abcdef";
    out += "\\x";
    out += kDigits[(byte >> 4) & 0xF];
    out += kDigits[byte & 0xF];
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
    if (form == nullptr) {
        return {};
    }
    const std::size_t length = form->length;
    char32_t codePoint = lead & static_cast<unsigned char>(~form->mask);
    if (text.size() < length) {
        return {};
    }
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[i]);
        if ((next & 0xC0) != 0x80) {
            return {};
        }
        codePoint = (codePoint << 6) | (next & 0x3F);
    }
    if (codePoint < form->smallest || codePoint > kLastCodePoint ||
        (codePoint >= kFirstSurrogate && codePoint <= kLastSurrogate)) {
        return {};
    }
    return {codePoint, length};
}

template <typename Append>
void DecodeUtf16(std::u16string_view text, Append append) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t unit = text[i];
        const bool high = unit >= kFirstSurrogate && unit < kFirstLowSurrogate;
        const bool low = unit >= kFirstLowSurrogate && unit <= kLastSurrogate;
        if (high && i + 1 < text.size() && text[i + 1] >= kFirstLowSurrogate &&
            text[i + 1] <= kLastSurrogate) {
            const char32_t next = text[++i];
            append(0x10000 + ((unit - kFirstSurrogate) << 10) + (next - kFirstLowSurrogate));
        } else if (high || low) {
            append(kReplacement);
        } else {
            append(unit);
        }
    }
}

}  // namespace

std::string EscapeControlCharacters(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        const Decoded decoded = DecodeUtf8(text);
        if (decoded.length == 0) {
            AppendEscapedByte(out, static_cast<unsigned char>(text[0]));
            text.remove_prefix(1);
            continue;
        }
        AppendShown(out, decoded.codePoint);
        text.remove_prefix(decoded.length);
    }
    return out;
}

std::string ToTerminalText(std::u16string_view text) {
    std::string out;
    DecodeUtf16(text, [&out](char32_t codePoint) { AppendShown(out, codePoint); });
    return out;
}

std::string ToUtf8(std::u16string_view text) {
    std::string out;
    DecodeUtf16(text, [&out](char32_t codePoint) { AppendUtf8(out, codePoint); });
    return out;
}
