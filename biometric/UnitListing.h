// The service's sensor units as one listing, its array released the one way that counts.
#pragma once

#include <vector>

#include "WinBio.h"

struct UnitListing {
    // The listing's status; once an array came back from a listing that succeeded, its
    // release's status (a failed listing stays failed whatever the release says).
    StatusCode status = kOk;
    // The records in the service's order; empty unless the listing succeeded.
    std::vector<WINBIO_UNIT_SCHEMA> units;

    // The first record of the unit; null when it is not listed.
    const WINBIO_UNIT_SCHEMA* Find(UnitId unit) const;
    std::vector<UnitId> UnitIds() const;
};

// Lists the fingerprint units and releases the service's array before returning.
UnitListing ListBiometricUnits();
