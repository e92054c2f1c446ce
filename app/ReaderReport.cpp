// What the program says on the terminal about the readers: --list, and why start-up ended.
#include "ReaderReport.h"

#include <array>
#include <cstdio>

#include "EnrolledSet.h"
#include "FprintdMapping.h"
#include "MessageCatalogue.h"
#include "ReaderDiagnosis.h"
#include "StatusMessage.h"
#include "TerminalText.h"
#include "Translation.h"
#include "UnitListing.h"
#include "WinBio.h"

namespace {

constexpr int kExitListed = 0;
constexpr int kExitListingFailed = 1;
constexpr const char* kProgramLead = "varne: ";
constexpr char kColumn = '\t';
// TRANSLATORS: --list's last column, after the reader the program takes when none is given.
constexpr const char* kDefaultMark = N_("(default)");
// TRANSLATORS: --list's name column, for a reader without a name.
constexpr const char* kUnnamed = N_("(no name)");
// TRANSLATORS: --list's kind column: a reader the finger is pressed on, or swiped across.
constexpr const char* kPressKind = N_("press");
constexpr const char* kSwipeKind = N_("swipe");
constexpr std::size_t kCodeTextSize = sizeof("0xffffffff");

std::string FprintdNotRunningLine() {
    return std::string(kProgramLead) +
           Translate(
               "fprintd, the fingerprint daemon, is not running or cannot be reached on "
               "the system bus; to try the simulated sensor instead: "
               "VARNE_SERVICE=simulated varne 1") +
           "\n";
}

std::string ErrorLines(const std::u16string& text) {
    return kProgramLead + ToUtf8(text) + "\n";
}

// Why fprintd gave no session: only a daemon that is not there is "not running"; one that
// answered with an error (fprintd or the bus) is reported with that error.
std::string FprintdSessionNote(StatusCode status) {
    if (status == kSensorUnavailable) {
        return FprintdNotRunningLine();
    }
    return ErrorLines(FromUtf8(Translate("asking fprintd for its readers failed")) +
                      FormatErrorCodeLine(status));
}

std::string ReaderLine(const WINBIO_UNIT_SCHEMA& unit, bool isDefault) {
    std::u16string_view name(unit.Description, kUnitTextCapacity);
    name = name.substr(0, name.find(u'\0'));  // a name that fills the field has no terminator
    std::string line = std::to_string(unit.UnitId) + kColumn;
    line += name.empty() ? std::string(Translate(kUnnamed)) : EscapeForTerminal(name);
    // The kind whose instructions the window gives; a sensor of unknown kind gets the press ones.
    line += kColumn;
    line += Translate(unit.SensorSubType == kSensorSubtypeSwipe ? kSwipeKind : kPressKind);
    if (isDefault) {
        line += kColumn;
        line += Translate(kDefaultMark);
    }
    return line + "\n";
}

// "\tenrolled: right-thumb, left-index-finger", or why they could not be read.
std::string EnrolledFingersColumnText(SessionHandle session, UnitId unit) {
    EnrollmentContext context;
    context.sessionHandle = session;
    context.unitId = unit;
    const StatusCode status = ReadEnrolledSet(context);
    if (status < 0) {
        std::array<char, kCodeTextSize> code{};
        std::snprintf(code.data(), code.size(), "0x%x", static_cast<std::uint32_t>(status));
        std::string column = "\t";
        column += FillPlaceholders(Translate("enrolled fingers not read (error code %s)"),
                                   {{"%s", code.data()}});
        return column;
    }
    std::string names;
    for (const SubFactor finger : EnrolledFingers(context.enrolledSet)) {
        const auto name = FprintdFingerName(finger);
        names += (names.empty() ? "" : ", ") + std::string(name ? *name : "?");
    }
    // TRANSLATORS: %s is the enrolled fingers' names as fprintd has them, or "none".
    std::string column = "\t";
    column += FillPlaceholders(Translate("enrolled: %s"),
                               {{"%s", names.empty() ? std::string(Translate("none")) : names}});
    return column;
}

std::string JoinUnitIds(const std::vector<UnitId>& ids) {
    std::string joined;
    for (const UnitId id : ids) {
        joined += (joined.empty() ? "" : ", ") + std::to_string(id);
    }
    return joined;
}

}  // namespace

ReaderListing ListReaders(ServiceKind service, EnrolledFingersColumn fingers) {
    ReaderListing listing;
    SessionHandle session = 0;
    const StatusCode openStatus =
        WinBioOpenSession(kFactorFingerprint, kPoolSystem, kSessionFlagsDefault, nullptr, 0,
                          kDatabaseDefault, &session);
    if (openStatus < 0) {
        listing.exitCode = kExitListingFailed;
        listing.err = ErrorLines(LoadCatalogueText(kTextSessionOpenFailed));
        if (service == ServiceKind::kFprintd) {
            listing.err += FprintdSessionNote(openStatus);
        }
        return listing;
    }

    const UnitListing readers = ListBiometricUnits();
    UnitId defaultUnit = 0;
    if (readers.status >= 0 && !readers.units.empty() &&
        WinBioLocateSensor(session, &defaultUnit) < 0) {
        defaultUnit = 0;  // the list is still worth printing without its mark
    }
    for (const WINBIO_UNIT_SCHEMA& unit : readers.units) {
        std::string line = ReaderLine(unit, defaultUnit != 0 && unit.UnitId == defaultUnit);
        if (fingers == EnrolledFingersColumn::kShown) {
            line.insert(line.size() - 1, EnrolledFingersColumnText(session, unit.UnitId));
        }
        listing.out += line;
    }
    WinBioCloseSession(session);

    if (readers.status < 0) {
        listing.exitCode = kExitListingFailed;
        // fprintd's answer when it has no reader at all.
        listing.noneListed = readers.status == kSensorUnavailable;
        listing.out.clear();
        listing.err =
            ErrorLines(LoadCatalogueText(kTextUnitsFailed) + FormatErrorCodeLine(readers.status));
    } else if (listing.out.empty()) {
        listing.exitCode = kExitListingFailed;
        listing.noneListed = true;
        listing.err =
            std::string(kProgramLead) + Translate("no fingerprint reader is listed") + "\n";
    } else {
        listing.exitCode = kExitListed;
    }
    return listing;
}

std::string StartupFailureNote(const StartupReport& report, ServiceKind service,
                               const SystemRoot& root) {
    switch (report.failure) {
        case StartupFailure::kSessionNotOpened:
            return service == ServiceKind::kFprintd ? FprintdSessionNote(report.status)
                                                    : std::string();
        case StartupFailure::kUnitNotListed: {
            const std::string unit = std::to_string(report.requestedUnit);
            const std::string line =
                report.listedUnits.empty()
                    ? FillPlaceholders(Translate("unit %s is not listed; no units are listed"),
                                       {{"%s", unit}})
                    : FillPlaceholders(Translate("unit %1$s is not listed; the units listed are "
                                                 "%2$s (see varne --list)"),
                                       {{"%1$s", unit}, {"%2$s", JoinUnitIds(report.listedUnits)}});
            return kProgramLead + line + "\n";
        }
        case StartupFailure::kUnitsNotListed: {
            std::string note;
            for (const std::string& line : DiagnoseMissingReader(root).lines) {
                note += kProgramLead + line + "\n";
            }
            return note;
        }
        default:
            return {};
    }
}
