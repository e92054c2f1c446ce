// Fuzzes the terminal escaper: whatever comes in, what goes out is safe, and safe text passes
// through untouched.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "ReferenceTerminalText.h"
#include "TerminalText.h"

namespace {

void Check(bool holds, const char* what, const std::string& detail) {
    if (!holds) {
        std::fprintf(stderr, "mismatch: %s: %s\n", what, detail.c_str());
        std::abort();
    }
}

bool HoldsQuoteOrBackslash(const std::string& text) {
    return text.find_first_of("\"\\") != std::string::npos;
}

}  // namespace

// The input as UTF-8 text, and its bytes in pairs as UTF-16 units.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::string escaped = EscapeForTerminal(text);
    const std::string quoted = QuoteForTerminal(text);
    Check(SafeOnTerminal(escaped), "escaped text is safe", escaped);
    Check(SafeOnTerminal(quoted), "quoted text is safe", quoted);
    const bool safe = SafeOnTerminal(text);
    Check(safe == (escaped == text), "only unsafe text changes", escaped);
    if (safe && !HoldsQuoteOrBackslash(text)) {
        Check(quoted == "\"" + text + "\"", "safe text is only quoted", quoted);
    }

    std::u16string units;
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        units += static_cast<char16_t>(data[i] | data[i + 1] << 8);
    }
    const std::string fromUnits = EscapeForTerminal(units);
    Check(SafeOnTerminal(fromUnits), "escaped UTF-16 is safe", fromUnits);
    // Nothing escaped: the value converts exactly as the program's own texts do.
    if (units.find(u'\\') == std::u16string::npos && fromUnits.find('\\') == std::string::npos) {
        Check(fromUnits == ToUtf8(units), "unescaped UTF-16 converts plainly", fromUnits);
    }
    return 0;
}
