// The user's identity, the enrolled set as the service lists it, and deleting a finger.
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "EnrolledSet.h"
#include "FakeBackend.h"
#include "FakeWindowHost.h"

namespace {

std::optional<std::uint32_t> UnreadableUid() {
    return std::nullopt;
}

// Makes the user's uid unreadable for one test.
class UnreadableUserScope {
public:
    UnreadableUserScope() : m_previous(ReplaceCurrentUserIdSource(&UnreadableUid)) {}
    ~UnreadableUserScope() { ReplaceCurrentUserIdSource(m_previous); }

private:
    CurrentUserIdSource m_previous;
};

// A session 7 on unit 3, as start-up leaves it.
struct OpenContext : EnrollmentContext {
    OpenContext() {
        sessionHandle = 7;
        unitId = 3;
    }
};

}  // namespace

TEST(Identity, UnixUserSidBytes) {
    const struct {
        std::uint32_t uid;
        std::array<std::uint8_t, 16> bytes;
    } rows[] = {
        {1000, {1, 2, 0, 0, 0, 0, 0, 22, 1, 0, 0, 0, 0xE8, 0x03, 0, 0}},
        {0, {1, 2, 0, 0, 0, 0, 0, 22, 1, 0, 0, 0, 0, 0, 0, 0}},
        {4294967294, {1, 2, 0, 0, 0, 0, 0, 22, 1, 0, 0, 0, 0xFE, 0xFF, 0xFF, 0xFF}},
        {0x12345678, {1, 2, 0, 0, 0, 0, 0, 22, 1, 0, 0, 0, 0x78, 0x56, 0x34, 0x12}},
    };
    for (const auto& row : rows) {
        const WINBIO_IDENTITY identity = MakeUnixUserIdentity(row.uid);
        EXPECT_EQ(identity.Type, kIdentityTypeSid);
        ASSERT_EQ(identity.Size, 16u);
        EXPECT_EQ(std::memcmp(identity.Data, row.bytes.data(), row.bytes.size()), 0)
            << "uid " << row.uid;
        for (std::size_t i = row.bytes.size(); i < kIdentityDataCapacity; ++i) {
            EXPECT_EQ(identity.Data[i], 0) << "uid " << row.uid << " byte " << i;
        }
    }
}

TEST(Identity, CurrentUserIsTheProcessUid) {
    EXPECT_TRUE(ReadCurrentUserIdentity(nullptr));
    WINBIO_IDENTITY identity{};
    identity.Data[40] = 0xAA;  // stale bytes beyond the identifier are cleared too
    ASSERT_TRUE(ReadCurrentUserIdentity(&identity));
    const WINBIO_IDENTITY expected = MakeUnixUserIdentity(static_cast<std::uint32_t>(getuid()));
    EXPECT_EQ(std::memcmp(&identity, &expected, sizeof identity), 0);
}

TEST(Identity, UnreadableUserLeavesTheRecordAlone) {
    UnreadableUserScope unreadable;
    EXPECT_FALSE(ReadCurrentUserIdentity(nullptr));
    WINBIO_IDENTITY identity = MakeUnixUserIdentity(42);
    EXPECT_FALSE(ReadCurrentUserIdentity(&identity));
    const WINBIO_IDENTITY expected = MakeUnixUserIdentity(42);
    EXPECT_EQ(std::memcmp(&identity, &expected, sizeof identity), 0);
}

TEST(EnrolledSet, BuiltInTheServicesOrder) {
    const struct {
        std::vector<SubFactor> listed;
        std::u16string expected;
    } rows[] = {
        {{}, u""},
        {{2}, u"2"},
        {{10}, u":"},
        {{3, 1, 10, 2}, u"31:2"},
        {{10, 9, 8, 7, 6, 5, 4, 3, 2, 1}, u":987654321"},
        // Whatever the service lists is kept; the finger map ignores what it cannot place.
        {{0, 11}, u"0;"},
    };
    for (const auto& row : rows) {
        ScopedFakeBackend backend;
        backend->enrollments = row.listed;
        OpenContext context;
        context.enrolledSet = u"old";  // rebuilt, never patched
        EXPECT_EQ(ReadEnrolledSet(context), kOk);
        EXPECT_EQ(context.enrolledSet, row.expected);
        // The array goes back to the service exactly when there was one.
        const auto calls = backend->Calls();
        const std::vector<std::string> expectedCalls =
            row.listed.empty() ? std::vector<std::string>{"enum 7 3"}
                               : std::vector<std::string>{"enum 7 3", "free"};
        EXPECT_EQ(calls, expectedCalls);
    }
}

TEST(EnrolledSet, ReadBackInItsOrderWithOnlyRealFingers) {
    const struct {
        std::u16string set;
        std::vector<SubFactor> fingers;
    } rows[] = {
        {u"", {}},
        {u"1:5", {1, 10, 5}},
        {u":987654321", {10, 9, 8, 7, 6, 5, 4, 3, 2, 1}},
        // '0' is no finger, ';' would be 11, and the rest are no sub-factor at all.
        {u"0;A/\uffff3", {3}},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(EnrolledFingers(row.set), row.fingers);
    }
    EXPECT_EQ(MakeEnrolledSet({1, 10, 5}), u"1:5");
    EXPECT_EQ(EnrolledFingers(MakeEnrolledSet({4, 2, 10})), (std::vector<SubFactor>{4, 2, 10}));
}

TEST(EnrolledSet, KnowsWhichFingersItHolds) {
    const std::u16string set = u"3:";
    for (int finger = -1; finger <= 12; ++finger) {
        EXPECT_EQ(IsEnrolled(set, finger), finger == 3 || finger == 10) << finger;
    }
    // Characters that stand for no finger never make one enrolled.
    EXPECT_FALSE(IsEnrolled(u"0;", 0));
    EXPECT_FALSE(IsEnrolled(u"0;", 11));
}

TEST(EnrolledSet, ListingPassesTheRefreshedIdentity) {
    ScopedFakeBackend backend;
    OpenContext context;
    ASSERT_EQ(ReadEnrolledSet(context), kOk);
    const WINBIO_IDENTITY passed = backend->LastIdentity();
    EXPECT_EQ(passed.Type, kIdentityTypeSid);
    EXPECT_EQ(passed.Size, 16u);
    const WINBIO_IDENTITY expected = MakeUnixUserIdentity(static_cast<std::uint32_t>(getuid()));
    EXPECT_EQ(std::memcmp(&passed, &expected, sizeof passed), 0);
}

TEST(EnrolledSet, ListingAnswers) {
    const struct {
        StatusCode answer;
        StatusCode expectedResult;
        std::u16string expectedSet;
    } rows[] = {
        // No enrollment, or an identity the service never saw: an empty set, not a failure.
        {kDatabaseNoResults, kOk, u""},
        {kUnknownId, kOk, u""},
        // Any other failure goes to the caller and the set stays as it was.
        {kDatabaseReadError, kDatabaseReadError, u"12"},
        {kDeviceBusy, kDeviceBusy, u"12"},
        {kInvalidArgument, kInvalidArgument, u"12"},
        // A success with a warning-like positive code still counts as a listing.
        {kMoreData, kOk, u"4"},
    };
    for (const auto& row : rows) {
        ScopedFakeBackend backend;
        backend->results["enum"] = row.answer;
        backend->enrollments = {4};
        OpenContext context;
        context.enrolledSet = u"12";
        EXPECT_EQ(ReadEnrolledSet(context), row.expectedResult) << std::hex << row.answer;
        EXPECT_EQ(context.enrolledSet, row.expectedSet) << std::hex << row.answer;
    }
}

TEST(EnrolledSet, RefusedReleaseDoesNotChangeTheResult) {
    ScopedFakeBackend backend;
    backend->enrollments = {5};
    backend->results["free"] = kUnspecifiedFailure;
    OpenContext context;
    EXPECT_EQ(ReadEnrolledSet(context), kOk);
    EXPECT_EQ(context.enrolledSet, u"5");
}

TEST(EnrolledSet, UnidentifiedUserIsNotListedAsNobody) {
    ScopedFakeBackend backend;
    UnreadableUserScope unreadable;
    OpenContext context;
    context.enrolledSet = u"12";
    EXPECT_EQ(ReadEnrolledSet(context), kInvalidIdentity);
    EXPECT_EQ(context.enrolledSet, u"12");
    EXPECT_TRUE(backend->Calls().empty());
}

TEST(EnrolledSet, IdentityReadEarlierIsUsedWhenTheUserCannotBeReadAgain) {
    ScopedFakeBackend backend;
    OpenContext context;
    context.identity = MakeUnixUserIdentity(1000);
    backend->enrollments = {6};
    UnreadableUserScope unreadable;
    EXPECT_EQ(ReadEnrolledSet(context), kOk);
    EXPECT_EQ(context.enrolledSet, u"6");
    const WINBIO_IDENTITY passed = backend->LastIdentity();
    EXPECT_EQ(std::memcmp(&passed, &context.identity, sizeof passed), 0);
}

TEST(DeleteFinger, Success) {
    ScopedFakeBackend backend;
    FakeWindowHost host;
    OpenContext context;
    context.enrolledSet = u"2:";
    EXPECT_EQ(DeleteFinger(context, 10, host), kOk);
    EXPECT_EQ(backend->Calls(), std::vector<std::string>{"delete 7 3 10"});
    EXPECT_EQ(backend->LastIdentity().Type, kIdentityTypeSid);
    EXPECT_EQ(backend->LastIdentity().Size, 16u);
    EXPECT_TRUE(host.messageBoxes.empty());
    EXPECT_FALSE(host.closed);
    // Only the caller's next listing shows the change.
    EXPECT_EQ(context.enrolledSet, u"2:");
}

TEST(DeleteFinger, FailureIsShownWithItsCodeAndNoIcon) {
    const struct {
        StatusCode answer;
        std::u16string expectedText;
    } rows[] = {
        {kDatabaseNoSuchRecord,
         u"Failed to delete a template from the database.\nError code = 0x8009801b"},
        {kDatabaseLocked,
         u"Failed to delete a template from the database.\nError code = 0x80098019"},
        {kUnspecifiedFailure,
         u"Failed to delete a template from the database.\nError code = 0x80004005"},
    };
    for (const auto& row : rows) {
        ScopedFakeBackend backend;
        backend->results["delete"] = row.answer;
        FakeWindowHost host;
        OpenContext context;
        context.enrolledSet = u"4";
        EXPECT_EQ(DeleteFinger(context, 4, host), row.answer);
        ASSERT_EQ(host.messageBoxes.size(), 1u);
        EXPECT_EQ(host.messageBoxes[0].text, row.expectedText);
        EXPECT_EQ(host.messageBoxes[0].icon, MessageBoxIcon::kNone);
        EXPECT_FALSE(host.closed);
        EXPECT_EQ(context.enrolledSet, u"4");
    }
}

TEST(DeleteFinger, UnidentifiedUserIsRefusedBeforeTheService) {
    ScopedFakeBackend backend;
    UnreadableUserScope unreadable;
    FakeWindowHost host;
    OpenContext context;
    EXPECT_EQ(DeleteFinger(context, 1, host), kInvalidIdentity);
    EXPECT_TRUE(backend->Calls().empty());
    ASSERT_EQ(host.messageBoxes.size(), 1u);
    EXPECT_EQ(host.messageBoxes[0].text,
              u"Failed to delete a template from the database.\nError code = 0x80098023");
}
