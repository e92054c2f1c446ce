// An enrollment's or a verification's results on their way to the requests the workflow makes,
// one each.
#include "FprintdCaptures.h"

#include <QMetaObject>

StatusCode FprintdCaptures::Request(HandOut handOut) {
    if (m_capture) {
        return kDataCollectionInProgress;
    }
    if (m_outcome == EnrollOutcome::kFinalDelivered) {
        return kInvalidOperation;  // its last result was handed out already
    }
    m_capture = std::move(handOut);
    if (!m_results.empty()) {
        DeliverLater();
    }
    return kOk;
}

StatusCode FprintdCaptures::Commit() const {
    if (m_capture) {
        return kDataCollectionInProgress;
    }
    if (m_outcome != EnrollOutcome::kFinalDelivered || m_finalCapture != kOk) {
        return kInvalidOperation;
    }
    // fprintd stored the print (or refused it) when it finished; the commit only reports that.
    return m_commitStatus;
}

void FprintdCaptures::Add(CaptureResult result) {
    if (m_outcome != EnrollOutcome::kOpen) {
        return;
    }
    m_results.push_back(result);
    Deliver();
}

void FprintdCaptures::Finish(CaptureResult result, StatusCode commitStatus) {
    const bool completedWhileCancelling =
        m_outcome == EnrollOutcome::kCancelling && commitStatus == kOk && result.status == kOk;
    if (m_outcome != EnrollOutcome::kOpen && !completedWhileCancelling) {
        return;
    }
    // Results still queued before an ending one are dropped: the enrollment is over, and its
    // end must reach the window at once, not behind every stage a burst brought. The bar's
    // range comes from num-enroll-stages, and the workflow fills it on success.
    m_results = {result};
    m_finalCapture = result.status;
    m_commitStatus = commitStatus;
    m_outcome = EnrollOutcome::kFinalQueued;
    Deliver();
}

void FprintdCaptures::Cancel(bool completionMayCome) {
    if (m_outcome == EnrollOutcome::kCancelling || m_outcome == EnrollOutcome::kFinalDelivered) {
        return;
    }
    if (m_outcome == EnrollOutcome::kFinalQueued && m_finalCapture == kOk) {
        return;  // fprintd stored the print: its completion is handed out all the same
    }
    // Anything else nobody has seen yet gives way to the user's cancel.
    m_results.clear();
    m_outcome = EnrollOutcome::kCancelling;
    if (!completionMayCome) {
        ResolveCancellation();
    }
}

void FprintdCaptures::ResolveCancellation() {
    if (m_outcome != EnrollOutcome::kCancelling) {
        return;
    }
    m_finalCapture = kCanceled;
    m_commitStatus = kInvalidOperation;
    if (m_capture) {
        m_results = {{kCanceled, 0}};
        m_outcome = EnrollOutcome::kFinalQueued;
        DeliverLater();
    } else {
        m_outcome = EnrollOutcome::kFinalDelivered;
    }
}

void FprintdCaptures::HandOutNow() {
    if (m_outcome == EnrollOutcome::kOpen) {
        m_outcome = EnrollOutcome::kCancelling;
    }
    ResolveCancellation();
    Deliver();
}

void FprintdCaptures::DeliverLater() {
    QMetaObject::invokeMethod(
        &m_eventLoop, [self = shared_from_this()] { self->Deliver(); }, Qt::QueuedConnection);
}

void FprintdCaptures::Deliver() {
    if (!m_capture || m_results.empty()) {
        return;
    }
    const HandOut handOut = std::move(*m_capture);
    const CaptureResult result = m_results.front();
    m_results.pop_front();
    m_capture.reset();
    if (m_results.empty() && m_outcome == EnrollOutcome::kFinalQueued) {
        m_outcome = EnrollOutcome::kFinalDelivered;
    }
    handOut(result);
}
