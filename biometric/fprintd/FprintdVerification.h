// One test of a stored finger on fprintd, from its turn at the reader until the release.
#pragma once

#include <QString>
#include <functional>
#include <memory>

#include "FprintdCaptures.h"
#include "FprintdLinks.h"
#include "FprintdReaderHold.h"
#include "WinBio.h"

class QTimer;

// Where the verification is on fprintd's side; the stage names the call that is out, if any.
enum class VerifyStage {
    kWaitingForReader,  // another operation has the reader
    kFindingReader,
    kAuthorizing,
    kClaiming,
    kStarting,  // NoEnrolledPrints here: the finger is not enrolled
    kScanning,
    kStopping,
    kReleasing,
    kReleased,
};

// fprintd keeps verifying after a retry result, so the reader stays claimed until a final
// result, the capture deadline or a cancel; each request gets the next result.
class FprintdVerification : public std::enable_shared_from_this<FprintdVerification> {
public:
    FprintdVerification(FprintdLinks links, SessionHandle session, UnitId unit, QString user,
                        SubFactor finger, std::function<void()> readerFree);
    ~FprintdVerification();
    FprintdVerification(const FprintdVerification&) = delete;
    FprintdVerification& operator=(const FprintdVerification&) = delete;

    SessionHandle Session() const { return m_session; }
    SubFactor Finger() const { return m_finger; }
    VerifyStage Stage() const { return m_stage; }
    bool Released() const { return m_stage == VerifyStage::kReleased; }
    // Its last result was handed out: a further request starts a new verification.
    bool Over() const { return m_captures->Outcome() == EnrollOutcome::kFinalDelivered; }
    // A request waits for its result.
    bool Requested() const;

    // The reader is this verification's now.
    void Start();
    StatusCode Request(VerifyCallback callback, void* context);
    // Ends the verification for the user's Abort or the end of the session: the pending
    // request gets kCanceled, the reader is released in the background.
    void Cancel();
    void OnVerifyStatus(const QString& daemon, const QString& path, const QString& result,
                        bool done);
    void OnDaemonGone(const QString& daemon);
    // The back end goes: a waiting request is answered now and no call goes out any more.
    void TearDown();

private:
    enum class Holding { kNothing, kClaim, kVerification };

    // The one way on after every reply.
    bool Continue(VerifyStage sentAt, StatusCode error);
    static Holding HeldAfter(VerifyStage sentAt, bool succeeded);
    void Authorize();
    void Claim();
    void StartScanning();
    void End(CaptureResult result, Holding held);
    void WindDown(Holding held);
    void Stop();
    void Release();
    void Finish();
    void ArmDeadline();

    const FprintdLinks m_links;
    const SessionHandle m_session;
    const SubFactor m_finger;
    FprintdReaderHold m_hold;

    VerifyStage m_stage = VerifyStage::kWaitingForReader;
    const std::shared_ptr<FprintdCaptures> m_captures;
    QTimer* m_deadline;
};
