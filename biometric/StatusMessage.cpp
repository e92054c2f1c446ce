// Status codes of the biometric service turned into the text the user reads.
#include "StatusMessage.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>

#include "MessageCatalogue.h"

namespace {

// A code's specific text: a catalogue text where one exists, else a short English name.
struct CodeText {
    std::uint32_t code;
    TextId catalogueId;  // 0 when the name below is used
    std::u16string_view name;
};

constexpr CodeText Catalogued(std::uint32_t code, TextId id) {
    return {code, id, {}};
}
constexpr CodeText Named(std::uint32_t code, std::u16string_view name) {
    return {code, 0, name};
}

constexpr std::u16string_view kUnknownError = u"Unknown error";
constexpr std::u16string_view kBlankLine = u"\n\n";
constexpr std::u16string_view kErrorCodeLead = u"\nError code = 0x";

// Sorted by code; 0x80098028 and 0x80098029 are absent on purpose and read "Unknown error".
constexpr std::array kCodeTexts = {
    Catalogued(0x80070005, kTextAccessDenied),
    Catalogued(0x800704EC, kTextBlockedByPolicy),
    Named(0x80098001, u"Unsupported factor"),
    Catalogued(0x80098002, kTextInvalidUnitId),
    Named(0x80098003, u"Unknown ID"),
    Catalogued(0x80098004, kTextCanceled),
    Catalogued(0x80098005, kTextNoMatch),
    Catalogued(0x80098006, kTextCaptureTakenOver),
    Catalogued(0x80098007, kTextEnrollmentInProgress),
    Named(0x80098008, u"Bad capture"),
    Named(0x80098009, u"Invalid control code"),
    Named(0x8009800A, u"Factor not present"),
    Catalogued(0x8009800B, kTextCollectionPending),
    Named(0x8009800C, u"Unsupported data format"),
    Named(0x8009800D, u"Unsupported data type"),
    Named(0x8009800E, u"Unsupported purpose"),
    Named(0x8009800F, u"Invalid device state"),
    Named(0x80098010, u"Device busy"),
    Named(0x80098011, u"Database cannot create"),
    Named(0x80098012, u"Database cannot open"),
    Named(0x80098013, u"Database cannot close"),
    Named(0x80098014, u"Database cannot erase"),
    Named(0x80098015, u"Database cannot find"),
    Named(0x80098016, u"Database already exists"),
    Named(0x80098017, u"Database invalid name"),
    Catalogued(0x80098018, kTextDatabaseFull),
    Catalogued(0x80098019, kTextDatabaseLocked),
    Named(0x8009801A, u"Database corrupted"),
    Named(0x8009801B, u"Database no such record"),
    Catalogued(0x8009801C, kTextTemplateExists),
    Named(0x8009801D, u"Database read error"),
    Catalogued(0x8009801E, kTextRecordAdditionFailed),
    Named(0x8009801F, u"Database no results"),
    Named(0x80098020, u"Database no more records"),
    Named(0x80098021, u"Database EOF"),
    Named(0x80098022, u"Database bad index vector"),
    Named(0x80098023, u"Invalid identity"),
    Named(0x80098024, u"Incorrect BSP"),
    Named(0x80098025, u"Incorrect sensor pool"),
    Named(0x80098026, u"No capture data"),
    Named(0x80098027, u"Invalid sensor mode"),
    Named(0x8009802A, u"Lock violation"),
    Catalogued(0x8009802B, kTextDuplicateEnrollment),
    Named(0x8009802C, u"Invalid operation"),
    Named(0x8009802D, u"Session busy"),
    Named(0x8009802E, u"Async operation in progress"),
    Named(0x8009802F, u"Invalid async operation"),
    Named(0x80098030, u"Credential provider disabled"),
    Named(0x80098031, u"Credential provider no credential"),
    Named(0x80098032, u"Disabled"),
    Named(0x80098033, u"Configuration failure"),
    Named(0x80098034, u"Sensor unavailable"),
    Named(0x80098035, u"SAS enabled"),
    Named(0x80098036, u"Device failure"),
    Named(0x80098037, u"Fast user switch disabled"),
    Named(0x80098038, u"Not active console"),
    Named(0x80098039, u"Event monitor active"),
    Named(0x8009803A, u"Invalid property type"),
    Named(0x8009803B, u"Invalid property ID"),
    Named(0x8009803C, u"Unsupported property"),
    Named(0x8009803D, u"Adapter integrity failure"),
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
        return std::u16string(kUnknownError);
    }
    if (found->catalogueId != 0) {
        return LoadCatalogueText(found->catalogueId);
    }
    return std::u16string(found->name);
}

std::u16string LowercaseHex(std::uint32_t value) {
    constexpr std::u16string_view kDigits = u"0123456789abcdef";
    constexpr unsigned kBitsPerDigit = 4;
    constexpr std::uint32_t kDigitMask = 0xF;
    std::u16string digits;
    do {
        digits.push_back(kDigits[value & kDigitMask]);
        value >>= kBitsPerDigit;
    } while (value != 0);
    std::reverse(digits.begin(), digits.end());
    return digits;
}

}  // namespace

std::u16string FormatErrorCodeLine(StatusCode status) {
    std::u16string line(kErrorCodeLead);
    line += LowercaseHex(static_cast<std::uint32_t>(status));
    return line;
}

std::u16string ComposeStatusMessage(StatusCode status, TextId leadId) {
    std::u16string message = LoadCatalogueText(leadId);
    message += kBlankLine;
    message += SpecificText(status);
    message += FormatErrorCodeLine(status);
    return message;
}
