// The current user's identity, the enrolled fingers on the unit, and deleting one of them.
#pragma once

#include "EnrollmentContext.h"
#include "WinBio.h"
#include "WindowHost.h"

// The Unix user as security identifier S-1-22-1-<uid>; with null only tests that it can be read.
bool ReadCurrentUserIdentity(WINBIO_IDENTITY* identity);

// 0 when the enrolled set was rebuilt, else the service's failing code (the set is kept).
StatusCode ReadEnrolledSet(EnrollmentContext& context);

// Deletes one finger of the current user; a failure is shown in a message box without icon.
StatusCode DeleteFinger(EnrollmentContext& context, SubFactor subFactor, WindowHost& host);
