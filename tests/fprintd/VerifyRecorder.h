// Records verification results as the back end hands them out, on whichever thread it does.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <ostream>

#include "WinBio.h"

class VerifyRecorder {
public:
    static constexpr std::chrono::milliseconds kPatience{5000};
    // Long enough for a stray result to have arrived, were one coming.
    static constexpr std::chrono::milliseconds kQuiet{100};

    struct Result {
        StatusCode status = kOk;
        std::uint8_t match = 0;
        RejectDetail rejectDetail = 0;
        UnitId unit = 0;
        bool operator==(const Result&) const = default;
    };

    // The verify callback; its context is the recorder.
    static void Callback(void* context, StatusCode status, UnitId unit, std::uint8_t match,
                         RejectDetail rejectDetail);

    // Asks for one verification of the caller's finger; the service's immediate answer.
    StatusCode Request(SessionHandle handle, SubFactor finger);
    // The oldest result not yet taken, waiting for it; none after the timeout.
    std::optional<Result> Next(std::chrono::milliseconds timeout);

private:
    std::mutex m_mutex;
    std::condition_variable m_arrived;
    std::deque<Result> m_results;
};

std::ostream& operator<<(std::ostream& out, const VerifyRecorder::Result& result);
