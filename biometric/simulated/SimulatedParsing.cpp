// Small text helpers shared by the parsers of the simulated sensor's variables and store file.
#include "SimulatedParsing.h"

#include <charconv>

namespace {

constexpr std::size_t kMaxStatusHexDigits = 8;

std::string_view Trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

bool AllOf(std::string_view text, bool (*accept)(char)) {
    for (const char character : text) {
        if (!accept(character)) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::vector<std::string> SplitItems(std::string_view text) {
    std::vector<std::string> items;
    if (Trimmed(text).empty()) {
        return items;
    }
    std::size_t start = 0;
    while (true) {
        const auto comma = text.find(',', start);
        items.emplace_back(Trimmed(text.substr(start, comma - start)));
        if (comma == std::string_view::npos) {
            return items;
        }
        start = comma + 1;
    }
}

std::optional<std::uint32_t> ParseDecimal(std::string_view text, std::uint32_t maximum) {
    if (text.empty() || !AllOf(text, [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value > maximum) {
        return std::nullopt;
    }
    return value;
}

std::optional<StatusCode> ParseHexStatus(std::string_view text) {
    if (text.size() < 3 || text[0] != '0' || (text[1] != 'x' && text[1] != 'X')) {
        return std::nullopt;
    }
    const std::string_view digits = text.substr(2);
    const auto isHex = [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    };
    if (digits.size() > kMaxStatusHexDigits || !AllOf(digits, isHex)) {
        return std::nullopt;
    }
    std::uint32_t bits = 0;
    std::from_chars(digits.data(), digits.data() + digits.size(), bits, 16);
    return StatusFromBits(bits);
}

std::string ItemPosition(std::size_t index) {
    return " (item " + std::to_string(index + 1) + ")";
}
