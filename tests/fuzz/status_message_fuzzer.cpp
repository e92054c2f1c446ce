// Fuzzes the status message for any code: its three pieces, and that unknown codes say so.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "MessageCatalogue.h"
#include "StatusMessage.h"

namespace {

constexpr std::uint32_t kFirstNamedCode = 0x80098001;
constexpr std::uint32_t kLastNamedCode = 0x8009803D;
// Inside the named range, yet without a text of their own.
constexpr std::uint32_t kUnnamedCodes[] = {0x80098028, 0x80098029};
// Outside it, with a text of our own (refused password, blocked by the bus policy).
constexpr std::uint32_t kOwnCodes[] = {0x80070005, 0x800704EC};

[[noreturn]] void Mismatch(const char* what, std::uint32_t code) {
    std::fprintf(stderr, "mismatch for 0x%x: %s\n", code, what);
    std::abort();
}

std::u16string Widened(const char* text) {
    return std::u16string(text, text + std::strlen(text));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::uint32_t code = 0;
    std::memcpy(&code, data, size < sizeof code ? size : sizeof code);
    const auto status = static_cast<StatusCode>(code);

    char line[32];
    std::snprintf(line, sizeof line, "\nError code = 0x%x", code);
    const std::u16string codeLine = Widened(line);
    const std::u16string prefix = LoadCatalogueText(kTextFailurePrefix) + u"\n\n";
    const std::u16string message = ComposeStatusMessage(status);

    if (FormatErrorCodeLine(status) != codeLine) {
        Mismatch("error-code line", code);
    }
    if (prefix.size() <= 2 || message.compare(0, prefix.size(), prefix) != 0) {
        Mismatch("prefix", code);
    }
    if (message.size() < prefix.size() + codeLine.size() ||
        message.compare(message.size() - codeLine.size(), codeLine.size(), codeLine) != 0) {
        Mismatch("last line", code);
    }
    const std::u16string specific =
        message.substr(prefix.size(), message.size() - prefix.size() - codeLine.size());
    bool named = code >= kFirstNamedCode && code <= kLastNamedCode;
    for (const std::uint32_t unnamed : kUnnamedCodes) {
        named = named && code != unnamed;
    }
    for (const std::uint32_t own : kOwnCodes) {
        named = named || code == own;
    }
    if (!named && specific != u"Unknown error") {
        Mismatch("a code without a text must read \"Unknown error\"", code);
    }
    if (named && (specific.empty() || specific == u"Unknown error")) {
        Mismatch("a named code lost its text", code);
    }
    return 0;
}
