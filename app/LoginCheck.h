// What "varne --check" prints: readers and enrolled fingers, fingerprint login per PAM service.
#pragma once

#include "ReaderReport.h"
#include "ServiceChoice.h"
#include "SystemRoot.h"

constexpr int kExitLoginUsesFingerprint = 0;
constexpr int kExitCheckFailed = 1;
constexpr int kExitLoginWithoutFingerprint = 3;

// On the installed back end and the system files under root. Exit status: 0 when a service uses
// the fingerprint, 3 when none does, 1 when the back end failed or a PAM file could not be read.
ReaderListing CheckFingerprintLogin(ServiceKind service, const SystemRoot& root);
