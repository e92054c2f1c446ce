// What a simulated store file holds, read beside the window rather than through it.
#include "StoredFingers.h"

#include <filesystem>

#include "EnrolledSet.h"
#include "SimulatedIdentity.h"
#include "SimulatedStore.h"

std::u16string StoredFingers(const TemporaryDirectory& directory) {
    const std::string path = directory.File(kStoreFileName);
    if (!std::filesystem::exists(path)) {
        return u"missing";
    }
    const auto records = SimulatedStore::Parse(ReadFile(path));
    if (!records) {
        return u"corrupted";
    }
    const auto identity = SimulatedStore::IdentityOf(SimulatedCurrentUserIdentity());
    std::vector<SubFactor> fingers;
    for (const auto& record : *records) {
        if (record.unit == 1 && record.identity == *identity) {
            fingers.push_back(record.subFactor);
        }
    }
    return MakeEnrolledSet(fingers);
}

std::vector<std::string> StoreStrays(const TemporaryDirectory& directory) {
    const std::string lock = std::string(kStoreFileName) + std::string(SimulatedStore::kLockSuffix);
    std::vector<std::string> strays;
    for (const std::string& name : directory.Entries()) {
        if (name != kStoreFileName && name != lock) {
            strays.push_back(name);
        }
    }
    return strays;
}
