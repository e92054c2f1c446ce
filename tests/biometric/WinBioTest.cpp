// The forwarding layer: parameters reach the back end, arrays are owned and released.
#include <gtest/gtest.h>

#include "FakeBackend.h"
#include "WinBio.h"

TEST(WinBio, WithoutBackendEveryOperationFails) {
    InstallBiometricBackend(nullptr);
    SessionHandle session = 0;
    EXPECT_LT(WinBioOpenSession(kFactorFingerprint, kPoolSystem, 0, nullptr, 0, kDatabaseDefault,
                                &session),
              0);
    EXPECT_EQ(session, 0u);
    EXPECT_LT(WinBioEnrollBegin(1, 2, 1), 0);
}

TEST(WinBio, OpenSessionPassesEveryParameter) {
    ScopedFakeBackend backend;
    SessionHandle session = 0;
    ASSERT_EQ(WinBioOpenSession(kFactorFingerprint, kPoolSystem, kSessionFlagsDefault, nullptr, 0,
                                kDatabaseDefault, &session),
              kOk);
    EXPECT_EQ(session, backend->sessionToHandOut);
    EXPECT_EQ(backend->Calls(), std::vector<std::string>{"open 8 1 0 null 0 1 0"});
}

TEST(WinBio, ListedArraysAreServiceOwnedAndFreed) {
    ScopedFakeBackend backend;
    backend->enrollments = {3, 10, 1};
    WINBIO_IDENTITY identity{};
    SubFactor* array = nullptr;
    std::uint64_t count = 0;
    ASSERT_EQ(WinBioEnumEnrollments(7, 1, &identity, &array, &count), kOk);
    ASSERT_EQ(count, 3u);
    EXPECT_EQ(array[0], 3);
    EXPECT_EQ(array[1], 10);
    EXPECT_EQ(array[2], 1);
    backend->results["free"] = kUnspecifiedFailure;
    // A refused release still releases the memory (ASan would report the leak).
    EXPECT_EQ(WinBioFree(array), kUnspecifiedFailure);
}

TEST(WinBio, EmptyListingReturnsNoArray) {
    ScopedFakeBackend backend;
    WINBIO_UNIT_SCHEMA* units = reinterpret_cast<WINBIO_UNIT_SCHEMA*>(&backend);
    std::size_t count = 99;
    ASSERT_EQ(WinBioEnumBiometricUnits(kFactorFingerprint, &units, &count), kOk);
    EXPECT_EQ(units, nullptr);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(WinBioFree(nullptr), kInvalidArgument);
}
