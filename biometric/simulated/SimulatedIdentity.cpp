// The identity the simulated sensor files new enrollments under: the Unix user as a SID.
#include "SimulatedIdentity.h"

#include <unistd.h>

#include "UnixUserIdentity.h"

// The same identity the program asks with, so what it enrolls it also finds.
WINBIO_IDENTITY SimulatedCurrentUserIdentity() {
    return MakeUnixUserIdentity(static_cast<std::uint32_t>(getuid()));
}
