// Records verification results as the back end hands them out, on whichever thread it does.
#include "VerifyRecorder.h"

#include "ServiceCalls.h"

void VerifyRecorder::Callback(void* context, StatusCode status, UnitId unit, std::uint8_t match,
                              RejectDetail rejectDetail) {
    auto* recorder = static_cast<VerifyRecorder*>(context);
    std::lock_guard lock(recorder->m_mutex);
    recorder->m_results.push_back({status, match, rejectDetail, unit});
    recorder->m_arrived.notify_all();
}

StatusCode VerifyRecorder::Request(SessionHandle handle, SubFactor finger) {
    WINBIO_IDENTITY identity = ServiceCalls::CallerIdentity();
    return WinBioVerifyWithCallback(handle, &identity, finger, &VerifyRecorder::Callback, this);
}

std::optional<VerifyRecorder::Result> VerifyRecorder::Next(std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_mutex);
    if (!m_arrived.wait_for(lock, timeout, [this] { return !m_results.empty(); })) {
        return std::nullopt;
    }
    const Result result = m_results.front();
    m_results.pop_front();
    return result;
}

std::ostream& operator<<(std::ostream& out, const VerifyRecorder::Result& result) {
    return out << "{0x" << std::hex << static_cast<std::uint32_t>(result.status) << std::dec
               << ", match " << int{result.match} << ", detail " << result.rejectDetail << ", unit "
               << result.unit << "}";
}
