// The capture callback: records each result and arms the event timer that handles it.
#include "CaptureHandoff.h"

#include <mutex>
#include <string>
#include <unordered_map>

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

std::u16string FormatCaptureCounter(int position, int maximum) {
    const std::string text = std::to_string(position) + "/" + std::to_string(maximum);
    return std::u16string(text.begin(), text.end());
}

// Live hand-offs by key. A result is delivered with the lock held, so a hand-off is never
// destroyed halfway through one; both sides only store and post, so the wait is short.
std::mutex g_registryMutex;
std::unordered_map<std::uintptr_t, CaptureHandoff*> g_registry;
std::uintptr_t g_nextKey = 1;  // 0 would be a null context

std::uintptr_t Register(CaptureHandoff* handoff) {
    std::lock_guard lock(g_registryMutex);
    const std::uintptr_t key = g_nextKey++;
    g_registry.emplace(key, handoff);
    return key;
}

}  // namespace

CaptureHandoff::CaptureHandoff(EnrollmentContext& context, WorkflowDisplay& display)
    : m_key(Register(this)),
      m_context(context),
      m_display(display),
      m_progressMaximum(kProgressMaximum) {}

CaptureHandoff::~CaptureHandoff() {
    std::lock_guard lock(g_registryMutex);
    g_registry.erase(m_key);
}

void CaptureHandoff::PublishProgressPosition(int position) {
    m_progressPosition.store(position);
}

void CaptureHandoff::PublishProgressMaximum(int maximum) {
    m_progressMaximum.store(maximum);
}

void CaptureHandoff::PublishAbortEnabled(bool enabled) {
    m_abortEnabled.store(enabled);
}

void* CaptureHandoff::CaptureContext() const {
    return reinterpret_cast<void*>(m_key);
}

void CaptureHandoff::OnCaptureResult(void* captureContext, StatusCode operationStatus,
                                     RejectDetail rejectDetail) {
    std::lock_guard lock(g_registryMutex);
    const auto found = g_registry.find(reinterpret_cast<std::uintptr_t>(captureContext));
    if (found != g_registry.end()) {
        found->second->Deliver(operationStatus, rejectDetail);
    }
}

void CaptureHandoff::Deliver(StatusCode operationStatus, RejectDetail rejectDetail) {
    m_context.lastStatus.store(operationStatus);
    // The position the last event set, before this result is counted.
    const std::u16string counterText =
        FormatCaptureCounter(m_progressPosition.load(), m_progressMaximum.load());
    const CaptureOutcome outcome =
        SortCaptureResult(operationStatus, rejectDetail, m_abortEnabled.load());
    if (outcome.accepted) {
        m_context.acceptedCaptureCount.fetch_add(1);
    }
    CountBadCapture(m_context, outcome.badKind);
    // Both only post to the window's thread; the writes above are done before the timer can run.
    m_display.SetCaptureCounterText(counterText);
    m_display.ArmEventTimer(outcome.event);
}
