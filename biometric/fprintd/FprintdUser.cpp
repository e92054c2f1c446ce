// Which local user an identity names: fprintd takes user names, the service identities.
#include "FprintdUser.h"

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "EnrolledSet.h"

namespace {

// Where the uid sits in S-1-22-1-<uid>: after revision, count, authority and sub-authority 1.
constexpr std::size_t kUidOffset = 12;
constexpr std::size_t kPasswordBufferStart = 1024;
constexpr std::size_t kPasswordBufferLimit = 1 << 20;

std::uint32_t ReadLittleEndian32(const std::uint8_t* in) {
    std::uint32_t value = 0;
    for (std::size_t byte = 0; byte < sizeof(value); ++byte) {
        value |= static_cast<std::uint32_t>(in[byte]) << (8 * byte);
    }
    return value;
}

}  // namespace

StatusCode UserNameForIdentity(const WINBIO_IDENTITY& identity, std::uint32_t callerUid,
                               std::string* userName) {
    if (userName == nullptr) {
        return kInvalidArgument;
    }
    if (identity.Type != kIdentityTypeSid || identity.Size <= kUidOffset ||
        identity.Size > kIdentityDataCapacity) {
        return kInvalidIdentity;
    }
    const std::uint32_t uid = ReadLittleEndian32(&identity.Data[kUidOffset]);
    // Only an exact S-1-22-1-<uid> counts: rebuilding it checks every other byte.
    const WINBIO_IDENTITY expected = MakeUnixUserIdentity(uid);
    if (identity.Size != expected.Size ||
        std::memcmp(identity.Data, expected.Data, expected.Size) != 0) {
        return kInvalidIdentity;
    }
    if (uid != callerUid) {
        return kAccessDenied;
    }
    return UserNameForUid(uid, userName);
}

StatusCode UserNameForUid(std::uint32_t uid, std::string* userName) {
    if (userName == nullptr) {
        return kInvalidArgument;
    }
    std::vector<char> buffer(kPasswordBufferStart);
    while (true) {
        passwd entry{};
        passwd* found = nullptr;
        const int error =
            getpwuid_r(static_cast<uid_t>(uid), &entry, buffer.data(), buffer.size(), &found);
        if (error == ERANGE && buffer.size() < kPasswordBufferLimit) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (error != 0 || found == nullptr || entry.pw_name == nullptr || entry.pw_name[0] == 0) {
            return kInvalidIdentity;
        }
        *userName = entry.pw_name;
        return kOk;
    }
}
