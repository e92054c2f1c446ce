// How fprintd's answers become the service's status codes: enrollment results, errors, fingers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "WinBio.h"

// What one EnrollStatus signal means for the capture that receives it.
struct EnrollResultOutcome {
    StatusCode captureStatus = kOk;
    RejectDetail rejectDetail = 0;
    // Whether fprintd's enrollment is over; no further result will come.
    bool ends = false;
    // What the commit answers after this result ended the enrollment.
    StatusCode commitStatus = kInvalidOperation;
};

// A result string of fprintd's EnrollStatus signal with its done flag. Unknown results are a bad
// capture of their own kind (detail 0) while fprintd goes on, a failure once it is done.
EnrollResultOutcome EnrollResultStatus(std::string_view result, bool done);

// What one VerifyStatus signal means for the verification that receives it.
struct VerifyResultOutcome {
    StatusCode status = kOk;
    std::uint8_t match = 0;  // 1 only with kOk
    RejectDetail rejectDetail = 0;
    // Whether fprintd's verification is over; no further result will come.
    bool ends = false;
};

// A result string of fprintd's VerifyStatus signal with its done flag; unknown results are read
// as the enrollment's are.
VerifyResultOutcome VerifyResultStatus(std::string_view result, bool done);

// Which call an error answered: a few names mean something else for a call about one stored
// finger (deleting or verifying it).
enum class FprintdCall { kOther, kDelete, kVerify };

// A D-Bus error name (fprintd's own or the bus's); names nobody knows give kUnspecifiedFailure.
StatusCode StatusFromErrorName(std::string_view errorName, FprintdCall call = FprintdCall::kOther);

// fprintd's name of a finger, e.g. "right-thumb" for 1; nullopt outside 1..10.
std::optional<std::string_view> FprintdFingerName(SubFactor subFactor);
// The finger a name stands for; kNoFinger for a name that is none of the ten.
SubFactor SubFactorFromFprintdFingerName(std::string_view fingerName);

// What ListEnrolledFingers answered, as the enrolled list: each of the ten fingers once, in
// fprintd's order. Names that are none of the ten (a newer fprintd's, a broken store's) are
// counted, never shown as a finger.
struct ListedFingers {
    std::vector<SubFactor> fingers;
    std::size_t unknownNames = 0;
};
ListedFingers EnrolledFingersFromNames(const std::vector<std::string>& names);
// The line for standard error about names left out; empty when there were none.
std::string UnknownFingerNamesNote(std::size_t unknownNames);
