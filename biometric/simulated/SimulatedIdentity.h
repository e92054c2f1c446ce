// The identity the simulated sensor files new enrollments under: the Unix user as a SID.
#pragma once

#include "WinBio.h"

// The user running this process as S-1-22-1-<uid>: type 3, 16 bytes.
WINBIO_IDENTITY SimulatedCurrentUserIdentity();
