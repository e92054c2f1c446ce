// The WinBio* calls that the suites against a running service make alike: a session, the
// caller's identity, and the caller's enrolled fingers.
#include "ServiceCalls.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>

#include "UnixUserIdentity.h"

namespace ServiceCalls {

SessionHandle OpenSession() {
    SessionHandle handle = 0;
    EXPECT_EQ(WinBioOpenSession(kFactorFingerprint, kPoolSystem, kSessionFlagsDefault, nullptr, 0,
                                kDatabaseDefault, &handle),
              kOk);
    return handle;
}

WINBIO_IDENTITY CallerIdentity() {
    return MakeUnixUserIdentity(static_cast<std::uint32_t>(getuid()));
}

StatusCode EnrolledFingers(SessionHandle handle, UnitId unit, std::vector<SubFactor>* fingers) {
    WINBIO_IDENTITY identity = CallerIdentity();
    SubFactor* array = nullptr;
    std::uint64_t count = 0;
    const StatusCode status = WinBioEnumEnrollments(handle, unit, &identity, &array, &count);
    fingers->assign(array, array + count);
    if (array != nullptr) {
        WinBioFree(array);
    }
    return status;
}

}  // namespace ServiceCalls
