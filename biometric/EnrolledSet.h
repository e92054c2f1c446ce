// The current user's identity, the enrolled fingers on the unit, and deleting one of them.
#pragma once

#include <cstdint>
#include <optional>

#include "EnrollmentContext.h"
#include "WinBio.h"
#include "WindowHost.h"

// The Unix user as security identifier S-1-22-1-<uid>; with null only tests that it can be read.
bool ReadCurrentUserIdentity(WINBIO_IDENTITY* identity);

// Where the current user's uid comes from (getuid by default); nullopt means it cannot be read.
// Replacing it lets tests reach the unreadable case; null restores the default. Returns the old.
using CurrentUserIdSource = std::optional<std::uint32_t> (*)();
CurrentUserIdSource ReplaceCurrentUserIdSource(CurrentUserIdSource source);

// 0 when the enrolled set was rebuilt, else the service's failing code (the set is kept);
// kInvalidIdentity without asking the service when the user has never been identified.
StatusCode ReadEnrolledSet(EnrollmentContext& context);

// Deletes one finger of the current user; a failure is shown in a message box without icon.
// Without any identity of the user the service is not asked and the failure is kInvalidIdentity.
StatusCode DeleteFinger(EnrollmentContext& context, SubFactor subFactor, WindowHost& host);
