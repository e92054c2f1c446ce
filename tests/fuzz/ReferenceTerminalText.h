// The fuzzers' own reading of what is safe on a terminal, kept apart from the escaper it checks.
#pragma once

#include <cstdint>
#include <string>

// Strict UTF-8, one code point at a time; false at the first byte that does not belong.
inline bool NextCodePoint(const std::string& text, std::size_t& at, std::uint32_t& codePoint) {
    const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[i]); };
    const std::uint8_t lead = byte(at);
    std::size_t length = 0;
    std::uint32_t smallest = 0;
    if (lead < 0x80) {
        codePoint = lead;
        ++at;
        return true;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        codePoint = lead & 0x1F;
        smallest = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        codePoint = lead & 0x0F;
        smallest = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        codePoint = lead & 0x07;
        smallest = 0x10000;
    } else {
        return false;
    }
    if (at + length > text.size()) {
        return false;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) {
            return false;
        }
        codePoint = codePoint << 6 | (byte(at + i) & 0x3F);
    }
    if (codePoint < smallest || codePoint > 0x10FFFF ||
        (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
        return false;
    }
    at += length;
    return true;
}

// What a terminal would obey or what would turn or break the line around it.
inline bool Misleads(std::uint32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x061C || c == 0x200E || c == 0x200F ||
           (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069) || c == 0x2028 ||
           c == 0x2029 || c == 0xFEFF || (c >= 0xFDD0 && c <= 0xFDEF) || (c & 0xFFFF) == 0xFFFE ||
           (c & 0xFFFF) == 0xFFFF;
}

// Valid UTF-8 throughout, and nothing in it that misleads.
inline bool SafeOnTerminal(const std::string& text) {
    std::size_t at = 0;
    while (at < text.size()) {
        std::uint32_t codePoint = 0;
        if (!NextCodePoint(text, at, codePoint) || Misleads(codePoint)) {
            return false;
        }
    }
    return true;
}
