// The fuzzers' own reading of a decimal field, kept apart from the parsers they check.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

// Digits only, at most the given value; counted in 64 bits with an early stop.
inline std::optional<std::uint64_t> Decimal(const std::string& text, std::uint64_t largest) {
    if (text.empty()) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
        if (value > largest) {
            return std::nullopt;
        }
    }
    return value;
}
