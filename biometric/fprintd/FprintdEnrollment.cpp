// One enrollment on fprintd, from EnrollBegin until the reader is released again.
#include "FprintdEnrollment.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QTimer>
#include <QVariantMap>

#include "FprintdMapping.h"
#include "FprintdTimeouts.h"

FprintdEnrollment::FprintdEnrollment(FprintdLinks links, SessionHandle session, SubFactor finger,
                                     UnitId unit, QString user,
                                     std::shared_ptr<std::atomic<std::uint32_t>> stageCount,
                                     std::function<void()> readerFree)
    : m_links(links),
      m_session(session),
      m_finger(finger),
      m_stageCount(std::move(stageCount)),
      m_hold(links, unit, std::move(user), std::move(readerFree)),
      m_captures(std::make_shared<FprintdCaptures>(links.eventLoop)),
      m_deadline(new QTimer) {
    m_stageCount->store(0);
    m_deadline->setSingleShot(true);
}

FprintdEnrollment::~FprintdEnrollment() {
    delete m_deadline;
}

void FprintdEnrollment::Start() {
    const auto self = shared_from_this();
    QObject::connect(m_deadline, &QTimer::timeout, m_deadline, [this] {
        if (m_stage == EnrollStage::kScanning && m_captures->Waiting()) {
            End({kCaptureTimedOut, 0}, kInvalidOperation, Holding::kEnrollment);
        }
    });
    m_stage = EnrollStage::kFindingReader;
    m_hold.Find([self](StatusCode status) {
        if (self->Continue(EnrollStage::kFindingReader, status)) {
            self->Authorize();
        }
    });
}

bool FprintdEnrollment::Continue(EnrollStage sentAt, StatusCode error) {
    if (m_stage != sentAt) {
        return false;  // the enrollment moved on (stopped, released, torn down) meanwhile
    }
    const Holding held = HeldAfter(sentAt, error == kOk);
    if (m_captures->Outcome() != EnrollOutcome::kOpen) {
        WindDown(held);
        return false;
    }
    if (error != kOk) {
        End({error, 0}, kInvalidOperation, held);
        return false;
    }
    return true;
}

FprintdEnrollment::Holding FprintdEnrollment::HeldAfter(EnrollStage sentAt, bool succeeded) {
    switch (sentAt) {
        case EnrollStage::kClaiming:
            return succeeded ? Holding::kClaim : Holding::kNothing;
        case EnrollStage::kCheckingFinger:
        case EnrollStage::kReadingStages:
            return Holding::kClaim;
        case EnrollStage::kStarting:
            return succeeded ? Holding::kEnrollment : Holding::kClaim;
        default:
            return Holding::kNothing;
    }
}

void FprintdEnrollment::Send(EnrollStage stage, const QString& method,
                             const QVariantList& arguments,
                             std::function<void(const QDBusMessage&)> then) {
    m_stage = stage;
    auto onReply = [self = shared_from_this(), stage, then = std::move(then)](
                       StatusCode error, const QDBusMessage& reply) {
        if (stage == EnrollStage::kCheckingFinger && error == kDatabaseNoResults) {
            error = kOk;  // no prints at all: nothing to overwrite
        }
        if (self->Continue(stage, error)) {
            then(reply);
        }
    };
    if (stage == EnrollStage::kReadingStages) {
        m_hold.ReadProperties(std::move(onReply));
        return;
    }
    // Every other call may wait for fprintd's own prompt.
    m_hold.Call(method, arguments, Prompt::kAllowed, FprintdCall::kOther, std::move(onReply));
}

void FprintdEnrollment::Authorize() {
    m_stage = EnrollStage::kAuthorizing;
    m_hold.Authorize(FprintdAction::kEnroll, [self = shared_from_this()](StatusCode status) {
        if (self->Continue(EnrollStage::kAuthorizing, status)) {
            self->Claim();
        }
    });
}

void FprintdEnrollment::Claim() {
    m_stage = EnrollStage::kClaiming;
    m_hold.Claim([self = shared_from_this()](StatusCode status) {
        if (self->Continue(EnrollStage::kClaiming, status)) {
            self->CheckFinger();
        }
    });
}

void FprintdEnrollment::CheckFinger() {
    // fprintd's EnrollStart would delete a print stored meanwhile by another program.
    Send(EnrollStage::kCheckingFinger, QStringLiteral("ListEnrolledFingers"), {m_hold.User()},
         [this](const QDBusMessage& reply) {
             if (reply.arguments().value(0).toStringList().contains(
                     FprintdReaderHold::FingerName(m_finger))) {
                 End({kDuplicateTemplate, 0}, kInvalidOperation, Holding::kClaim);
                 return;
             }
             ReadStages();
         });
}

void FprintdEnrollment::ReadStages() {
    Send(EnrollStage::kReadingStages, QStringLiteral("GetAll"), {},
         [this](const QDBusMessage& reply) {
             // Valid only while claimed, so read here; without it the window keeps its range.
             QVariantMap properties;
             reply.arguments().value(0).value<QDBusArgument>() >> properties;
             bool readable = false;
             const int stages =
                 properties.value(QStringLiteral("num-enroll-stages")).toInt(&readable);
             if (readable && stages > 0) {
                 m_stageCount->store(static_cast<std::uint32_t>(stages));
             }
             StartScanning();
         });
}

void FprintdEnrollment::StartScanning() {
    Send(EnrollStage::kStarting, QStringLiteral("EnrollStart"),
         {FprintdReaderHold::FingerName(m_finger)}, [this](const QDBusMessage&) {
             m_stage = EnrollStage::kScanning;
             ArmDeadline();
         });
}

void FprintdEnrollment::OnEnrollStatus(const QString& daemon, const QString& path,
                                       const QString& result, bool done) {
    if (!m_hold.Is(daemon, path)) {
        return;  // another reader, or another instance of fprintd
    }
    const EnrollResultOutcome outcome = EnrollResultStatus(result.toStdString(), done);
    const CaptureResult captured{outcome.captureStatus, outcome.rejectDetail};
    if (m_stage == EnrollStage::kStopping) {
        // Only a completion that came before our stop reached fprintd counts: the print is
        // stored, so the user is told it was. The stop's own enroll-failed changes nothing.
        if (outcome.ends) {
            m_captures->Finish(captured, outcome.commitStatus);
        }
        return;
    }
    const bool enrolling = m_stage == EnrollStage::kStarting || m_stage == EnrollStage::kScanning;
    if (!enrolling || m_captures->Outcome() != EnrollOutcome::kOpen) {
        return;  // another client's enrollment, or after our own end
    }
    if (outcome.ends) {
        End(captured, outcome.commitStatus, Holding::kEnrollment);
        return;
    }
    m_captures->Add(captured);
    if (!m_captures->Waiting()) {
        m_deadline->stop();
    }
}

void FprintdEnrollment::End(CaptureResult result, StatusCode commitStatus, Holding held) {
    if (m_captures->Outcome() != EnrollOutcome::kOpen) {
        return;
    }
    m_deadline->stop();
    m_captures->Finish(result, commitStatus);
    WindDown(held);
}

void FprintdEnrollment::WindDown(Holding held) {
    switch (held) {
        case Holding::kEnrollment:
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

void FprintdEnrollment::Stop() {
    m_deadline->stop();
    m_stage = EnrollStage::kStopping;
    // A wedged fprintd: after the wait, the release's own wait closes the connection.
    m_hold.Stop(QStringLiteral("EnrollStop"), [self = shared_from_this()] {
        if (self->m_stage == EnrollStage::kStopping) {
            self->Release();
        }
    });
}

void FprintdEnrollment::Release() {
    m_captures->ResolveCancellation();
    m_stage = EnrollStage::kReleasing;
    m_hold.Release([self = shared_from_this()] {
        if (self->m_stage == EnrollStage::kReleasing) {
            self->Finish();
        }
    });
}

void FprintdEnrollment::Finish() {
    m_deadline->stop();
    m_captures->ResolveCancellation();
    m_stage = EnrollStage::kReleased;
    m_hold.GiveBack();
}

void FprintdEnrollment::Cancel() {
    if (m_captures->Outcome() != EnrollOutcome::kOpen) {
        m_captures->Cancel(false);  // already winding down
        return;
    }
    m_deadline->stop();
    // Only a running enrollment can complete before the stop takes effect.
    m_captures->Cancel(m_stage == EnrollStage::kScanning);
    switch (m_stage) {
        case EnrollStage::kScanning:
            Stop();
            break;
        case EnrollStage::kWaitingForReader:
            Finish();
            break;
        case EnrollStage::kAuthorizing:
            m_hold.CancelAuthorization();  // the check then answers, not granted
            break;
        case EnrollStage::kCheckingFinger:
        case EnrollStage::kStarting:
            // These may wait for fprintd's own prompt, which a Release does not close but makes
            // fail: the reader is free at once.
            Release();
            break;
        default:
            break;  // the reply in flight winds the enrollment down
    }
}

void FprintdEnrollment::OnDaemonGone(const QString& daemon) {
    if (Released() || !m_hold.Lost(daemon)) {
        return;
    }
    m_captures->Finish({kSensorUnavailable, 0}, kInvalidOperation);
    Finish();  // the claim went with the daemon
}

void FprintdEnrollment::TearDown() {
    m_deadline->stop();
    m_captures->HandOutNow();  // now: after this the back end's event loop is gone
    m_stage = EnrollStage::kReleased;
    m_hold.Forget();
}

StatusCode FprintdEnrollment::RequestCapture(EnrollCaptureCallback callback, void* context) {
    const StatusCode status = m_captures->Request([callback, context](const CaptureResult& result) {
        callback(context, result.status, result.rejectDetail);
    });
    ArmDeadline();
    return status;
}

StatusCode FprintdEnrollment::Commit() const {
    return m_captures->Commit();
}

void FprintdEnrollment::ArmDeadline() {
    // Counted while the reader scans; a password prompt before that has no deadline.
    if (m_stage == EnrollStage::kScanning && m_captures->Waiting() &&
        m_captures->Outcome() == EnrollOutcome::kOpen) {
        m_deadline->start(m_links.timeouts.capture);
    }
}
