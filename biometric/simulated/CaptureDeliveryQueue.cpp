// Capture and verification results that are due, waiting for the simulated sensor's worker.
#include "CaptureDeliveryQueue.h"

bool CaptureDeliveryQueue::DeliverFirst(std::unique_lock<std::mutex>& lock) {
    if (m_results.empty()) {
        return false;
    }
    const Result result = m_results.front();
    m_results.pop_front();
    lock.unlock();
    if (result.verifyCallback != nullptr) {
        const std::uint8_t match = result.status == kOk ? 1 : 0;
        result.verifyCallback(result.context, result.status, result.unitId, match,
                              result.rejectDetail);
    } else {
        result.callback(result.context, result.status, result.rejectDetail);
    }
    lock.lock();
    return true;
}
