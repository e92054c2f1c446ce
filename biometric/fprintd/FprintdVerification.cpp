// One test of a stored finger on fprintd, from its turn at the reader until the release.
#include "FprintdVerification.h"

#include <QDBusMessage>
#include <QTimer>

#include "FprintdMapping.h"
#include "FprintdTimeouts.h"

FprintdVerification::FprintdVerification(FprintdLinks links, SessionHandle session, UnitId unit,
                                         QString user, SubFactor finger,
                                         std::function<void()> readerFree)
    : m_links(links),
      m_session(session),
      m_finger(finger),
      m_hold(links, unit, std::move(user), std::move(readerFree)),
      m_captures(std::make_shared<FprintdCaptures>(links.eventLoop)),
      m_deadline(new QTimer) {
    m_deadline->setSingleShot(true);
}

FprintdVerification::~FprintdVerification() {
    delete m_deadline;
}

bool FprintdVerification::Requested() const {
    return m_captures->Requested();
}

void FprintdVerification::Start() {
    const auto self = shared_from_this();
    QObject::connect(m_deadline, &QTimer::timeout, m_deadline, [this] {
        if (m_stage == VerifyStage::kScanning) {
            End({kCaptureTimedOut, 0}, Holding::kVerification);
        }
    });
    m_stage = VerifyStage::kFindingReader;
    m_hold.Find([self](StatusCode status) {
        if (self->Continue(VerifyStage::kFindingReader, status)) {
            self->Authorize();
        }
    });
}

bool FprintdVerification::Continue(VerifyStage sentAt, StatusCode error) {
    if (m_stage != sentAt) {
        return false;  // the verification moved on (stopped, released, torn down) meanwhile
    }
    const Holding held = HeldAfter(sentAt, error == kOk);
    if (m_captures->Outcome() != EnrollOutcome::kOpen) {
        WindDown(held);
        return false;
    }
    if (error != kOk) {
        End({error, 0}, held);
        return false;
    }
    return true;
}

FprintdVerification::Holding FprintdVerification::HeldAfter(VerifyStage sentAt, bool succeeded) {
    switch (sentAt) {
        case VerifyStage::kClaiming:
            return succeeded ? Holding::kClaim : Holding::kNothing;
        case VerifyStage::kStarting:
            return succeeded ? Holding::kVerification : Holding::kClaim;
        default:
            return Holding::kNothing;
    }
}

void FprintdVerification::Authorize() {
    // Granted without a prompt on a desktop; a stricter policy prompts while the reader is free.
    m_stage = VerifyStage::kAuthorizing;
    m_hold.Authorize(FprintdAction::kVerify, [self = shared_from_this()](StatusCode status) {
        if (self->Continue(VerifyStage::kAuthorizing, status)) {
            self->Claim();
        }
    });
}

void FprintdVerification::Claim() {
    m_stage = VerifyStage::kClaiming;
    m_hold.Claim([self = shared_from_this()](StatusCode status) {
        if (self->Continue(VerifyStage::kClaiming, status)) {
            self->StartScanning();
        }
    });
}

void FprintdVerification::StartScanning() {
    m_stage = VerifyStage::kStarting;
    m_hold.Call(QStringLiteral("VerifyStart"), {FprintdReaderHold::FingerName(m_finger)},
                Prompt::kAllowed, FprintdCall::kVerify,
                [self = shared_from_this()](StatusCode error, const QDBusMessage&) {
                    if (self->Continue(VerifyStage::kStarting, error)) {
                        self->m_stage = VerifyStage::kScanning;
                        self->ArmDeadline();
                    }
                });
}

void FprintdVerification::OnVerifyStatus(const QString& daemon, const QString& path,
                                         const QString& result, bool done) {
    const bool verifying = m_stage == VerifyStage::kStarting || m_stage == VerifyStage::kScanning;
    if (!m_hold.Is(daemon, path) || !verifying || m_captures->Outcome() != EnrollOutcome::kOpen) {
        return;  // another reader or client, or after our own end
    }
    const VerifyResultOutcome outcome = VerifyResultStatus(result.toStdString(), done);
    const CaptureResult captured{outcome.status, outcome.rejectDetail, outcome.match};
    if (outcome.ends) {
        End(captured, Holding::kVerification);
        return;
    }
    m_captures->Add(captured);
    ArmDeadline();  // a touch came: the next one has the whole deadline
}

void FprintdVerification::End(CaptureResult result, Holding held) {
    if (m_captures->Outcome() != EnrollOutcome::kOpen) {
        return;
    }
    m_deadline->stop();
    m_captures->Finish(result, kInvalidOperation);
    WindDown(held);
}

void FprintdVerification::WindDown(Holding held) {
    switch (held) {
        case Holding::kVerification:
            Stop();
            break;
        case Holding::kClaim:
            Release();
            break;
        case Holding::kNothing:
            Finish();
            break;
    }
}

void FprintdVerification::Stop() {
    m_deadline->stop();
    m_stage = VerifyStage::kStopping;
    // fprintd wants its verification stopped even after the final result.
    m_hold.Stop(QStringLiteral("VerifyStop"), [self = shared_from_this()] {
        if (self->m_stage == VerifyStage::kStopping) {
            self->Release();
        }
    });
}

void FprintdVerification::Release() {
    m_stage = VerifyStage::kReleasing;
    m_hold.Release([self = shared_from_this()] {
        if (self->m_stage == VerifyStage::kReleasing) {
            self->Finish();
        }
    });
}

void FprintdVerification::Finish() {
    m_deadline->stop();
    m_stage = VerifyStage::kReleased;
    m_hold.GiveBack();
}

void FprintdVerification::Cancel() {
    if (m_captures->Outcome() != EnrollOutcome::kOpen) {
        m_captures->Cancel(false);  // already winding down
        return;
    }
    m_deadline->stop();
    // Nothing is stored by a verification: the pending request hears of the cancel at once.
    m_captures->Cancel(false);
    switch (m_stage) {
        case VerifyStage::kScanning:
            Stop();
            break;
        case VerifyStage::kWaitingForReader:
            Finish();
            break;
        case VerifyStage::kAuthorizing:
            m_hold.CancelAuthorization();  // the check then answers, not granted
            break;
        case VerifyStage::kStarting:
            // fprintd's own prompt may hold VerifyStart: a Release makes it fail.
            Release();
            break;
        default:
            break;  // the reply in flight winds the verification down
    }
}

void FprintdVerification::OnDaemonGone(const QString& daemon) {
    if (Released() || !m_hold.Lost(daemon)) {
        return;
    }
    m_captures->Finish({kSensorUnavailable, 0}, kInvalidOperation);
    Finish();  // the claim went with the daemon
}

void FprintdVerification::TearDown() {
    m_deadline->stop();
    m_captures->HandOutNow();  // now: after this the back end's event loop is gone
    m_stage = VerifyStage::kReleased;
    m_hold.Forget();
}

StatusCode FprintdVerification::Request(VerifyCallback callback, void* context) {
    std::weak_ptr<FprintdVerification> weak = weak_from_this();
    const StatusCode status =
        m_captures->Request([weak, callback, context](const CaptureResult& result) {
            const auto self = weak.lock();
            callback(context, result.status, self ? self->m_hold.Unit() : 0, result.match,
                     result.rejectDetail);
        });
    ArmDeadline();
    return status;
}

void FprintdVerification::ArmDeadline() {
    // Counted while the reader scans; a password prompt before that has no deadline.
    if (m_stage == VerifyStage::kScanning && m_captures->Outcome() == EnrollOutcome::kOpen) {
        m_deadline->start(m_links.timeouts.verify);
    }
}
