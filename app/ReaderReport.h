// What the program says on the terminal about the readers: --list, and why start-up ended.
#pragma once

#include <string>

#include "ServiceChoice.h"
#include "SessionStartup.h"

struct ReaderListing {
    int exitCode = 0;
    std::string out;  // one reader a line
    std::string err;
};

// The installed back end's readers: unit id, name, press or swipe, and which one it takes as
// the default.
ReaderListing ListReaders(ServiceKind service);

// Lines for standard error after start-up closed the window, or nothing; the window's own
// message has been shown by then.
std::string StartupFailureNote(const StartupReport& report, ServiceKind service);
