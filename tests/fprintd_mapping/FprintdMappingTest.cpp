// What fprintd's results, error names, fingers and users mean to the window and its user.
#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <string>
#include <string_view>
#include <vector>

#include "EnrolledSet.h"
#include "FprintdMapping.h"
#include "FprintdUser.h"
#include "StatusMessage.h"
#include "UnixUserIdentity.h"

namespace {

bool AsksAgain(StatusCode status) {
    return status == kMoreData || status == kBadCapture;
}

bool ContainsBusName(const std::u16string& text) {
    for (const std::u16string_view name : {u"org.freedesktop", u"net.reactivated", u"fprint"}) {
        if (text.find(name) != std::u16string::npos) {
            return true;
        }
    }
    return false;
}

// Results after which fprintd scans on; each asks the user for another touch.
struct RetryRow {
    const char* result;
    StatusCode captureStatus;
    RejectDetail rejectDetail;
};
const RetryRow kRetryResults[] = {
    {"enroll-stage-passed", kMoreData, 0},
    {"enroll-retry-scan", kBadCapture, kRejectPoorQuality},
    {"enroll-remove-and-retry", kBadCapture, kRejectTooFast},
    {"enroll-too-fast", kBadCapture, kRejectTooFast},
    {"enroll-swipe-too-short", kBadCapture, kRejectTooShort},
    {"enroll-finger-not-centered", kBadCapture, kRejectTooSkewed},
    // Names nobody knows while fprintd goes on: another touch, of no known kind.
    {"enroll-something-new", kBadCapture, 0},
    {"", kBadCapture, 0},
};

// Results after which fprintd's enrollment is over, and what the user is told.
struct FinalRow {
    const char* result;
    StatusCode captureStatus;
    StatusCode commitStatus;
};
const FinalRow kFinalResults[] = {
    {"enroll-completed", kOk, kOk},
    // fprintd refuses to store a print it already knows: the capture is fine, the commit not.
    {"enroll-duplicate", kOk, kDuplicateEnrollment},
    {"enroll-data-full", kDatabaseFull, kInvalidOperation},
    {"enroll-disconnected", kSensorUnavailable, kInvalidOperation},
    // fprintd could not store the print: the store's failure, not the device's.
    {"enroll-failed", kDatabaseWriteError, kInvalidOperation},
    {"enroll-unknown-error", kUnspecifiedFailure, kInvalidOperation},
};

TEST(FprintdMapping, EveryRetryResultAsksAgainAndNeverEndsTheCapture) {
    for (const RetryRow& row : kRetryResults) {
        SCOPED_TRACE(row.result);
        const EnrollResultOutcome outcome = EnrollResultStatus(row.result, false);
        EXPECT_FALSE(outcome.ends);
        EXPECT_TRUE(AsksAgain(outcome.captureStatus));
        EXPECT_EQ(outcome.captureStatus, row.captureStatus);
        EXPECT_EQ(outcome.rejectDetail, row.rejectDetail);
        EXPECT_NE(outcome.commitStatus, kOk) << "nothing to commit while fprintd scans on";
    }
}

TEST(FprintdMapping, EveryFinalResultEndsTheCaptureWhateverTheDoneFlag) {
    for (const FinalRow& row : kFinalResults) {
        for (const bool done : {true, false}) {
            SCOPED_TRACE(std::string(row.result) + (done ? " done" : " not flagged done"));
            const EnrollResultOutcome outcome = EnrollResultStatus(row.result, done);
            EXPECT_TRUE(outcome.ends) << "nothing else would end the capture";
            EXPECT_FALSE(AsksAgain(outcome.captureStatus));
            EXPECT_EQ(outcome.captureStatus, row.captureStatus);
            EXPECT_EQ(outcome.rejectDetail, 0u);
            EXPECT_EQ(outcome.commitStatus, row.commitStatus);
        }
    }
}

TEST(FprintdMapping, AResultThatWouldGoOnButIsDoneEndsUnfinished) {
    for (const RetryRow& row : kRetryResults) {
        SCOPED_TRACE(row.result);
        const EnrollResultOutcome outcome = EnrollResultStatus(row.result, true);
        EXPECT_TRUE(outcome.ends);
        EXPECT_EQ(outcome.captureStatus, kUnspecifiedFailure);
        EXPECT_EQ(outcome.commitStatus, kInvalidOperation);
    }
}

TEST(FprintdMapping, AnUnstoredPrintSaysSoAndIsNoDeviceFailure) {
    const EnrollResultOutcome outcome = EnrollResultStatus("enroll-failed", true);
    EXPECT_NE(outcome.captureStatus, kDeviceFailure);
    EXPECT_EQ(ComposeStatusMessage(outcome.captureStatus),
              ComposeStatusMessage(kDatabaseWriteError));
    EXPECT_NE(ComposeStatusMessage(outcome.captureStatus).find(u"Record addition failed"),
              std::u16string::npos);
}

// A verification's results: the final ones end it whatever the done flag says, the retries ask
// for another touch while fprintd verifies on.
struct VerifyRow {
    const char* result;
    StatusCode status;
    std::uint8_t match;
    RejectDetail rejectDetail;
    bool ends;
};
const VerifyRow kVerifyResults[] = {
    {"verify-match", kOk, 1, 0, true},
    {"verify-no-match", kNoMatch, 0, 0, true},
    {"verify-retry-scan", kBadCapture, 0, kRejectPoorQuality, false},
    {"verify-swipe-too-short", kBadCapture, 0, kRejectTooShort, false},
    {"verify-finger-not-centered", kBadCapture, 0, kRejectTooSkewed, false},
    {"verify-remove-and-retry", kBadCapture, 0, kRejectTooFast, false},
    {"verify-too-fast", kBadCapture, 0, kRejectTooFast, false},
    {"verify-disconnected", kSensorUnavailable, 0, 0, true},
    {"verify-unknown-error", kUnspecifiedFailure, 0, 0, true},
    // Names nobody knows (an enrollment's among them) while fprintd goes on: another touch.
    {"verify-something-new", kBadCapture, 0, 0, false},
    {"enroll-completed", kBadCapture, 0, 0, false},
    {"", kBadCapture, 0, 0, false},
};

TEST(FprintdMapping, EveryVerifyResultIsOneRowAndOnlyAMatchMatches) {
    for (const VerifyRow& row : kVerifyResults) {
        for (const bool done : {false, true}) {
            SCOPED_TRACE(std::string(row.result) + (done ? " done" : " going on"));
            const VerifyResultOutcome outcome = VerifyResultStatus(row.result, done);
            if (done && !row.ends) {
                // fprintd stopped after a result that would go on: no answer came.
                EXPECT_TRUE(outcome.ends);
                EXPECT_EQ(outcome.status, kUnspecifiedFailure);
                EXPECT_EQ(outcome.match, 0);
                continue;
            }
            EXPECT_EQ(outcome.status, row.status);
            EXPECT_EQ(outcome.match, row.match);
            EXPECT_EQ(outcome.rejectDetail, row.rejectDetail);
            EXPECT_EQ(outcome.ends, row.ends);
            EXPECT_EQ(outcome.ends, outcome.status != kBadCapture) << "asks again or ends";
            EXPECT_EQ(outcome.match == 1, outcome.status == kOk);
        }
    }
}

TEST(FprintdMapping, AFingerNotEnrolledFailsItsTestAsAMissingRecord) {
    const char* const noPrints = "net.reactivated.Fprint.Error.NoEnrolledPrints";
    EXPECT_EQ(StatusFromErrorName(noPrints, FprintdCall::kVerify), kDatabaseNoSuchRecord);
    EXPECT_EQ(
        StatusFromErrorName("net.reactivated.Fprint.Error.PermissionDenied", FprintdCall::kVerify),
        kAccessDenied);
}

// Error names grouped by what they tell the user, with the code for a deletion (or a
// verification, a call about one finger too) where it differs.
struct ErrorRow {
    const char* name;
    StatusCode status;
    StatusCode deleteStatus;
};

TEST(FprintdMapping, AReaderThatIsGoneIsSensorUnavailable) {
    const char* const gone[] = {
        "net.reactivated.Fprint.Error.NoSuchDevice",
        "org.freedesktop.DBus.Error.ServiceUnknown",
        "org.freedesktop.DBus.Error.NameHasNoOwner",
        "org.freedesktop.DBus.Error.NoReply",
        "org.freedesktop.DBus.Error.Disconnected",
        "org.freedesktop.DBus.Error.NoServer",
        "org.freedesktop.DBus.Error.Timeout",
        "org.freedesktop.DBus.Error.TimedOut",
        "org.freedesktop.DBus.Error.Spawn.ChildExited",
        // The reader's object went with the reader, whichever part of it the bus missed.
        "org.freedesktop.DBus.Error.UnknownObject",
        "org.freedesktop.DBus.Error.UnknownInterface",
        "org.freedesktop.DBus.Error.UnknownMethod",
    };
    for (const char* name : gone) {
        SCOPED_TRACE(name);
        EXPECT_EQ(StatusFromErrorName(name), kSensorUnavailable);
        EXPECT_EQ(StatusFromErrorName(name, FprintdCall::kDelete), kSensorUnavailable);
        EXPECT_EQ(StatusFromErrorName(name, FprintdCall::kVerify), kSensorUnavailable);
    }
}

TEST(FprintdMapping, RefusalsTellAPasswordFromThePolicy) {
    const ErrorRow rows[] = {
        // The password prompt was dismissed or refused, or could not be shown.
        {"net.reactivated.Fprint.Error.PermissionDenied", kAccessDenied, kAccessDenied},
        {"org.freedesktop.DBus.Error.InteractiveAuthorizationRequired", kAccessDenied,
         kAccessDenied},
        // The bus's own policy: no password helps.
        {"org.freedesktop.DBus.Error.AccessDenied", kBlockedByPolicy, kBlockedByPolicy},
    };
    for (const ErrorRow& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(StatusFromErrorName(row.name), row.status);
        EXPECT_EQ(StatusFromErrorName(row.name, FprintdCall::kDelete), row.deleteStatus);
        EXPECT_EQ(StatusFromErrorName(row.name, FprintdCall::kVerify), row.deleteStatus);
    }
    EXPECT_NE(ComposeStatusMessage(kBlockedByPolicy), ComposeStatusMessage(kAccessDenied));
}

TEST(FprintdMapping, OtherErrorNamesKeepTheirMeaning) {
    const ErrorRow rows[] = {
        {"net.reactivated.Fprint.Error.AlreadyInUse", kCaptureAborted, kCaptureAborted},
        // Nothing to list is an empty list; nothing to delete is a missing record.
        {"net.reactivated.Fprint.Error.NoEnrolledPrints", kDatabaseNoResults,
         kDatabaseNoSuchRecord},
        {"net.reactivated.Fprint.Error.ClaimDevice", kInvalidOperation, kInvalidOperation},
        {"net.reactivated.Fprint.Error.NoActionInProgress", kInvalidOperation, kInvalidOperation},
        {"net.reactivated.Fprint.Error.InvalidFingername", kInvalidArgument, kInvalidArgument},
        {"net.reactivated.Fprint.Error.Internal", kDeviceFailure, kDeviceFailure},
        {"net.reactivated.Fprint.Error.PrintsNotDeleted", kDeviceFailure, kDeviceFailure},
        {"net.reactivated.Fprint.Error.PrintsNotDeletedFromDevice", kDeviceFailure, kDeviceFailure},
        // Anything else is an unknown error of ours, never a crash.
        {"net.reactivated.Fprint.Error.SomethingNew", kUnspecifiedFailure, kUnspecifiedFailure},
        {"", kUnspecifiedFailure, kUnspecifiedFailure},
        {"net.reactivated.Fprint.Error.AlreadyInUseX", kUnspecifiedFailure, kUnspecifiedFailure},
        {"org.freedesktop.DBus.Error.UnknownMethodX", kUnspecifiedFailure, kUnspecifiedFailure},
    };
    for (const ErrorRow& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(StatusFromErrorName(row.name), row.status);
        EXPECT_EQ(StatusFromErrorName(row.name, FprintdCall::kDelete), row.deleteStatus);
        EXPECT_EQ(StatusFromErrorName(row.name, FprintdCall::kVerify), row.deleteStatus);
    }
}

// Whatever fprintd or the bus answered, the user reads the program's words and a code.
TEST(FprintdMapping, NoBusNameReachesTheUser) {
    std::vector<StatusCode> shown;
    for (const RetryRow& row : kRetryResults) {
        shown.push_back(EnrollResultStatus(row.result, true).captureStatus);
    }
    for (const FinalRow& row : kFinalResults) {
        shown.push_back(EnrollResultStatus(row.result, true).captureStatus);
        shown.push_back(EnrollResultStatus(row.result, true).commitStatus);
    }
    for (const VerifyRow& row : kVerifyResults) {
        shown.push_back(VerifyResultStatus(row.result, true).status);
    }
    const char* const names[] = {
        "net.reactivated.Fprint.Error.AlreadyInUse",
        "net.reactivated.Fprint.Error.PermissionDenied",
        "net.reactivated.Fprint.Error.NoEnrolledPrints",
        "net.reactivated.Fprint.Error.Internal",
        "org.freedesktop.DBus.Error.AccessDenied",
        "org.freedesktop.DBus.Error.UnknownMethod",
        "org.freedesktop.DBus.Error.NoReply",
        "net.reactivated.Fprint.Error.SomethingNew",
    };
    for (const char* name : names) {
        shown.push_back(StatusFromErrorName(name));
        shown.push_back(StatusFromErrorName(name, FprintdCall::kDelete));
    }
    for (const StatusCode status : shown) {
        if (status < 0) {
            EXPECT_FALSE(ContainsBusName(ComposeStatusMessage(status)))
                << "code 0x" << std::hex << static_cast<std::uint32_t>(status);
        }
    }
}

TEST(FprintdMapping, EachKnownFingerIsListedOnceInTheDaemonsOrder) {
    const struct {
        const char* what;
        std::vector<std::string> names;
        std::vector<SubFactor> fingers;
        std::size_t unknownNames;
    } rows[] = {
        {"nothing", {}, {}, 0},
        {"ten copies of one finger", std::vector<std::string>(10, "right-thumb"), {1}, 0},
        {"the daemon's order, not ours",
         {"left-little-finger", "right-thumb", "left-thumb"},
         {10, 1, 6},
         0},
        {"all ten, an unknown name and a duplicate",
         {"right-thumb", "right-index-finger", "right-middle-finger", "right-ring-finger",
          "right-little-finger", "left-thumb", "left-index-finger", "left-middle-finger",
          "left-ring-finger", "whole-hand", "left-little-finger", "right-thumb"},
         {1, 2, 3, 4, 5, 6, 7, 8, 9, 10},
         1},
        {"a duplicate keeps its first place",
         {"left-thumb", "right-thumb", "left-thumb"},
         {6, 1},
         0},
        {"unknown names only", {"any", "", "Right-thumb", "any"}, {}, 4},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const ListedFingers listed = EnrolledFingersFromNames(row.names);
        EXPECT_EQ(listed.fingers, row.fingers);
        EXPECT_EQ(listed.unknownNames, row.unknownNames);
    }
}

TEST(FprintdMapping, UnknownFingerNamesAreNotedOnlyWhenThereAreSome) {
    EXPECT_EQ(UnknownFingerNamesNote(0), "");
    EXPECT_EQ(UnknownFingerNamesNote(1),
              "varne: fprintd listed 1 enrolled name that is none of the ten fingers; left out\n");
    EXPECT_EQ(
        UnknownFingerNamesNote(3),
        "varne: fprintd listed 3 enrolled names that are none of the ten fingers; left out\n");
}

TEST(FprintdMapping, FingerNamesAndSubFactorsMapBothWays) {
    const char* const names[] = {
        "right-thumb",         "right-index-finger", "right-middle-finger", "right-ring-finger",
        "right-little-finger", "left-thumb",         "left-index-finger",   "left-middle-finger",
        "left-ring-finger",    "left-little-finger",
    };
    for (SubFactor finger = kFirstFinger; finger <= kLastFinger; ++finger) {
        const char* name = names[finger - kFirstFinger];
        ASSERT_TRUE(FprintdFingerName(finger));
        EXPECT_EQ(*FprintdFingerName(finger), name);
        EXPECT_EQ(SubFactorFromFprintdFingerName(name), finger);
    }
    EXPECT_FALSE(FprintdFingerName(kNoFinger));
    EXPECT_FALSE(FprintdFingerName(kLastFinger + 1));
    for (const char* other : {"any", "", "right-thumb ", "Right-thumb"}) {
        EXPECT_EQ(SubFactorFromFprintdFingerName(other), kNoFinger) << other;
    }
}

TEST(FprintdUser, OnlyTheCallersOwnIdentityNamesAUser) {
    const auto uid = static_cast<std::uint32_t>(getuid());
    const passwd* entry = getpwuid(getuid());
    ASSERT_NE(entry, nullptr);
    std::string name;
    EXPECT_EQ(UserNameForIdentity(MakeUnixUserIdentity(uid), uid, &name), kOk);
    EXPECT_EQ(name, entry->pw_name);

    EXPECT_EQ(UserNameForIdentity(MakeUnixUserIdentity(uid + 1), uid, &name), kAccessDenied);

    auto altered = [uid](auto change) {
        WINBIO_IDENTITY identity = MakeUnixUserIdentity(uid);
        change(identity);
        return identity;
    };
    const WINBIO_IDENTITY malformed[] = {
        WINBIO_IDENTITY{},
        altered([](WINBIO_IDENTITY& identity) { identity.Type = 1; }),
        altered([](WINBIO_IDENTITY& identity) { identity.Size = 12; }),
        altered([](WINBIO_IDENTITY& identity) { identity.Size = 17; }),
        altered([](WINBIO_IDENTITY& identity) { identity.Size = kIdentityDataCapacity + 1; }),
        altered([](WINBIO_IDENTITY& identity) { identity.Data[0] = 2; }),  // revision
        altered([](WINBIO_IDENTITY& identity) { identity.Data[7] = 5; }),  // authority
        altered([](WINBIO_IDENTITY& identity) { identity.Data[8] = 2; }),  // not users
    };
    for (const WINBIO_IDENTITY& identity : malformed) {
        EXPECT_EQ(UserNameForIdentity(identity, uid, &name), kInvalidIdentity);
    }
}

}  // namespace
