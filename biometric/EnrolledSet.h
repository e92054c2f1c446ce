// The current user's identity, the enrolled fingers on the unit, and deleting one of them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "EnrollmentContext.h"
#include "WinBio.h"
#include "WindowHost.h"

// The enrolled set holds one character per finger, in the service's order; these are the only
// readers and writer of that encoding.
std::u16string MakeEnrolledSet(const std::vector<SubFactor>& fingers);
bool IsEnrolled(const std::u16string& enrolledSet, int subFactor);
// The fingers 1..10 of the set in its order; characters that stand for no finger are left out.
std::vector<SubFactor> EnrolledFingers(const std::u16string& enrolledSet);

// The Unix user as security identifier S-1-22-1-<uid>; with null only tests that it can be read.
bool ReadCurrentUserIdentity(WINBIO_IDENTITY* identity);

// The identity record of S-1-22-1-<uid>: type 3, 16 bytes of binary security identifier.
WINBIO_IDENTITY MakeUnixUserIdentity(std::uint32_t uid);

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
// DeleteFinger in its two halves, for a caller that may have to leave a failure unshown.
StatusCode DeleteFingerTemplate(EnrollmentContext& context, SubFactor subFactor);
void ShowDeletionFailure(StatusCode status, WindowHost& host);
