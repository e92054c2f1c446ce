// Records capture results as a back end delivers them, on whichever thread it delivers them.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <optional>
#include <ostream>
#include <thread>
#include <vector>

#include "WinBio.h"

class CaptureRecorder {
public:
    static constexpr std::chrono::milliseconds kDefaultPatience{5000};

    struct Result {
        StatusCode status = kOk;
        RejectDetail rejectDetail = 0;
        std::thread::id thread;
        std::chrono::steady_clock::time_point arrived;
    };

    // The capture callback; its context is the recorder.
    static void Callback(void* context, StatusCode status, RejectDetail rejectDetail);

    // True once at least count results came, false after the timeout.
    bool WaitFor(std::size_t count, std::chrono::milliseconds timeout = kDefaultPatience);
    // The first result not yet taken by Next, waiting for it; none after the timeout.
    std::optional<Result> Next(std::chrono::milliseconds timeout = kDefaultPatience);

    std::vector<Result> Results() const;
    std::size_t Count() const;

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_arrived;
    std::vector<Result> m_results;
    std::size_t m_taken = 0;
};

std::ostream& operator<<(std::ostream& out, const CaptureRecorder::Result& result);
