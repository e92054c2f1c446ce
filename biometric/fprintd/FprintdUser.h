// Which local user an identity names: fprintd takes user names, the service identities.
#pragma once

#include <cstdint>
#include <string>

#include "WinBio.h"

// The user name of the S-1-22-1-<uid> identity, which must be the caller's own: kInvalidIdentity
// for a malformed identity or a uid without an account, kAccessDenied for another user's.
StatusCode UserNameForIdentity(const WINBIO_IDENTITY& identity, std::uint32_t callerUid,
                               std::string* userName);

// The account name of a uid from the password database; kInvalidIdentity when there is none.
StatusCode UserNameForUid(std::uint32_t uid, std::string* userName);
