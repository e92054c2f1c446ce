// Carries capture results from the service's thread to the window's thread as event timers.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>

#include "EnrollmentContext.h"
#include "WinBio.h"
#include "WorkflowDisplay.h"

// Shared between the workflow and every outstanding capture, so that a result arriving after
// the workflow is gone finds it detached instead of freed.
class CaptureHandoff {
public:
    CaptureHandoff(EnrollmentContext& context, WorkflowDisplay& display);
    CaptureHandoff(const CaptureHandoff&) = delete;
    CaptureHandoff& operator=(const CaptureHandoff&) = delete;

    // Window's thread: mirrors of what the window shows, read by the callback so that it never
    // has to ask the window (which may be waiting on the service) for them.
    void PublishProgressPosition(int position);
    void PublishAbortEnabled(bool enabled);

    // Window's thread: once it returns, no result touches the context or the display.
    void Detach();

    // One capture's context for the service: a reference that keeps the hand-off alive until
    // OnCaptureResult, or ReleaseCaptureContext when the capture was refused, gives it back.
    static void* NewCaptureContext(const std::shared_ptr<CaptureHandoff>& handoff);
    static void ReleaseCaptureContext(void* captureContext);

    // The capture callback: runs on the service's thread, once per accepted capture request.
    static void OnCaptureResult(void* captureContext, StatusCode operationStatus,
                                RejectDetail rejectDetail);

private:
    void Deliver(StatusCode operationStatus, RejectDetail rejectDetail);

    // Held while a result is written and posted, so Detach waits for a delivery in flight.
    std::mutex m_mutex;
    EnrollmentContext* m_context;  // null once detached
    WorkflowDisplay* m_display;    // null once detached
    std::atomic<int> m_progressPosition{0};
    std::atomic<bool> m_abortEnabled{false};  // the dialog creates the button disabled
};
