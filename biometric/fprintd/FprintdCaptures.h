// An enrollment's or a verification's results on their way to the requests the workflow makes,
// one each.
#pragma once

#include <QObject>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>

#include "WinBio.h"

// What the captures see of the enrollment.
enum class EnrollOutcome {
    kOpen,
    kCancelling,      // cancelled while fprintd may still have completed: the stop tells
    kFinalQueued,     // the last result waits for its capture
    kFinalDelivered,  // nothing more will come
};

struct CaptureResult {
    StatusCode status = kOk;
    RejectDetail rejectDetail = 0;
    std::uint8_t match = 0;  // a verification's
};

// fprintd scans on its own: results that come before their capture is asked for wait here.
// Callbacks come from the event loop of the back end's thread, never from within a request.
class FprintdCaptures : public std::enable_shared_from_this<FprintdCaptures> {
public:
    using HandOut = std::function<void(const CaptureResult&)>;

    explicit FprintdCaptures(QObject& eventLoop) : m_eventLoop(eventLoop) {}

    EnrollOutcome Outcome() const { return m_outcome; }
    // A capture is asked for and no result waits for it.
    bool Waiting() const { return m_capture.has_value() && m_results.empty(); }
    bool Requested() const { return m_capture.has_value(); }

    StatusCode Request(HandOut handOut);
    // What fprintd stored, once the last result was handed out.
    StatusCode Commit() const;
    void Add(CaptureResult result);
    // The result that ends the enrollment, and what the commit will answer.
    void Finish(CaptureResult result, StatusCode commitStatus);
    // True when a cancel must wait for the stop to tell whether fprintd completed first.
    void Cancel(bool completionMayCome);
    // The stop answered (or fprintd went): a cancel without a completion ends as cancelled.
    void ResolveCancellation();
    // The back end goes: a waiting capture is answered now.
    void HandOutNow();

private:
    void DeliverLater();
    void Deliver();

    QObject& m_eventLoop;
    EnrollOutcome m_outcome = EnrollOutcome::kOpen;
    std::deque<CaptureResult> m_results;
    std::optional<HandOut> m_capture;
    StatusCode m_finalCapture = kInvalidOperation;
    StatusCode m_commitStatus = kInvalidOperation;
};
