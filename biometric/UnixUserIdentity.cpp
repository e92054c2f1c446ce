// The user identity's byte layout: a Unix user as the security identifier S-1-22-1-<uid>.
#include "UnixUserIdentity.h"

#include <array>
#include <cstring>

namespace {

constexpr std::uint8_t kSidRevision = 1;
constexpr std::uint8_t kSidSubAuthorityCount = 2;
// S-1-22-1-<uid>: authority 22 with sub-authority 1 is the Unix-user namespace.
constexpr std::array<std::uint8_t, 6> kSidUnixAuthority = {0, 0, 0, 0, 0, 22};
constexpr std::uint32_t kSidUnixUserSubAuthority = 1;
constexpr std::size_t kSidHeaderSize = 2 + kSidUnixAuthority.size();
constexpr std::size_t kUidOffset = kSidHeaderSize + sizeof(std::uint32_t);
constexpr std::size_t kSidSize = kUidOffset + sizeof(std::uint32_t);
static_assert(kSidSize <= kIdentityDataCapacity);

// Sub-authorities are stored little-endian whatever the machine's order.
void WriteLittleEndian32(std::uint8_t* out, std::uint32_t value) {
    for (std::size_t byte = 0; byte < sizeof(value); ++byte) {
        out[byte] = static_cast<std::uint8_t>(value >> (8 * byte));
    }
}

std::uint32_t ReadLittleEndian32(const std::uint8_t* in) {
    std::uint32_t value = 0;
    for (std::size_t byte = 0; byte < sizeof(value); ++byte) {
        value |= static_cast<std::uint32_t>(in[byte]) << (8 * byte);
    }
    return value;
}

}  // namespace

WINBIO_IDENTITY MakeUnixUserIdentity(std::uint32_t uid) {
    WINBIO_IDENTITY identity{};
    identity.Type = kIdentityTypeSid;
    identity.Size = static_cast<std::uint32_t>(kSidSize);
    identity.Data[0] = kSidRevision;
    identity.Data[1] = kSidSubAuthorityCount;
    std::memcpy(&identity.Data[2], kSidUnixAuthority.data(), kSidUnixAuthority.size());
    WriteLittleEndian32(&identity.Data[kSidHeaderSize], kSidUnixUserSubAuthority);
    WriteLittleEndian32(&identity.Data[kUidOffset], uid);
    return identity;
}

std::optional<std::uint32_t> UnixUserIdOf(const WINBIO_IDENTITY& identity) {
    if (identity.Type != kIdentityTypeSid || identity.Size != kSidSize) {
        return std::nullopt;
    }
    const std::uint32_t uid = ReadLittleEndian32(&identity.Data[kUidOffset]);
    // Rebuilding the record checks every other byte of it.
    const WINBIO_IDENTITY expected = MakeUnixUserIdentity(uid);
    if (std::memcmp(identity.Data, expected.Data, kSidSize) != 0) {
        return std::nullopt;
    }
    return uid;
}
