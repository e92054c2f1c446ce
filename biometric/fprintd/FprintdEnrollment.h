// One enrollment on fprintd, from EnrollBegin until the reader is released again.
#pragma once

#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

#include "FprintdCaptures.h"
#include "FprintdLinks.h"
#include "FprintdReaderHold.h"
#include "WinBio.h"

class QDBusMessage;
class QTimer;

// Where the enrollment is on fprintd's side; the stage names the call that is out, if any.
enum class EnrollStage {
    kWaitingForReader,  // another enrollment or deletion has the reader
    kFindingReader,
    kAuthorizing,
    kClaiming,
    kCheckingFinger,  // a stored print must never be overwritten by EnrollStart
    kReadingStages,
    kStarting,
    kScanning,
    kStopping,
    kReleasing,
    kReleased,
};

class FprintdEnrollment : public std::enable_shared_from_this<FprintdEnrollment> {
public:
    FprintdEnrollment(FprintdLinks links, SessionHandle session, SubFactor finger, UnitId unit,
                      QString user, std::shared_ptr<std::atomic<std::uint32_t>> stageCount,
                      std::function<void()> readerFree);
    ~FprintdEnrollment();
    FprintdEnrollment(const FprintdEnrollment&) = delete;
    FprintdEnrollment& operator=(const FprintdEnrollment&) = delete;

    SessionHandle Session() const { return m_session; }
    EnrollStage Stage() const { return m_stage; }
    bool Released() const { return m_stage == EnrollStage::kReleased; }
    EnrollOutcome Outcome() const { return m_captures->Outcome(); }

    // The reader is this enrollment's now.
    void Start();
    StatusCode RequestCapture(EnrollCaptureCallback callback, void* context);
    // What fprintd stored, known once the last result was handed out; answers at once.
    StatusCode Commit() const;
    // Ends the enrollment for the user's Abort, a discard or the end of the session. A completion
    // fprintd reached before the stop took effect is still handed out.
    void Cancel();
    void OnEnrollStatus(const QString& daemon, const QString& path, const QString& result,
                        bool done);
    void OnDaemonGone(const QString& daemon);
    // The back end goes: a waiting capture is answered now and no call goes out any more.
    void TearDown();

private:
    enum class Holding { kNothing, kClaim, kEnrollment };

    // The one way on after every reply.
    bool Continue(EnrollStage sentAt, StatusCode error);
    static Holding HeldAfter(EnrollStage sentAt, bool succeeded);
    void Send(EnrollStage stage, const QString& method, const QVariantList& arguments,
              std::function<void(const QDBusMessage&)> then);

    void Authorize();
    void Claim();
    void CheckFinger();
    void ReadStages();
    void StartScanning();
    void End(CaptureResult result, StatusCode commitStatus, Holding held);
    void WindDown(Holding held);
    void Stop();
    void Release();
    void Finish();
    void ArmDeadline();

    const FprintdLinks m_links;
    const SessionHandle m_session;
    const SubFactor m_finger;
    const std::shared_ptr<std::atomic<std::uint32_t>> m_stageCount;
    FprintdReaderHold m_hold;

    EnrollStage m_stage = EnrollStage::kWaitingForReader;
    const std::shared_ptr<FprintdCaptures> m_captures;
    QTimer* m_deadline;
};
