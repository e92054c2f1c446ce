// Small text helpers shared by the parsers of the simulated sensor's variables and store file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "WinBio.h"

// Comma-separated items with surrounding blanks removed; an empty text has no items, while an
// empty item inside a text stays as "" so that the caller can report it.
std::vector<std::string> SplitItems(std::string_view text);

// Plain decimal digits only (no sign, no blanks), at most maximum.
std::optional<std::uint32_t> ParseDecimal(std::string_view text, std::uint32_t maximum);

// "0x" followed by 1 to 8 hexadecimal digits, read as the 32-bit pattern of a status code.
std::optional<StatusCode> ParseHexStatus(std::string_view text);

// " (item N)", counting from 1, for error messages.
std::string ItemPosition(std::size_t index);
