// Opening the session on the unit from the command line, "Search Device", and the final cancel.
#include "SessionStartup.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string_view>

#include "EnrolledSet.h"
#include "MessageCatalogue.h"
#include "StatusMessage.h"
#include "UnitListing.h"

namespace {

constexpr char kUnitIdSeparator = ':';
constexpr std::int64_t kDecimalBase = 10;
constexpr std::int64_t kLargestValue = std::numeric_limits<std::int32_t>::max();
constexpr std::int64_t kSmallestValue = std::numeric_limits<std::int32_t>::min();
// Enough to know the clamp applies in either direction; stops growth long before overflow.
constexpr std::int64_t kMagnitudeCeiling = -kSmallestValue;

// The C locale's white space, as strtol skips it; independent of the process's locale.
bool IsCWhiteSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDecimalDigit(char c) {
    return c >= '0' && c <= '9';
}

void ShowWarning(WindowHost& host, const std::u16string& text) {
    host.ShowMessageBox(text, MessageBoxIcon::kWarning);
}

void ShowWarningWithCode(WindowHost& host, TextId id, StatusCode status) {
    ShowWarning(host, LoadCatalogueText(id) + FormatErrorCodeLine(status));
}

// The user has read the message by now; the session goes before the window.
bool CloseSessionAndWindow(const EnrollmentContext& context, WindowHost& host) {
    if (context.sessionHandle != 0) {
        WinBioCloseSession(context.sessionHandle);
    }
    host.CloseWindow();
    return false;
}

bool CloseWindowOnly(WindowHost& host) {
    host.CloseWindow();
    return false;
}

void Report(StartupReport* report, StartupFailure failure, StatusCode status) {
    if (report != nullptr) {
        report->failure = failure;
        report->status = status;
    }
}

}  // namespace

UnitId ParseUnitId(const std::string& commandLine) {
    std::string_view text = commandLine;
    const auto separator = text.find(kUnitIdSeparator);
    if (separator != std::string_view::npos) {
        text.remove_prefix(separator + 1);
    }
    std::size_t position = 0;
    while (position < text.size() && IsCWhiteSpace(text[position])) {
        ++position;
    }
    bool negative = false;
    if (position < text.size() && (text[position] == '+' || text[position] == '-')) {
        negative = text[position] == '-';
        ++position;
    }
    std::int64_t magnitude = 0;
    while (position < text.size() && IsDecimalDigit(text[position])) {
        const std::int64_t digit = text[position] - '0';
        magnitude = std::min(magnitude * kDecimalBase + digit, kMagnitudeCeiling);
        ++position;
    }
    const std::int64_t value =
        std::clamp(negative ? -magnitude : magnitude, kSmallestValue, kLargestValue);
    // A negative number names a large unit id, as the unsigned reading of its bits.
    return static_cast<UnitId>(static_cast<std::int32_t>(value));
}

bool StartBiometricSession(EnrollmentContext& context, const std::string& commandLine,
                           WindowHost& host, StartupReport* report,
                           const MissingReaderExplainer& explainMissingReader) {
    if (report != nullptr) {
        *report = StartupReport{};
    }
    context.unitId = 0;
    if (!commandLine.empty()) {
        context.unitId = ParseUnitId(commandLine);
    }
    if (report != nullptr) {
        report->requestedUnit = context.unitId;
    }

    SessionHandle session = 0;
    const StatusCode openStatus =
        WinBioOpenSession(kFactorFingerprint, kPoolSystem, kSessionFlagsDefault, nullptr, 0,
                          kDatabaseDefault, &session);
    if (openStatus < 0) {
        Report(report, StartupFailure::kSessionNotOpened, openStatus);
        ShowWarning(host, LoadCatalogueText(kTextSessionOpenFailed));
        return CloseWindowOnly(host);
    }
    context.sessionHandle = session;

    // The session stays open here; closing the window ends the process.
    if (context.unitId == 0) {
        Report(report, StartupFailure::kNoUnitId, kOk);
        ShowWarning(host, LoadCatalogueText(kTextInvalidUnitId));
        return CloseWindowOnly(host);
    }

    const UnitListing listing = ListBiometricUnits();
    if (listing.status < 0) {
        Report(report, StartupFailure::kUnitsNotListed, listing.status);
        const std::u16string text =
            LoadCatalogueText(kTextUnitsFailed) + FormatErrorCodeLine(listing.status);
        if (explainMissingReader) {
            host.ShowMessageBoxWithDetails(text, MessageBoxIcon::kWarning, explainMissingReader());
        } else {
            ShowWarning(host, text);
        }
        return CloseSessionAndWindow(context, host);
    }
    if (report != nullptr) {
        report->listedUnits = listing.UnitIds();
    }
    const WINBIO_UNIT_SCHEMA* unit = listing.Find(context.unitId);
    if (unit == nullptr) {
        Report(report, StartupFailure::kUnitNotListed, kOk);
        return CloseSessionAndWindow(context, host);
    }
    context.sensorSubType = unit->SensorSubType;

    const StatusCode readStatus = ReadEnrolledSet(context);
    if (readStatus < 0) {
        Report(report, StartupFailure::kEnrolledSetNotRead, readStatus);
        ShowWarningWithCode(host, kTextDatabaseReadFailed, readStatus);
        return CloseSessionAndWindow(context, host);
    }
    return true;
}

bool SearchDevice(EnrollmentContext& context, WindowHost& host) {
    if (context.unitId == 0) {
        // Waits for a touch; whatever unit id the service leaves is the one used.
        WinBioLocateSensor(context.sessionHandle, &context.unitId);
    }
    const UnitListing listing = ListBiometricUnits();
    if (listing.status < 0) {
        ShowWarning(host, LoadCatalogueText(kTextUnitsFailed));
        return CloseWindowOnly(host);
    }
    if (const WINBIO_UNIT_SCHEMA* unit = listing.Find(context.unitId)) {
        context.sensorSubType = unit->SensorSubType;  // the located unit may be another kind
    }
    if (ReadEnrolledSet(context) < 0) {
        ShowWarning(host, LoadCatalogueText(kTextDatabaseReadFailed));
        return CloseWindowOnly(host);
    }
    return true;
}

void CancelPendingWork(const EnrollmentContext& context) {
    if (context.sessionHandle != 0) {
        WinBioCancel(context.sessionHandle);  // the pending capture ends; nothing to report
    }
}
