// The identity the simulated sensor files new enrollments under: the Unix user as a SID.
#pragma once

#include <cstdint>

#include "WinBio.h"

// S-1-22-1-<uid> as a binary security identifier: type 3, 16 bytes.
WINBIO_IDENTITY SimulatedUserIdentity(std::uint32_t uid);

// The same for the user running this process.
WINBIO_IDENTITY SimulatedCurrentUserIdentity();
