// What the program says on the terminal about the readers: --list, and why start-up ended.
#pragma once

#include <string>

#include "ServiceChoice.h"
#include "SessionStartup.h"
#include "SystemRoot.h"

struct ReaderListing {
    int exitCode = 0;
    std::string out;  // one reader a line
    std::string err;
    bool noneListed = false;  // the back end answered, but with no reader
};

enum class EnrolledFingersColumn { kLeftOut, kShown };

// The installed back end's readers: unit id, name, press or swipe, and which one it takes as
// the default; with kShown, also the current user's enrolled fingers on each.
ReaderListing ListReaders(ServiceKind service,
                          EnrolledFingersColumn fingers = EnrolledFingersColumn::kLeftOut);

// Lines for standard error after start-up closed the window, or nothing; the window's own
// message has been shown by then.
// When no reader could be listed, it adds why, from the system files under root.
std::string StartupFailureNote(const StartupReport& report, ServiceKind service,
                               const SystemRoot& root);
