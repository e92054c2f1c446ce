// The fields that the window holds for the enrollment workflow, shared with the capture callback.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "WinBio.h"

// The callback writes the atomic fields on the service's thread; everything else belongs to
// the window's thread.
struct EnrollmentContext {
    UnitId unitId = 0;
    std::atomic<std::int32_t> acceptedCaptureCount{0};
    std::atomic<StatusCode> lastStatus{0};
    std::atomic<std::int32_t> mergeFailureCounter{0};
    std::atomic<std::int32_t> tooFastCounter{0};
    std::atomic<std::int32_t> poorQualityCounter{0};
    SessionHandle sessionHandle = 0;
    WINBIO_IDENTITY identity{};
    // One character per enrolled finger, in the service's order (EnrolledSet.h reads it).
    std::u16string enrolledSet;
    std::int32_t selectedFinger = 0;
    // The unit's WINBIO_UNIT_SCHEMA.SensorSubType, as start-up found it: a swipe sensor gets
    // instructions of its own.
    std::uint32_t sensorSubType = kSensorSubtypeUnknown;
};

constexpr std::size_t kAllFingersEnrolled = 10;
