// Opening the session on the unit from the command line, "Search Device", and the final cancel.
#pragma once

#include <string>

#include "EnrollmentContext.h"
#include "WinBio.h"
#include "WindowHost.h"

// The number after the first ':' (or the whole text), read like a C strtol clamped to 32 bits.
UnitId ParseUnitId(const std::string& commandLine);

// True when the window runs on; false after it was closed (message box first, then session).
bool StartBiometricSession(EnrollmentContext& context, const std::string& commandLine,
                           WindowHost& host);

bool SearchDevice(EnrollmentContext& context, WindowHost& host);

// Called when the window is destroyed: ends the session's pending work, keeps the session.
void CancelPendingWork(const EnrollmentContext& context);
