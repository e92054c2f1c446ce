// Records capture results as a back end delivers them, on whichever thread it delivers them.
#include "CaptureRecorder.h"

void CaptureRecorder::Callback(void* context, StatusCode status, RejectDetail rejectDetail) {
    const auto arrived = std::chrono::steady_clock::now();
    auto* recorder = static_cast<CaptureRecorder*>(context);
    std::lock_guard lock(recorder->m_mutex);
    recorder->m_results.push_back({status, rejectDetail, std::this_thread::get_id(), arrived});
    recorder->m_arrived.notify_all();
}

bool CaptureRecorder::WaitFor(std::size_t count, std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_mutex);
    return m_arrived.wait_for(lock, timeout, [&] { return m_results.size() >= count; });
}

std::optional<CaptureRecorder::Result> CaptureRecorder::Next(std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_mutex);
    if (!m_arrived.wait_for(lock, timeout, [&] { return m_results.size() > m_taken; })) {
        return std::nullopt;
    }
    return m_results[m_taken++];
}

std::vector<CaptureRecorder::Result> CaptureRecorder::Results() const {
    std::lock_guard lock(m_mutex);
    return m_results;
}

std::size_t CaptureRecorder::Count() const {
    std::lock_guard lock(m_mutex);
    return m_results.size();
}

std::ostream& operator<<(std::ostream& out, const CaptureRecorder::Result& result) {
    return out << "{0x" << std::hex << static_cast<std::uint32_t>(result.status) << std::dec << ", "
               << result.rejectDetail << "}";
}
