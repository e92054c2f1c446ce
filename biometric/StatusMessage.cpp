// Status codes of the biometric service turned into the text the user reads.
#include "StatusMessage.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>

#include "MessageCatalogue.h"
#include "TerminalText.h"
#include "Translation.h"

namespace {

// A code's specific text: a catalogue text where one exists, else a short English name.
struct CodeText {
    std::uint32_t code;
    TextId catalogueId;  // 0 when the name below is used
    const char* name;    // English, UTF-8
};

constexpr CodeText Catalogued(std::uint32_t code, TextId id) {
    return {code, id, nullptr};
}
constexpr CodeText Named(std::uint32_t code, const char* name) {
    return {code, 0, name};
}

constexpr const char* kUnknownError = N_("Unknown error");
constexpr std::u16string_view kBlankLine = u"\n\n";
constexpr char16_t kLineBreak = u'\n';
// TRANSLATORS: the last line of an error message; %x is the code in hexadecimal.
constexpr const char* kErrorCodeLine = N_("Error code = 0x%x");
constexpr std::string_view kCodePlaceholder = "%x";

// Sorted by code; 0x80098028 and 0x80098029 are absent on purpose and read "Unknown error".
constexpr std::array kCodeTexts = {
    Catalogued(0x80070005, kTextAccessDenied),
    Catalogued(0x800704EC, kTextBlockedByPolicy),
    Named(0x80098001, N_("Unsupported factor")),
    Catalogued(0x80098002, kTextInvalidUnitId),
    Named(0x80098003, N_("Unknown ID")),
    Catalogued(0x80098004, kTextCanceled),
    Catalogued(0x80098005, kTextNoMatch),
    Catalogued(0x80098006, kTextCaptureTakenOver),
    Catalogued(0x80098007, kTextEnrollmentInProgress),
    Named(0x80098008, N_("Bad capture")),
    Named(0x80098009, N_("Invalid control code")),
    Named(0x8009800A, N_("Factor not present")),
    Catalogued(0x8009800B, kTextCollectionPending),
    Named(0x8009800C, N_("Unsupported data format")),
    Named(0x8009800D, N_("Unsupported data type")),
    Named(0x8009800E, N_("Unsupported purpose")),
    Named(0x8009800F, N_("Invalid device state")),
    Named(0x80098010, N_("Device busy")),
    Named(0x80098011, N_("Database cannot create")),
    Named(0x80098012, N_("Database cannot open")),
    Named(0x80098013, N_("Database cannot close")),
    Named(0x80098014, N_("Database cannot erase")),
    Named(0x80098015, N_("Database cannot find")),
    Named(0x80098016, N_("Database already exists")),
    Named(0x80098017, N_("Database invalid name")),
    Catalogued(0x80098018, kTextDatabaseFull),
    Catalogued(0x80098019, kTextDatabaseLocked),
    Named(0x8009801A, N_("Database corrupted")),
    Named(0x8009801B, N_("Database no such record")),
    Catalogued(0x8009801C, kTextTemplateExists),
    Named(0x8009801D, N_("Database read error")),
    Catalogued(0x8009801E, kTextRecordAdditionFailed),
    Named(0x8009801F, N_("Database no results")),
    Named(0x80098020, N_("Database no more records")),
    Named(0x80098021, N_("Database EOF")),
    Named(0x80098022, N_("Database bad index vector")),
    Named(0x80098023, N_("Invalid identity")),
    Named(0x80098024, N_("Incorrect BSP")),
    Named(0x80098025, N_("Incorrect sensor pool")),
    Named(0x80098026, N_("No capture data")),
    Named(0x80098027, N_("Invalid sensor mode")),
    Named(0x8009802A, N_("Lock violation")),
    Catalogued(0x8009802B, kTextDuplicateEnrollment),
    Named(0x8009802C, N_("Invalid operation")),
    Named(0x8009802D, N_("Session busy")),
    Named(0x8009802E, N_("Async operation in progress")),
    Named(0x8009802F, N_("Invalid async operation")),
    Named(0x80098030, N_("Credential provider disabled")),
    Named(0x80098031, N_("Credential provider no credential")),
    Named(0x80098032, N_("Disabled")),
    Named(0x80098033, N_("Configuration failure")),
    Named(0x80098034, N_("Sensor unavailable")),
    Named(0x80098035, N_("SAS enabled")),
    Named(0x80098036, N_("Device failure")),
    Named(0x80098037, N_("Fast user switch disabled")),
    Named(0x80098038, N_("Not active console")),
    Named(0x80098039, N_("Event monitor active")),
    Named(0x8009803A, N_("Invalid property type")),
    Named(0x8009803B, N_("Invalid property ID")),
    Named(0x8009803C, N_("Unsupported property")),
    Named(0x8009803D, N_("Adapter integrity failure")),
};

constexpr bool IsSortedByCode() {
    for (std::size_t i = 1; i < kCodeTexts.size(); ++i) {
        if (kCodeTexts[i - 1].code >= kCodeTexts[i].code) {
            return false;
        }
    }
    return true;
}
static_assert(IsSortedByCode(), "the code table must stay sorted and without duplicate codes");

std::u16string SpecificText(StatusCode status) {
    const auto bits = static_cast<std::uint32_t>(status);
    const auto found = std::lower_bound(
        kCodeTexts.begin(), kCodeTexts.end(), bits,
        [](const CodeText& entry, std::uint32_t wanted) { return entry.code < wanted; });
    if (found == kCodeTexts.end() || found->code != bits) {
        return FromUtf8(Translate(kUnknownError));
    }
    if (found->catalogueId != 0) {
        return LoadCatalogueText(found->catalogueId);
    }
    return FromUtf8(Translate(found->name));
}

std::string LowercaseHex(std::uint32_t value) {
    constexpr std::string_view kDigits = "0123456789abcdef";
    constexpr unsigned kBitsPerDigit = 4;
    constexpr std::uint32_t kDigitMask = 0xF;
    std::string digits;
    do {
        digits.push_back(kDigits[value & kDigitMask]);
        value >>= kBitsPerDigit;
    } while (value != 0);
    std::reverse(digits.begin(), digits.end());
    return digits;
}

}  // namespace

std::u16string FormatErrorCodeLine(StatusCode status) {
    std::u16string line(1, kLineBreak);
    line += FromUtf8(
        FillPlaceholders(Translate(kErrorCodeLine),
                         {{kCodePlaceholder, LowercaseHex(static_cast<std::uint32_t>(status))}}));
    return line;
}

std::u16string ComposeStatusMessage(StatusCode status, TextId leadId) {
    std::u16string message = LoadCatalogueText(leadId);
    message += kBlankLine;
    message += SpecificText(status);
    message += FormatErrorCodeLine(status);
    return message;
}
