// Opening the session on the unit from the command line, "Search Device", and the final cancel.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "EnrollmentContext.h"
#include "WinBio.h"
#include "WindowHost.h"

// The number after the first ':' (or the whole text), read like a C strtol clamped to 32 bits.
UnitId ParseUnitId(const std::string& commandLine);

// Why start-up closed the window, for what the program says beyond the window's message.
enum class StartupFailure {
    kNone,
    kSessionNotOpened,
    kNoUnitId,
    kUnitsNotListed,
    kUnitNotListed,
    kEnrolledSetNotRead,
};

struct StartupReport {
    StartupFailure failure = StartupFailure::kNone;
    StatusCode status = kOk;  // the failing operation's, where one failed
    UnitId requestedUnit = 0;
    std::vector<UnitId> listedUnits;  // in the service's order, once they were listed
};

// Why no reader could be listed, for the details of that message box; the caller reads the system.
using MissingReaderExplainer = std::function<std::string()>;

// True when the window runs on; false after it was closed (message box first, then session).
bool StartBiometricSession(EnrollmentContext& context, const std::string& commandLine,
                           WindowHost& host, StartupReport* report = nullptr,
                           const MissingReaderExplainer& explainMissingReader = {});

bool SearchDevice(EnrollmentContext& context, WindowHost& host);

// Called when the window is destroyed: ends the session's pending work, keeps the session.
void CancelPendingWork(const EnrollmentContext& context);
