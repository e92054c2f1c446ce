// The WinBio* calls that the suites against a running service make alike: a session, the
// caller's identity, and the caller's enrolled fingers.
#pragma once

#include <vector>

#include "WinBio.h"

namespace ServiceCalls {

// The first reader the daemon lists; the fixtures start one unless a test asks for more.
constexpr UnitId kUnit = 1;

// A fingerprint session on the system pool; the test fails when the service refuses one.
SessionHandle OpenSession();
// The identity of the user running the test.
WINBIO_IDENTITY CallerIdentity();
// The listing's status, and the caller's fingers on that unit in the service's order.
StatusCode EnrolledFingers(SessionHandle handle, UnitId unit, std::vector<SubFactor>* fingers);

}  // namespace ServiceCalls
