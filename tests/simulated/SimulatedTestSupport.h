// Helpers for the simulated sensor's tests: a session, the listing as a vector, and the shared
// service, recorder and directory they use.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "CaptureRecorder.h"
#include "ScopedSimulatedService.h"
#include "SimulatedIdentity.h"
#include "SimulatedService.h"
#include "TemporaryDirectory.h"
#include "WinBio.h"

inline SessionHandle OpenTestSession() {
    SessionHandle session = 0;
    EXPECT_EQ(WinBioOpenSession(kFactorFingerprint, kPoolSystem, kSessionFlagsDefault, nullptr, 0,
                                kDatabaseDefault, &session),
              kOk);
    EXPECT_NE(session, 0u);
    return session;
}

// The listing as a vector; the status goes to *status.
inline std::vector<SubFactor> ListEnrolled(SessionHandle session, UnitId unit,
                                           StatusCode* status = nullptr) {
    WINBIO_IDENTITY identity = SimulatedCurrentUserIdentity();
    SubFactor* array = nullptr;
    std::uint64_t count = 0;
    const StatusCode result = WinBioEnumEnrollments(session, unit, &identity, &array, &count);
    if (status != nullptr) {
        *status = result;
    }
    std::vector<SubFactor> fingers(array, array + count);
    if (array != nullptr) {
        WinBioFree(array);
    }
    return fingers;
}
