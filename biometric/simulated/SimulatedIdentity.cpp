// The identity the simulated sensor files new enrollments under: the Unix user as a SID.
#include "SimulatedIdentity.h"

#include <unistd.h>

#include <array>

namespace {

constexpr std::uint8_t kSidRevision = 1;
constexpr std::uint8_t kSidSubAuthorityCount = 2;
// Identifier authority 22, six bytes big-endian, is where Unix users live.
constexpr std::array<std::uint8_t, 6> kUnixUserAuthority = {0, 0, 0, 0, 0, 22};
constexpr std::uint32_t kUnixUserSubAuthority = 1;
constexpr std::uint32_t kSidSize = 16;

void PutLittleEndian(std::uint8_t* out, std::uint32_t value) {
    for (int byte = 0; byte < 4; ++byte) {
        out[byte] = static_cast<std::uint8_t>(value >> (8 * byte));
    }
}

}  // namespace

WINBIO_IDENTITY SimulatedUserIdentity(std::uint32_t uid) {
    WINBIO_IDENTITY identity{};
    identity.Type = kIdentityTypeSid;
    identity.Size = kSidSize;
    identity.Data[0] = kSidRevision;
    identity.Data[1] = kSidSubAuthorityCount;
    for (std::size_t i = 0; i < kUnixUserAuthority.size(); ++i) {
        identity.Data[2 + i] = kUnixUserAuthority[i];
    }
    PutLittleEndian(identity.Data + 8, kUnixUserSubAuthority);
    PutLittleEndian(identity.Data + 12, uid);
    return identity;
}

WINBIO_IDENTITY SimulatedCurrentUserIdentity() {
    return SimulatedUserIdentity(static_cast<std::uint32_t>(getuid()));
}
