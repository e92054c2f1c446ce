// Fuzzes the command line's unit id against a second reading built on the C library's strtoll.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

#include "SessionStartup.h"

namespace {

// The number after the first ':' (or the whole text), as a signed decimal clamped to 32 bits,
// stored as the unsigned bit pattern.
UnitId ReferenceUnitId(const std::string& commandLine) {
    const auto colon = commandLine.find(':');
    // c_str() stops at an embedded NUL, just as the number's digits stop there.
    const std::string number =
        colon == std::string::npos ? commandLine : commandLine.substr(colon + 1);
    long long value = std::strtoll(number.c_str(), nullptr, 10);
    value = std::max<long long>(value, std::numeric_limits<std::int32_t>::min());
    value = std::min<long long>(value, std::numeric_limits<std::int32_t>::max());
    return static_cast<UnitId>(static_cast<std::int32_t>(value));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string commandLine(reinterpret_cast<const char*>(data), size);
    const UnitId parsed = ParseUnitId(commandLine);
    const UnitId expected = ReferenceUnitId(commandLine);
    if (parsed != expected) {
        std::fprintf(stderr, "unit id mismatch: parsed %u, expected %u\n", parsed, expected);
        std::abort();
    }
    return 0;
}
