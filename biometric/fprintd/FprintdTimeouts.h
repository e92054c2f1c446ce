// How long the fprintd back end waits for each kind of answer; tests shorten them.
#pragma once

#include <chrono>

struct FprintdTimeouts {
    // A requested capture that sees no result this long (counted while the reader scans) ends.
    std::chrono::milliseconds capture{60000};
    // A verification that sees no touch this long (counted while the reader scans) ends.
    std::chrono::milliseconds verify{30000};
    // Calls that cannot prompt answer in milliseconds; one that takes this long will not answer.
    // Calls that may wait for a password prompt have no timeout at all.
    std::chrono::milliseconds reply{10000};
    // How long the service's end waits for readers to be released before it leaves that to the
    // closing connection.
    std::chrono::milliseconds exitWait{3000};
    // How long a Release (or the EnrollStop before it) may take before the connection is closed,
    // which ends the claim on fprintd's side as well.
    std::chrono::milliseconds releaseWait{3000};
    // A release waits for the resume after logind announced a sleep, at most this long counted
    // while the system is awake: the suspend itself follows within seconds.
    std::chrono::milliseconds longestSleep{60000};
};
