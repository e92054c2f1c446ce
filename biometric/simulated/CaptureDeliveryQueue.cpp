// Capture results that are due, waiting for the simulated sensor's worker to deliver them.
#include "CaptureDeliveryQueue.h"

bool CaptureDeliveryQueue::DeliverFirst(std::unique_lock<std::mutex>& lock) {
    if (m_results.empty()) {
        return false;
    }
    const Result result = m_results.front();
    m_results.pop_front();
    lock.unlock();
    result.callback(result.context, result.status, result.rejectDetail);
    lock.lock();
    return true;
}
