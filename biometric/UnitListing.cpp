// The service's sensor units as one listing, its array released the one way that counts.
#include "UnitListing.h"

#include <algorithm>

const WINBIO_UNIT_SCHEMA* UnitListing::Find(UnitId unit) const {
    const auto found =
        std::find_if(units.begin(), units.end(),
                     [unit](const WINBIO_UNIT_SCHEMA& schema) { return schema.UnitId == unit; });
    return found == units.end() ? nullptr : &*found;
}

std::vector<UnitId> UnitListing::UnitIds() const {
    std::vector<UnitId> ids;
    for (const WINBIO_UNIT_SCHEMA& schema : units) {
        ids.push_back(schema.UnitId);
    }
    return ids;
}

UnitListing ListBiometricUnits() {
    WINBIO_UNIT_SCHEMA* array = nullptr;
    std::size_t count = 0;
    UnitListing listing;
    listing.status = WinBioEnumBiometricUnits(kFactorFingerprint, &array, &count);
    if (listing.status >= 0 && array != nullptr) {
        listing.units.assign(array, array + count);
    }
    if (array != nullptr) {
        const StatusCode releaseStatus = WinBioFree(array);
        if (listing.status >= 0) {
            listing.status = releaseStatus;
        }
    }
    return listing;
}
