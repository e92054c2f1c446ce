// The identity record of a Unix user, written and read back.
#include "UnixUserIdentity.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <functional>

TEST(UnixUserIdentity, SidBytes) {
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

TEST(UnixUserIdentity, ReadsBackTheUidOfExactlyThatLayout) {
    for (const std::uint32_t uid : {0u, 1000u, 0x12345678u, 4294967294u, 4294967295u}) {
        EXPECT_EQ(UnixUserIdOf(MakeUnixUserIdentity(uid)), uid);
    }
    const auto altered = [](const std::function<void(WINBIO_IDENTITY&)>& change) {
        WINBIO_IDENTITY identity = MakeUnixUserIdentity(1000);
        change(identity);
        return identity;
    };
    const struct {
        const char* name;
        WINBIO_IDENTITY identity;
    } rows[] = {
        {"all zero", WINBIO_IDENTITY{}},
        {"another type", altered([](WINBIO_IDENTITY& identity) { identity.Type = 1; })},
        {"cut before the uid", altered([](WINBIO_IDENTITY& identity) { identity.Size = 12; })},
        {"one byte short", altered([](WINBIO_IDENTITY& identity) { identity.Size = 15; })},
        {"one byte more", altered([](WINBIO_IDENTITY& identity) { identity.Size = 17; })},
        {"larger than its record",
         altered([](WINBIO_IDENTITY& identity) { identity.Size = kIdentityDataCapacity + 1; })},
        {"revision", altered([](WINBIO_IDENTITY& identity) { identity.Data[0] = 2; })},
        {"three sub-authorities", altered([](WINBIO_IDENTITY& identity) { identity.Data[1] = 3; })},
        {"authority", altered([](WINBIO_IDENTITY& identity) { identity.Data[7] = 5; })},
        {"high authority byte", altered([](WINBIO_IDENTITY& identity) { identity.Data[2] = 1; })},
        {"groups, not users", altered([](WINBIO_IDENTITY& identity) { identity.Data[8] = 2; })},
        {"sub-authority's high byte",
         altered([](WINBIO_IDENTITY& identity) { identity.Data[11] = 1; })},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(UnixUserIdOf(row.identity), std::nullopt) << row.name;
    }
    // Bytes beyond the identifier are not part of it.
    EXPECT_EQ(UnixUserIdOf(altered([](WINBIO_IDENTITY& identity) { identity.Data[16] = 9; })),
              1000u);
}
