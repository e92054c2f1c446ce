// The capture callback: records each result and arms the event timer that handles it.
#include "CaptureHandoff.h"

#include <string>

#include "EnrollmentWorkflow.h"

namespace {

enum class BadCaptureKind { kNone, kMergeFailure, kTooFast, kPoorQuality };

struct CaptureOutcome {
    unsigned event;
    bool accepted = false;
    BadCaptureKind badKind = BadCaptureKind::kNone;
};

CaptureOutcome SortBadCapture(RejectDetail rejectDetail) {
    switch (rejectDetail) {
        case kRejectMergeFailure:
            return {kEventMismatch, false, BadCaptureKind::kMergeFailure};
        case kRejectTooFast:
            return {kEventRelease, false, BadCaptureKind::kTooFast};
        default:
            // Any other detail is also a misplaced finger: ask again, and count it with poor
            // quality so that an endless run of them still ends at the limit.
            return {kEventPlace, false, BadCaptureKind::kPoorQuality};
    }
}

CaptureOutcome SortCaptureResult(StatusCode operationStatus, RejectDetail rejectDetail,
                                 bool abortEnabled) {
    if (operationStatus == kMoreData) {
        return {kEventRelease, true};
    }
    if (operationStatus == kOk) {
        return {kEventCommit, true};
    }
    if (operationStatus > 0) {
        return {kEventTimeout};
    }
    if (operationStatus == kBadCapture) {
        return SortBadCapture(rejectDetail);
    }
    if (operationStatus == kCanceled) {
        // Abort disables the button before it cancels: a cancel seen with it enabled was not
        // the user's.
        return {abortEnabled ? kEventFailure : kEventAborted};
    }
    return {kEventFailure};
}

void CountBadCapture(EnrollmentContext& context, BadCaptureKind kind) {
    if (kind == BadCaptureKind::kNone) {
        return;
    }
    auto countOrReset = [kind](std::atomic<std::int32_t>& counter, BadCaptureKind counterKind) {
        if (counterKind == kind) {
            counter.fetch_add(1);
        } else {
            counter.store(0);
        }
    };
    countOrReset(context.mergeFailureCounter, BadCaptureKind::kMergeFailure);
    countOrReset(context.tooFastCounter, BadCaptureKind::kTooFast);
    countOrReset(context.poorQualityCounter, BadCaptureKind::kPoorQuality);
}

std::u16string FormatCaptureCounter(int position) {
    const std::string text = std::to_string(position) + "/" + std::to_string(kProgressMaximum);
    return std::u16string(text.begin(), text.end());
}

}  // namespace

CaptureHandoff::CaptureHandoff(EnrollmentContext& context, WorkflowDisplay& display)
    : m_context(&context), m_display(&display) {}

void CaptureHandoff::PublishProgressPosition(int position) {
    m_progressPosition.store(position);
}

void CaptureHandoff::PublishAbortEnabled(bool enabled) {
    m_abortEnabled.store(enabled);
}

void CaptureHandoff::Detach() {
    std::lock_guard lock(m_mutex);
    m_context = nullptr;
    m_display = nullptr;
}

void* CaptureHandoff::NewCaptureContext(const std::shared_ptr<CaptureHandoff>& handoff) {
    return new std::shared_ptr<CaptureHandoff>(handoff);
}

void CaptureHandoff::ReleaseCaptureContext(void* captureContext) {
    delete static_cast<std::shared_ptr<CaptureHandoff>*>(captureContext);
}

void CaptureHandoff::OnCaptureResult(void* captureContext, StatusCode operationStatus,
                                     RejectDetail rejectDetail) {
    if (captureContext == nullptr) {
        return;
    }
    const std::unique_ptr<std::shared_ptr<CaptureHandoff>> handoff(
        static_cast<std::shared_ptr<CaptureHandoff>*>(captureContext));
    (*handoff)->Deliver(operationStatus, rejectDetail);
}

void CaptureHandoff::Deliver(StatusCode operationStatus, RejectDetail rejectDetail) {
    std::lock_guard lock(m_mutex);
    if (m_context == nullptr) {
        return;
    }
    m_context->lastStatus.store(operationStatus);
    // The position the last event set, before this result is counted.
    const std::u16string counterText = FormatCaptureCounter(m_progressPosition.load());
    const CaptureOutcome outcome =
        SortCaptureResult(operationStatus, rejectDetail, m_abortEnabled.load());
    if (outcome.accepted) {
        m_context->acceptedCaptureCount.fetch_add(1);
    }
    CountBadCapture(*m_context, outcome.badKind);
    // Both only post to the window's thread; the writes above are done before the timer can run.
    m_display->SetCaptureCounterText(counterText);
    m_display->ArmEventTimer(outcome.event);
}
