// The current user's identity, the enrolled fingers on the unit, and deleting one of them.
#include "EnrolledSet.h"

#include <unistd.h>

#include <array>
#include <atomic>
#include <cstring>

#include "MessageCatalogue.h"
#include "StatusMessage.h"

namespace {

constexpr std::uint8_t kSidRevision = 1;
constexpr std::uint8_t kSidSubAuthorityCount = 2;
// S-1-22-1-<uid>: authority 22 with sub-authority 1 is the Unix-user namespace.
constexpr std::array<std::uint8_t, 6> kSidUnixAuthority = {0, 0, 0, 0, 0, 22};
constexpr std::uint32_t kSidUnixUserSubAuthority = 1;
constexpr std::size_t kSidHeaderSize = 2 + kSidUnixAuthority.size();
constexpr std::size_t kSidSize = kSidHeaderSize + kSidSubAuthorityCount * sizeof(std::uint32_t);
static_assert(kSidSize <= kIdentityDataCapacity);

// The character that stands for sub-factor 1..10 is this plus the sub-factor ('1'..'9', ':').
constexpr char16_t kSubFactorCharBase = u'0';

// (uid_t)-1 is the "no user" value of the system calls, never a real account.
constexpr std::uint32_t kNoUid = static_cast<std::uint32_t>(-1);

std::optional<std::uint32_t> ReadProcessUid() {
    const auto uid = static_cast<std::uint32_t>(getuid());
    if (uid == kNoUid) {
        return std::nullopt;
    }
    return uid;
}

std::atomic<CurrentUserIdSource> g_userIdSource{&ReadProcessUid};

void WriteLittleEndian32(std::uint8_t* out, std::uint32_t value) {
    for (std::size_t byte = 0; byte < sizeof(value); ++byte) {
        out[byte] = static_cast<std::uint8_t>(value >> (8 * byte));
    }
}

bool HoldsAnIdentity(const WINBIO_IDENTITY& identity) {
    return identity.Type == kIdentityTypeSid && identity.Size > 0;
}

// An identity read earlier in this process still names the same user; a never-read (zero) one
// would make the service answer for nobody, so that case is refused before asking it.
bool RefreshIdentity(WINBIO_IDENTITY& identity) {
    return ReadCurrentUserIdentity(&identity) || HoldsAnIdentity(identity);
}

bool IsNoEnrollmentAnswer(StatusCode status) {
    return status == kDatabaseNoResults || status == kUnknownId;
}

}  // namespace

std::u16string MakeEnrolledSet(const std::vector<SubFactor>& fingers) {
    std::u16string enrolledSet;
    enrolledSet.reserve(fingers.size());
    for (const SubFactor finger : fingers) {
        enrolledSet.push_back(static_cast<char16_t>(kSubFactorCharBase + finger));
    }
    return enrolledSet;
}

bool IsEnrolled(const std::u16string& enrolledSet, int subFactor) {
    if (subFactor < kFirstFinger || subFactor > kLastFinger) {
        return false;
    }
    return enrolledSet.find(static_cast<char16_t>(kSubFactorCharBase + subFactor)) !=
           std::u16string::npos;
}

std::vector<SubFactor> EnrolledFingers(const std::u16string& enrolledSet) {
    std::vector<SubFactor> fingers;
    for (const char16_t character : enrolledSet) {
        const int subFactor = static_cast<int>(character) - static_cast<int>(kSubFactorCharBase);
        if (subFactor >= kFirstFinger && subFactor <= kLastFinger) {
            fingers.push_back(static_cast<SubFactor>(subFactor));
        }
    }
    return fingers;
}

WINBIO_IDENTITY MakeUnixUserIdentity(std::uint32_t uid) {
    WINBIO_IDENTITY identity{};
    identity.Type = kIdentityTypeSid;
    identity.Size = static_cast<std::uint32_t>(kSidSize);
    identity.Data[0] = kSidRevision;
    identity.Data[1] = kSidSubAuthorityCount;
    std::memcpy(&identity.Data[2], kSidUnixAuthority.data(), kSidUnixAuthority.size());
    WriteLittleEndian32(&identity.Data[kSidHeaderSize], kSidUnixUserSubAuthority);
    WriteLittleEndian32(&identity.Data[kSidHeaderSize + sizeof(std::uint32_t)], uid);
    return identity;
}

CurrentUserIdSource ReplaceCurrentUserIdSource(CurrentUserIdSource source) {
    return g_userIdSource.exchange(source != nullptr ? source : &ReadProcessUid);
}

bool ReadCurrentUserIdentity(WINBIO_IDENTITY* identity) {
    const std::optional<std::uint32_t> uid = g_userIdSource.load()();
    if (!uid) {
        return false;
    }
    if (identity != nullptr) {
        *identity = MakeUnixUserIdentity(*uid);
    }
    return true;
}

StatusCode ReadEnrolledSet(EnrollmentContext& context) {
    if (!RefreshIdentity(context.identity)) {
        return kInvalidIdentity;
    }
    SubFactor* subFactors = nullptr;
    std::uint64_t count = 0;
    const StatusCode status = WinBioEnumEnrollments(context.sessionHandle, context.unitId,
                                                    &context.identity, &subFactors, &count);
    if (status < 0 && !IsNoEnrollmentAnswer(status)) {
        if (subFactors != nullptr) {
            WinBioFree(subFactors);
        }
        return status;
    }
    // A failing answer's array is not trusted: "no results" means no fingers.
    std::vector<SubFactor> listed;
    if (status >= 0 && subFactors != nullptr) {
        listed.assign(subFactors, subFactors + count);
    }
    context.enrolledSet = MakeEnrolledSet(listed);
    if (subFactors != nullptr) {
        WinBioFree(subFactors);  // its result does not change what was listed
    }
    return kOk;
}

StatusCode DeleteFingerTemplate(EnrollmentContext& context, SubFactor subFactor) {
    if (!RefreshIdentity(context.identity)) {
        return kInvalidIdentity;
    }
    return WinBioDeleteTemplate(context.sessionHandle, context.unitId, &context.identity,
                                subFactor);
}

void ShowDeletionFailure(StatusCode status, WindowHost& host) {
    host.ShowMessageBox(LoadCatalogueText(kTextDeleteFailed) + FormatErrorCodeLine(status),
                        MessageBoxIcon::kNone);
}

StatusCode DeleteFinger(EnrollmentContext& context, SubFactor subFactor, WindowHost& host) {
    const StatusCode status = DeleteFingerTemplate(context, subFactor);
    if (status < 0) {
        ShowDeletionFailure(status, host);
    }
    return status;
}
