// The translation of fprintd's results, error names, fingers and users, row by row.
#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <string>

#include "EnrolledSet.h"
#include "FprintdMapping.h"
#include "FprintdUser.h"
#include "UnixUserIdentity.h"

namespace {

struct ResultRow {
    const char* result;
    bool done;
    StatusCode captureStatus;
    RejectDetail rejectDetail;
    bool ends;
    StatusCode commitStatus;
};

TEST(FprintdMapping, EnrollResultsBecomeCaptureResults) {
    const ResultRow rows[] = {
        {"enroll-stage-passed", false, kMoreData, 0, false, kInvalidOperation},
        {"enroll-completed", true, kOk, 0, true, kOk},
        {"enroll-retry-scan", false, kBadCapture, kRejectPoorQuality, false, kInvalidOperation},
        {"enroll-remove-and-retry", false, kBadCapture, kRejectTooFast, false, kInvalidOperation},
        {"enroll-too-fast", false, kBadCapture, kRejectTooFast, false, kInvalidOperation},
        {"enroll-swipe-too-short", false, kBadCapture, kRejectTooShort, false, kInvalidOperation},
        {"enroll-finger-not-centered", false, kBadCapture, kRejectTooSkewed, false,
         kInvalidOperation},
        {"enroll-duplicate", true, kOk, 0, true, kDuplicateEnrollment},
        {"enroll-data-full", true, kDatabaseFull, 0, true, kInvalidOperation},
        {"enroll-disconnected", true, kSensorUnavailable, 0, true, kInvalidOperation},
        {"enroll-failed", true, kDeviceFailure, 0, true, kInvalidOperation},
        {"enroll-unknown-error", true, kUnspecifiedFailure, 0, true, kInvalidOperation},
        // Names nobody knows: fprintd going on asks for another scan, fprintd done is a failure.
        {"enroll-something-new", false, kBadCapture, 0, false, kInvalidOperation},
        {"enroll-something-new", true, kUnspecifiedFailure, 0, true, kInvalidOperation},
        {"", false, kBadCapture, 0, false, kInvalidOperation},
        // A result that would go on, but fprintd says it is done: the enrollment ended unfinished.
        {"enroll-stage-passed", true, kUnspecifiedFailure, 0, true, kInvalidOperation},
        {"enroll-retry-scan", true, kUnspecifiedFailure, 0, true, kInvalidOperation},
        // An end that fprintd did not flag as one still ends it: nothing else would.
        {"enroll-data-full", false, kDatabaseFull, 0, true, kInvalidOperation},
    };
    for (const ResultRow& row : rows) {
        const EnrollResultOutcome outcome = EnrollResultStatus(row.result, row.done);
        SCOPED_TRACE(std::string(row.result) + (row.done ? " done" : " going on"));
        EXPECT_EQ(outcome.captureStatus, row.captureStatus);
        EXPECT_EQ(outcome.rejectDetail, row.rejectDetail);
        EXPECT_EQ(outcome.ends, row.ends);
        EXPECT_EQ(outcome.commitStatus, row.commitStatus);
    }
}

TEST(FprintdMapping, ErrorNamesBecomeStatusCodes) {
    struct Row {
        const char* name;
        StatusCode status;
        StatusCode deleteStatus;
    };
    const Row rows[] = {
        {"net.reactivated.Fprint.Error.AlreadyInUse", kCaptureAborted, kCaptureAborted},
        {"net.reactivated.Fprint.Error.PermissionDenied", kAccessDenied, kAccessDenied},
        {"net.reactivated.Fprint.Error.NoEnrolledPrints", kDatabaseNoResults,
         kDatabaseNoSuchRecord},
        {"net.reactivated.Fprint.Error.NoSuchDevice", kSensorUnavailable, kSensorUnavailable},
        {"net.reactivated.Fprint.Error.ClaimDevice", kInvalidOperation, kInvalidOperation},
        {"net.reactivated.Fprint.Error.NoActionInProgress", kInvalidOperation, kInvalidOperation},
        {"net.reactivated.Fprint.Error.InvalidFingername", kInvalidArgument, kInvalidArgument},
        {"net.reactivated.Fprint.Error.Internal", kDeviceFailure, kDeviceFailure},
        {"net.reactivated.Fprint.Error.PrintsNotDeleted", kDeviceFailure, kDeviceFailure},
        {"net.reactivated.Fprint.Error.PrintsNotDeletedFromDevice", kDeviceFailure, kDeviceFailure},
        {"org.freedesktop.DBus.Error.AccessDenied", kAccessDenied, kAccessDenied},
        {"org.freedesktop.DBus.Error.InteractiveAuthorizationRequired", kAccessDenied,
         kAccessDenied},
        {"org.freedesktop.DBus.Error.ServiceUnknown", kSensorUnavailable, kSensorUnavailable},
        {"org.freedesktop.DBus.Error.NameHasNoOwner", kSensorUnavailable, kSensorUnavailable},
        {"org.freedesktop.DBus.Error.NoReply", kSensorUnavailable, kSensorUnavailable},
        {"org.freedesktop.DBus.Error.Disconnected", kSensorUnavailable, kSensorUnavailable},
        {"org.freedesktop.DBus.Error.NoServer", kSensorUnavailable, kSensorUnavailable},
        {"org.freedesktop.DBus.Error.Timeout", kSensorUnavailable, kSensorUnavailable},
        {"org.freedesktop.DBus.Error.TimedOut", kSensorUnavailable, kSensorUnavailable},
        {"org.freedesktop.DBus.Error.UnknownObject", kSensorUnavailable, kSensorUnavailable},
        {"org.freedesktop.DBus.Error.Spawn.ChildExited", kSensorUnavailable, kSensorUnavailable},
        // Anything else is an unknown error of ours, never a crash.
        {"net.reactivated.Fprint.Error.SomethingNew", kUnspecifiedFailure, kUnspecifiedFailure},
        {"", kUnspecifiedFailure, kUnspecifiedFailure},
        {"net.reactivated.Fprint.Error.AlreadyInUseX", kUnspecifiedFailure, kUnspecifiedFailure},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(StatusFromErrorName(row.name), row.status);
        EXPECT_EQ(StatusFromErrorName(row.name, FprintdCall::kDelete), row.deleteStatus);
    }
}

TEST(FprintdMapping, FingerNamesAndSubFactorsMapBothWays) {
    const char* const names[] = {
        "right-thumb",         "right-index-finger", "right-middle-finger", "right-ring-finger",
        "right-little-finger", "left-thumb",         "left-index-finger",   "left-middle-finger",
        "left-ring-finger",    "left-little-finger",
    };
    for (SubFactor finger = kFirstFinger; finger <= kLastFinger; ++finger) {
        const char* name = names[finger - kFirstFinger];
        ASSERT_TRUE(FingerName(finger));
        EXPECT_EQ(*FingerName(finger), name);
        EXPECT_EQ(SubFactorFromFingerName(name), finger);
    }
    EXPECT_FALSE(FingerName(kNoFinger));
    EXPECT_FALSE(FingerName(kLastFinger + 1));
    for (const char* other : {"any", "", "right-thumb ", "Right-thumb"}) {
        EXPECT_EQ(SubFactorFromFingerName(other), kNoFinger) << other;
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
