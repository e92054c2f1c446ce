// The user identity's byte layout: a Unix user as the security identifier S-1-22-1-<uid>.
#pragma once

#include <cstdint>
#include <optional>

#include "WinBio.h"

// The identity record of S-1-22-1-<uid>: type 3, 16 bytes of binary security identifier, the
// rest of the data zero.
WINBIO_IDENTITY MakeUnixUserIdentity(std::uint32_t uid);

// The uid of an exact S-1-22-1-<uid> record; none for any other type, size or byte.
std::optional<std::uint32_t> UnixUserIdOf(const WINBIO_IDENTITY& identity);
