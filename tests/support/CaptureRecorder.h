// Collects capture results from the service's thread, with the moment each arrived.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <ostream>

#include "WinBio.h"

struct RecordedCapture {
    StatusCode status = kOk;
    RejectDetail rejectDetail = 0;
    std::chrono::steady_clock::time_point arrived;
};

inline std::ostream& operator<<(std::ostream& out, const RecordedCapture& capture) {
    return out << "{0x" << std::hex << static_cast<std::uint32_t>(capture.status) << std::dec
               << ", " << capture.rejectDetail << "}";
}

class CaptureRecorder {
public:
    // The capture callback; the context is the recorder.
    static void Callback(void* context, StatusCode status, RejectDetail rejectDetail) {
        const auto arrived = std::chrono::steady_clock::now();
        auto* recorder = static_cast<CaptureRecorder*>(context);
        std::lock_guard lock(recorder->m_mutex);
        recorder->m_results.push_back({status, rejectDetail, arrived});
        recorder->m_arrived.notify_all();
    }

    // The oldest result not yet taken; nullopt when none came within the timeout.
    std::optional<RecordedCapture> Wait(std::chrono::milliseconds timeout) {
        std::unique_lock lock(m_mutex);
        if (!m_arrived.wait_for(lock, timeout, [this] { return !m_results.empty(); })) {
            return std::nullopt;
        }
        const RecordedCapture capture = m_results.front();
        m_results.pop_front();
        return capture;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_arrived;
    std::deque<RecordedCapture> m_results;
};
