// The one listing of units that start-up and --list share: order, release, and whose status counts.
#include "UnitListing.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "FakeBackend.h"

namespace {

WINBIO_UNIT_SCHEMA Unit(UnitId id) {
    WINBIO_UNIT_SCHEMA unit{};
    unit.UnitId = id;
    return unit;
}

}  // namespace

TEST(UnitListing, StatusRecordsAndRelease) {
    const struct {
        const char* name;
        std::map<std::string, StatusCode> answers;
        std::vector<UnitId> units;
        StatusCode status;
        std::vector<UnitId> listed;
        std::vector<std::string> calls;
    } rows[] = {
        {"in the service's order", {}, {7, 2, 9}, kOk, {7, 2, 9}, {"units 8", "free"}},
        {"no units, nothing to release", {}, {}, kOk, {}, {"units 8"}},
        {"listing refused",
         {{"units", kSensorUnavailable}},
         {1},
         kSensorUnavailable,
         {},
         {"units 8"}},
        {"release refused after a listing",
         {{"free", kSessionBusy}},
         {1},
         kSessionBusy,
         {1},
         {"units 8", "free"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ScopedFakeBackend backend;
        backend->results = row.answers;
        for (const UnitId id : row.units) {
            backend->units.push_back(Unit(id));
        }
        const UnitListing listing = ListBiometricUnits();
        EXPECT_EQ(listing.status, row.status);
        EXPECT_EQ(listing.UnitIds(), row.listed);
        EXPECT_EQ(backend->Calls(), row.calls);
    }
}

TEST(UnitListing, FindsTheFirstRecordOfAUnit) {
    UnitListing listing;
    listing.units = {Unit(3), Unit(4294967295u), Unit(3)};
    listing.units[0].SensorSubType = kSensorSubtypeSwipe;
    ASSERT_NE(listing.Find(3), nullptr);
    EXPECT_EQ(listing.Find(3)->SensorSubType, kSensorSubtypeSwipe);
    ASSERT_NE(listing.Find(4294967295u), nullptr);
    EXPECT_EQ(listing.Find(4294967295u)->UnitId, 4294967295u);
    EXPECT_EQ(listing.Find(0), nullptr);
    EXPECT_EQ(listing.Find(4), nullptr);
}
