// Capture and verification results that are due, waiting for the simulated sensor's worker.
#pragma once

#include <deque>
#include <mutex>

#include "WinBio.h"

class CaptureDeliveryQueue {
public:
    // One of the two callbacks is set: a capture's or a verification's.
    struct Result {
        EnrollCaptureCallback callback = nullptr;
        void* context = nullptr;
        StatusCode status = kOk;
        RejectDetail rejectDetail = 0;
        VerifyCallback verifyCallback = nullptr;
        UnitId unitId = 0;
    };

    // Called with the sensor's lock held.
    void Push(const Result& result) { m_results.push_back(result); }

    // Takes the first result and calls its callback with the lock released, so the callback may
    // call back into the service; false when none was waiting.
    bool DeliverFirst(std::unique_lock<std::mutex>& lock);

private:
    std::deque<Result> m_results;
};
