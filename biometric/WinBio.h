// The biometric service's records, status codes and operations, forwarded to the installed back
// end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

using StatusCode = std::int32_t;  // negative means failure
using SessionHandle = std::uint32_t;
using UnitId = std::uint32_t;
using SubFactor = std::uint8_t;  // finger position 1..10, 0 = none
using RejectDetail = std::uint32_t;

// Status codes are 32-bit patterns; the failures are negative as signed values.
constexpr StatusCode StatusFromBits(std::uint32_t bits) {
    return static_cast<StatusCode>(bits);
}

constexpr StatusCode kOk = 0;
constexpr StatusCode kMoreData = 0x00090001;
constexpr StatusCode kUnspecifiedFailure = StatusFromBits(0x80004005);
constexpr StatusCode kAccessDenied = StatusFromBits(0x80070005);
constexpr StatusCode kInvalidArgument = StatusFromBits(0x80070057);
// The system's own policy refused the program (not a refused password): the service's
// facility has no code for it, so the system's "blocked by policy" error stands in.
constexpr StatusCode kBlockedByPolicy = StatusFromBits(0x800704EC);
constexpr StatusCode kUnsupportedFactor = StatusFromBits(0x80098001);
constexpr StatusCode kInvalidUnit = StatusFromBits(0x80098002);
constexpr StatusCode kUnknownId = StatusFromBits(0x80098003);
constexpr StatusCode kCanceled = StatusFromBits(0x80098004);
constexpr StatusCode kNoMatch = StatusFromBits(0x80098005);
constexpr StatusCode kCaptureAborted = StatusFromBits(0x80098006);
constexpr StatusCode kEnrollmentInProgress = StatusFromBits(0x80098007);
constexpr StatusCode kBadCapture = StatusFromBits(0x80098008);
constexpr StatusCode kDataCollectionInProgress = StatusFromBits(0x8009800B);
constexpr StatusCode kDeviceBusy = StatusFromBits(0x80098010);
constexpr StatusCode kDatabaseFull = StatusFromBits(0x80098018);
constexpr StatusCode kDatabaseLocked = StatusFromBits(0x80098019);
constexpr StatusCode kDatabaseCorrupted = StatusFromBits(0x8009801A);
constexpr StatusCode kDatabaseNoSuchRecord = StatusFromBits(0x8009801B);
constexpr StatusCode kDuplicateTemplate = StatusFromBits(0x8009801C);
constexpr StatusCode kDatabaseReadError = StatusFromBits(0x8009801D);
constexpr StatusCode kDatabaseWriteError = StatusFromBits(0x8009801E);
constexpr StatusCode kDatabaseNoResults = StatusFromBits(0x8009801F);
constexpr StatusCode kInvalidIdentity = StatusFromBits(0x80098023);
constexpr StatusCode kNoCaptureData = StatusFromBits(0x80098026);
constexpr StatusCode kDuplicateEnrollment = StatusFromBits(0x8009802B);
constexpr StatusCode kInvalidOperation = StatusFromBits(0x8009802C);
constexpr StatusCode kSessionBusy = StatusFromBits(0x8009802D);
constexpr StatusCode kSensorUnavailable = StatusFromBits(0x80098034);
constexpr StatusCode kDeviceFailure = StatusFromBits(0x80098036);
// A requested capture or verification that saw no finger in time. Non-negative and neither kOk
// nor kMoreData, so the window shows "Timeout"; the number is the system's timeout error in the
// service's facility.
constexpr StatusCode kCaptureTimedOut = 0x000905B4;
constexpr StatusCode kFirstServiceFailure = kUnsupportedFactor;
constexpr StatusCode kLastServiceFailure = StatusFromBits(0x8009803D);

// Why a capture was bad (the detail that comes with kBadCapture).
constexpr RejectDetail kRejectTooHigh = 1;
constexpr RejectDetail kRejectTooLow = 2;
constexpr RejectDetail kRejectTooLeft = 3;
constexpr RejectDetail kRejectTooRight = 4;
constexpr RejectDetail kRejectTooFast = 5;
constexpr RejectDetail kRejectTooSlow = 6;
constexpr RejectDetail kRejectPoorQuality = 7;
constexpr RejectDetail kRejectTooSkewed = 8;
constexpr RejectDetail kRejectTooShort = 9;
constexpr RejectDetail kRejectMergeFailure = 10;

constexpr std::uint32_t kFactorFingerprint = 8;
constexpr std::uint32_t kPoolSystem = 1;
constexpr std::uint32_t kSessionFlagsDefault = 0;
constexpr std::uint32_t kDatabaseDefault = 1;

constexpr SubFactor kNoFinger = 0;
constexpr SubFactor kFirstFinger = 1;
constexpr SubFactor kLastFinger = 10;

constexpr std::uint32_t kIdentityTypeSid = 3;
constexpr std::size_t kIdentityDataCapacity = 68;

struct WINBIO_IDENTITY {
    std::uint32_t Type = 0;
    std::uint32_t Size = 0;
    std::uint8_t Data[kIdentityDataCapacity] = {};
};

constexpr std::size_t kUnitTextCapacity = 256;

// WINBIO_UNIT_SCHEMA.SensorSubType: how the finger meets the sensor.
constexpr std::uint32_t kSensorSubtypeUnknown = 0;
constexpr std::uint32_t kSensorSubtypeSwipe = 1;
constexpr std::uint32_t kSensorSubtypeTouch = 2;

// The program reads UnitId, SensorSubType and Description; the rest describes the sensor.
struct WINBIO_UNIT_SCHEMA {
    std::uint32_t UnitId = 0;  // the unit id
    std::uint32_t PoolType = 0;
    std::uint32_t BiometricFactor = 0;
    std::uint32_t SensorSubType = 0;
    std::uint32_t Capabilities = 0;
    char16_t Description[kUnitTextCapacity] = {};
};

// Called once per requested capture, on the service's own thread.
using EnrollCaptureCallback = void (*)(void* context, StatusCode operationStatus,
                                       RejectDetail rejectDetail);

// Called once per requested verification, on the service's own thread. match is 1 only with
// kOk; kNoMatch means the finger was read and is not the stored one; kBadCapture with a reject
// detail asks for another touch (request the next verification); kCaptureTimedOut means no
// finger came in time; kCanceled follows WinBioCancel.
using VerifyCallback = void (*)(void* context, StatusCode operationStatus, UnitId unitId,
                                std::uint8_t match, RejectDetail rejectDetail);

class BiometricBackend;

// The back end that the operations below forward to; null uninstalls it.
void InstallBiometricBackend(std::shared_ptr<BiometricBackend> backend);
std::shared_ptr<BiometricBackend> InstalledBiometricBackend();

StatusCode WinBioOpenSession(std::uint32_t factor, std::uint32_t poolType, std::uint32_t flags,
                             UnitId* unitArray, std::size_t unitCount, std::uint32_t databaseId,
                             SessionHandle* sessionHandle);
StatusCode WinBioCloseSession(SessionHandle sessionHandle);
StatusCode WinBioCancel(SessionHandle sessionHandle);
// The array comes from the service and goes back through WinBioFree.
StatusCode WinBioEnumBiometricUnits(std::uint32_t factor, WINBIO_UNIT_SCHEMA** unitSchemaArray,
                                    std::size_t* unitCount);
StatusCode WinBioLocateSensor(SessionHandle sessionHandle, UnitId* unitId);
StatusCode WinBioEnumEnrollments(SessionHandle sessionHandle, UnitId unitId,
                                 WINBIO_IDENTITY* identity, SubFactor** subFactorArray,
                                 std::uint64_t* subFactorCount);
StatusCode WinBioEnrollBegin(SessionHandle sessionHandle, SubFactor subFactor, UnitId unitId);
StatusCode WinBioEnrollCaptureWithCallback(SessionHandle sessionHandle,
                                           EnrollCaptureCallback captureCallback,
                                           void* captureCallbackContext);
StatusCode WinBioEnrollCommit(SessionHandle sessionHandle, WINBIO_IDENTITY* identity,
                              std::uint8_t* isNewTemplate);
StatusCode WinBioEnrollDiscard(SessionHandle sessionHandle);
StatusCode WinBioDeleteTemplate(SessionHandle sessionHandle, UnitId unitId,
                                WINBIO_IDENTITY* identity, SubFactor subFactor);
StatusCode WinBioFree(void* address);
// Checks one touch against the stored print of subFactor for identity on the session's unit.
// Returns at once; the callback then comes exactly once, unless this returned a failure. A
// finger that is not enrolled fails as the back end's reader would (kDatabaseNoSuchRecord).
// The reader is held only while a verification is requested or its result is pending.
StatusCode WinBioVerifyWithCallback(SessionHandle sessionHandle, WINBIO_IDENTITY* identity,
                                    SubFactor subFactor, VerifyCallback verifyCallback,
                                    void* verifyCallbackContext);
// How many accepted captures the open enrollment takes, where the back end knows it; a failure
// means the fixed progress range applies.
StatusCode WinBioEnrollStageCount(SessionHandle sessionHandle, std::uint32_t* stageCount);
