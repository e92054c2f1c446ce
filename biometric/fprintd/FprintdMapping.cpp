// How fprintd's answers become the service's status codes: enrollment results, errors, fingers.
#include "FprintdMapping.h"

#include <algorithm>
#include <array>

namespace {

// A known status string always means the same, whatever fprintd's done flag says.
struct EnrollResultRow {
    std::string_view result;
    StatusCode captureStatus;
    RejectDetail rejectDetail;
    bool ends;
    StatusCode commitStatus;
};

// "not centered" names no direction; every position detail asks the user to place again.
constexpr std::array<EnrollResultRow, 12> kEnrollResults = {{
    {"enroll-stage-passed", kMoreData, 0, false, kInvalidOperation},
    {"enroll-completed", kOk, 0, true, kOk},
    {"enroll-retry-scan", kBadCapture, kRejectPoorQuality, false, kInvalidOperation},
    {"enroll-remove-and-retry", kBadCapture, kRejectTooFast, false, kInvalidOperation},
    {"enroll-too-fast", kBadCapture, kRejectTooFast, false, kInvalidOperation},
    {"enroll-swipe-too-short", kBadCapture, kRejectTooShort, false, kInvalidOperation},
    {"enroll-finger-not-centered", kBadCapture, kRejectTooSkewed, false, kInvalidOperation},
    // fprintd refuses to store a finger it already knows: the capture is fine, the commit not.
    {"enroll-duplicate", kOk, 0, true, kDuplicateEnrollment},
    {"enroll-data-full", kDatabaseFull, 0, true, kInvalidOperation},
    {"enroll-disconnected", kSensorUnavailable, 0, true, kInvalidOperation},
    // fprintd could not store the finished print; a stop we asked for never reaches the table.
    {"enroll-failed", kDatabaseWriteError, 0, true, kInvalidOperation},
    {"enroll-unknown-error", kUnspecifiedFailure, 0, true, kInvalidOperation},
}};

// The same words in a verification, where a match is the one good end.
struct VerifyResultRow {
    std::string_view result;
    StatusCode status;
    std::uint8_t match;
    RejectDetail rejectDetail;
    bool ends;
};

constexpr std::array<VerifyResultRow, 9> kVerifyResults = {{
    {"verify-match", kOk, 1, 0, true},
    {"verify-no-match", kNoMatch, 0, 0, true},
    {"verify-retry-scan", kBadCapture, 0, kRejectPoorQuality, false},
    {"verify-remove-and-retry", kBadCapture, 0, kRejectTooFast, false},
    {"verify-too-fast", kBadCapture, 0, kRejectTooFast, false},
    {"verify-swipe-too-short", kBadCapture, 0, kRejectTooShort, false},
    {"verify-finger-not-centered", kBadCapture, 0, kRejectTooSkewed, false},
    {"verify-disconnected", kSensorUnavailable, 0, 0, true},
    {"verify-unknown-error", kUnspecifiedFailure, 0, 0, true},
}};

// A result that fprintd may go on after, but does not: it ended without an answer.
constexpr StatusCode kEndedWithoutResult = kUnspecifiedFailure;
constexpr RejectDetail kUnrecognisedBadCapture = 0;

template <typename Row, std::size_t kRows>
const Row* FindResult(const std::array<Row, kRows>& rows, std::string_view result) {
    const auto found = std::find_if(rows.begin(), rows.end(),
                                    [result](const Row& row) { return row.result == result; });
    return found == rows.end() ? nullptr : &*found;
}

// Unknown results, and known ones that would go on, end unanswered once fprintd says it is done.
bool EndsUnanswered(bool known, bool rowEnds, bool done) {
    return done && !(known && rowEnds);
}

struct ErrorRow {
    std::string_view name;
    StatusCode status;
    // For a call about one stored finger (deleting or verifying it).
    StatusCode fingerStatus;
};

constexpr std::array<ErrorRow, 23> kErrors = {{
    {"net.reactivated.Fprint.Error.AlreadyInUse", kCaptureAborted, kCaptureAborted},
    {"net.reactivated.Fprint.Error.PermissionDenied", kAccessDenied, kAccessDenied},
    {"net.reactivated.Fprint.Error.NoEnrolledPrints", kDatabaseNoResults, kDatabaseNoSuchRecord},
    {"net.reactivated.Fprint.Error.NoSuchDevice", kSensorUnavailable, kSensorUnavailable},
    {"net.reactivated.Fprint.Error.ClaimDevice", kInvalidOperation, kInvalidOperation},
    {"net.reactivated.Fprint.Error.NoActionInProgress", kInvalidOperation, kInvalidOperation},
    {"net.reactivated.Fprint.Error.InvalidFingername", kInvalidArgument, kInvalidArgument},
    {"net.reactivated.Fprint.Error.Internal", kDeviceFailure, kDeviceFailure},
    {"net.reactivated.Fprint.Error.PrintsNotDeleted", kDeviceFailure, kDeviceFailure},
    {"net.reactivated.Fprint.Error.PrintsNotDeletedFromDevice", kDeviceFailure, kDeviceFailure},
    // The bus's own policy, not a password: nothing the user can type changes it.
    {"org.freedesktop.DBus.Error.AccessDenied", kBlockedByPolicy, kBlockedByPolicy},
    {"org.freedesktop.DBus.Error.InteractiveAuthorizationRequired", kAccessDenied, kAccessDenied},
    {"org.freedesktop.DBus.Error.ServiceUnknown", kSensorUnavailable, kSensorUnavailable},
    {"org.freedesktop.DBus.Error.NameHasNoOwner", kSensorUnavailable, kSensorUnavailable},
    {"org.freedesktop.DBus.Error.NoReply", kSensorUnavailable, kSensorUnavailable},
    {"org.freedesktop.DBus.Error.Disconnected", kSensorUnavailable, kSensorUnavailable},
    {"org.freedesktop.DBus.Error.NoServer", kSensorUnavailable, kSensorUnavailable},
    {"org.freedesktop.DBus.Error.Timeout", kSensorUnavailable, kSensorUnavailable},
    {"org.freedesktop.DBus.Error.TimedOut", kSensorUnavailable, kSensorUnavailable},
    // The reader's object went away with the reader.
    {"org.freedesktop.DBus.Error.UnknownObject", kSensorUnavailable, kSensorUnavailable},
    {"org.freedesktop.DBus.Error.UnknownInterface", kSensorUnavailable, kSensorUnavailable},
    {"org.freedesktop.DBus.Error.UnknownMethod", kSensorUnavailable, kSensorUnavailable},
    {"org.freedesktop.DBus.Error.Spawn.ChildExited", kSensorUnavailable, kSensorUnavailable},
}};

// Index = sub-factor - 1.
constexpr std::array<std::string_view, kLastFinger> kFingerNames = {
    "right-thumb",         "right-index-finger", "right-middle-finger", "right-ring-finger",
    "right-little-finger", "left-thumb",         "left-index-finger",   "left-middle-finger",
    "left-ring-finger",    "left-little-finger",
};

}  // namespace

EnrollResultOutcome EnrollResultStatus(std::string_view result, bool done) {
    const EnrollResultRow* row = FindResult(kEnrollResults, result);
    if (EndsUnanswered(row != nullptr, row != nullptr && row->ends, done)) {
        return {kEndedWithoutResult, 0, true, kInvalidOperation};
    }
    if (row == nullptr) {
        return {kBadCapture, kUnrecognisedBadCapture, false, kInvalidOperation};
    }
    return {row->captureStatus, row->rejectDetail, row->ends, row->commitStatus};
}

VerifyResultOutcome VerifyResultStatus(std::string_view result, bool done) {
    const VerifyResultRow* row = FindResult(kVerifyResults, result);
    if (EndsUnanswered(row != nullptr, row != nullptr && row->ends, done)) {
        return {kEndedWithoutResult, 0, 0, true};
    }
    if (row == nullptr) {
        return {kBadCapture, 0, kUnrecognisedBadCapture, false};
    }
    return {row->status, row->match, row->rejectDetail, row->ends};
}

StatusCode StatusFromErrorName(std::string_view errorName, FprintdCall call) {
    for (const ErrorRow& row : kErrors) {
        if (row.name == errorName) {
            return call == FprintdCall::kOther ? row.status : row.fingerStatus;
        }
    }
    return kUnspecifiedFailure;
}

std::optional<std::string_view> FprintdFingerName(SubFactor subFactor) {
    if (subFactor < kFirstFinger || subFactor > kLastFinger) {
        return std::nullopt;
    }
    return kFingerNames[subFactor - kFirstFinger];
}

SubFactor SubFactorFromFprintdFingerName(std::string_view fingerName) {
    for (std::size_t index = 0; index < kFingerNames.size(); ++index) {
        if (kFingerNames[index] == fingerName) {
            return static_cast<SubFactor>(kFirstFinger + index);
        }
    }
    return kNoFinger;
}

ListedFingers EnrolledFingersFromNames(const std::vector<std::string>& names) {
    ListedFingers listed;
    for (const std::string& name : names) {
        const SubFactor finger = SubFactorFromFprintdFingerName(name);
        if (finger == kNoFinger) {
            ++listed.unknownNames;
        } else if (std::find(listed.fingers.begin(), listed.fingers.end(), finger) ==
                   listed.fingers.end()) {
            listed.fingers.push_back(finger);
        }
    }
    return listed;
}

std::string UnknownFingerNamesNote(std::size_t unknownNames) {
    if (unknownNames == 0) {
        return {};
    }
    return "varne: fprintd listed " + std::to_string(unknownNames) +
           (unknownNames == 1 ? " enrolled name that is" : " enrolled names that are") +
           " none of the ten fingers; left out\n";
}
