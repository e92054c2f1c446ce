// Which local user an identity names: fprintd takes user names, the service identities.
#include "FprintdUser.h"

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "UnixUserIdentity.h"

namespace {

constexpr std::size_t kPasswordBufferStart = 1024;
constexpr std::size_t kPasswordBufferLimit = 1 << 20;

}  // namespace

StatusCode UserNameForIdentity(const WINBIO_IDENTITY& identity, std::uint32_t callerUid,
                               std::string* userName) {
    if (userName == nullptr) {
        return kInvalidArgument;
    }
    const std::optional<std::uint32_t> uid = UnixUserIdOf(identity);
    if (!uid) {
        return kInvalidIdentity;
    }
    if (*uid != callerUid) {
        return kAccessDenied;
    }
    return UserNameForUid(*uid, userName);
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
