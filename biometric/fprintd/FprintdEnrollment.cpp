// One enrollment on fprintd, from EnrollBegin until the reader is released again.
#include "FprintdEnrollment.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QMetaObject>
#include <QTimer>
#include <QVariantMap>

#include "FprintdAuthorization.h"
#include "FprintdBus.h"
#include "FprintdMapping.h"
#include "FprintdReaders.h"
#include "FprintdTimeouts.h"

namespace {

const QString kDeviceInterface = QStringLiteral("net.reactivated.Fprint.Device");
const QString kPropertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");

QString FingerText(SubFactor finger) {
    const std::string_view name = FingerName(finger).value_or(std::string_view());
    return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
}

}  // namespace

FprintdEnrollment::FprintdEnrollment(FprintdLinks links, SessionHandle session, SubFactor finger,
                                     UnitId unit, QString user,
                                     std::shared_ptr<std::atomic<std::uint32_t>> stageCount,
                                     std::function<void()> readerFree)
    : m_links(links),
      m_session(session),
      m_finger(finger),
      m_unit(unit),
      m_user(std::move(user)),
      m_stageCount(std::move(stageCount)),
      m_readerFree(std::move(readerFree)),
      m_deadline(new QTimer),
      m_stopWait(new QTimer) {
    m_stageCount->store(0);
    m_deadline->setSingleShot(true);
    m_stopWait->setSingleShot(true);
}

FprintdEnrollment::~FprintdEnrollment() {
    delete m_deadline;
    delete m_stopWait;
}

void FprintdEnrollment::Start() {
    const auto self = shared_from_this();
    QObject::connect(m_deadline, &QTimer::timeout, m_deadline, [this] {
        if (m_stage == EnrollStage::kScanning && m_capture && m_results.empty()) {
            End({kCaptureTimedOut, 0}, kInvalidOperation, Holding::kEnrollment);
        }
    });
    QObject::connect(m_stopWait, &QTimer::timeout, m_stopWait, [this] {
        if (m_stage == EnrollStage::kStopping) {
            Release();  // a wedged fprintd: the release's own wait closes the connection
        }
    });
    m_stage = EnrollStage::kFindingReader;
    m_links.readers.Find(m_unit, [self](const ReaderFound& found) {
        if (!self->Continue(EnrollStage::kFindingReader, found.status)) {
            return;
        }
        self->m_daemon = found.daemon;
        self->m_path = found.path;
        self->Authorize();
    });
}

bool FprintdEnrollment::Continue(EnrollStage sentAt, StatusCode error) {
    if (m_stage != sentAt) {
        return false;  // the enrollment moved on (stopped, released, torn down) meanwhile
    }
    const Holding held = HeldAfter(sentAt, error == kOk);
    if (m_outcome != EnrollOutcome::kOpen) {
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
        case EnrollStage::kStopping:
            return Holding::kClaim;
        case EnrollStage::kStarting:
            return succeeded ? Holding::kEnrollment : Holding::kClaim;
        default:
            return Holding::kNothing;
    }
}

void FprintdEnrollment::Send(EnrollStage stage, const QString& method,
                             const QVariantList& arguments, bool mayPrompt,
                             std::function<void(const QDBusMessage&)> then) {
    m_stage = stage;
    const QString interface =
        stage == EnrollStage::kReadingStages ? kPropertiesInterface : kDeviceInterface;
    m_links.bus.Call(
        {m_daemon, m_path, interface}, method, arguments,
        mayPrompt ? Prompt::kAllowed : Prompt::kNever,
        [self = shared_from_this(), stage, then = std::move(then)](const QDBusMessage& reply) {
            StatusCode error = FprintdBus::IsError(reply)
                                   ? StatusFromErrorName(FprintdBus::ErrorName(reply).toStdString())
                                   : kOk;
            if (stage == EnrollStage::kCheckingFinger && error == kDatabaseNoResults) {
                error = kOk;  // no prints at all: nothing to overwrite
            }
            if (self->Continue(stage, error)) {
                then(reply);
            }
        });
}

void FprintdEnrollment::Authorize() {
    m_stage = EnrollStage::kAuthorizing;
    m_checkId = m_links.authorization.Check([self = shared_from_this()](StatusCode status) {
        if (self->Continue(EnrollStage::kAuthorizing, status)) {
            self->Claim();
        }
    });
}

void FprintdEnrollment::Claim() {
    m_links.bus.WatchReader(m_daemon, m_path);  // before anything can be sent
    Send(EnrollStage::kClaiming, QStringLiteral("Claim"), {m_user}, true,
         [this](const QDBusMessage&) { CheckFinger(); });
}

void FprintdEnrollment::CheckFinger() {
    // fprintd's EnrollStart would delete a print stored meanwhile by another program.
    Send(EnrollStage::kCheckingFinger, QStringLiteral("ListEnrolledFingers"), {m_user}, true,
         [this](const QDBusMessage& reply) {
             if (reply.arguments().value(0).toStringList().contains(FingerText(m_finger))) {
                 End({kDuplicateTemplate, 0}, kInvalidOperation, Holding::kClaim);
                 return;
             }
             ReadStages();
         });
}

void FprintdEnrollment::ReadStages() {
    Send(EnrollStage::kReadingStages, QStringLiteral("GetAll"), {kDeviceInterface}, false,
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
    Send(EnrollStage::kStarting, QStringLiteral("EnrollStart"), {FingerText(m_finger)}, true,
         [this](const QDBusMessage&) {
             m_stage = EnrollStage::kScanning;
             ArmDeadline();
         });
}

void FprintdEnrollment::OnEnrollStatus(const QString& daemon, const QString& path,
                                       const QString& result, bool done) {
    if (daemon != m_daemon || path != m_path) {
        return;  // another reader, or another instance of fprintd
    }
    const EnrollResultOutcome outcome = EnrollResultStatus(result.toStdString(), done);
    const CaptureResult captured{outcome.captureStatus, outcome.rejectDetail};
    if (m_stage == EnrollStage::kStopping && m_outcome == EnrollOutcome::kCancelling) {
        // fprintd completed before our stop reached it: the print is stored, so the user sees
        // it was (the stop's own enroll-failed comes after, and changes nothing).
        if (outcome.ends && outcome.commitStatus == kOk) {
            m_finalCapture = captured.status;
            m_commitStatus = outcome.commitStatus;
            Queue(captured);
            m_outcome = EnrollOutcome::kFinalQueued;
            Deliver();
        }
        return;
    }
    const bool enrolling = m_stage == EnrollStage::kStarting || m_stage == EnrollStage::kScanning;
    if (!enrolling || m_outcome != EnrollOutcome::kOpen) {
        return;  // another client's enrollment, or after our own end
    }
    if (outcome.ends) {
        // Results still queued before an ending one are dropped: the enrollment is over, and
        // its end must reach the window at once, not behind every stage a burst brought. The
        // bar's range comes from num-enroll-stages, and the workflow fills it on success.
        m_results.clear();
        End(captured, outcome.commitStatus, Holding::kEnrollment);
        return;
    }
    Queue(captured);
    Deliver();
}

void FprintdEnrollment::End(CaptureResult result, StatusCode commitStatus, Holding held) {
    if (m_outcome != EnrollOutcome::kOpen) {
        return;
    }
    m_deadline->stop();
    m_finalCapture = result.status;
    m_commitStatus = commitStatus;
    Queue(result);
    m_outcome = EnrollOutcome::kFinalQueued;
    Deliver();
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
    m_stopWait->start(m_links.timeouts.releaseWait);
    // Its error (nothing running any more) changes nothing: the release follows either way.
    Send(EnrollStage::kStopping, QStringLiteral("EnrollStop"), {}, false,
         [](const QDBusMessage&) {});
}

void FprintdEnrollment::Release() {
    m_stopWait->stop();
    ResolveCancellation();
    m_stage = EnrollStage::kReleasing;
    m_links.bus.Release(m_daemon, m_path, m_links.timeouts.releaseWait,
                        [self = shared_from_this()] {
                            if (self->m_stage == EnrollStage::kReleasing) {
                                self->Finish();
                            }
                        });
}

void FprintdEnrollment::Finish() {
    const bool heldReader = m_stage != EnrollStage::kWaitingForReader;
    m_deadline->stop();
    m_stopWait->stop();
    ResolveCancellation();
    m_stage = EnrollStage::kReleased;
    if (heldReader && m_readerFree) {
        auto readerFree = std::move(m_readerFree);
        m_readerFree = nullptr;
        readerFree();
    }
}

void FprintdEnrollment::Cancel() {
    if (m_outcome == EnrollOutcome::kCancelling || m_outcome == EnrollOutcome::kFinalDelivered) {
        return;
    }
    if (m_outcome == EnrollOutcome::kFinalQueued) {
        if (m_finalCapture == kOk) {
            return;  // fprintd stored the print: its completion is handed out all the same
        }
        m_results.clear();  // a failure nobody has seen yet: the user's cancel wins
        m_outcome = EnrollOutcome::kCancelling;
        ResolveCancellation();
        return;
    }
    m_deadline->stop();
    m_results.clear();
    m_outcome = EnrollOutcome::kCancelling;
    switch (m_stage) {
        case EnrollStage::kScanning:
            Stop();  // a completion may still come before the stop's answer
            return;
        case EnrollStage::kWaitingForReader:
            Finish();
            return;
        case EnrollStage::kAuthorizing:
            m_links.authorization.Cancel(m_checkId);  // the check then answers, not granted
            break;
        case EnrollStage::kCheckingFinger:
        case EnrollStage::kStarting:
            // These may wait for fprintd's own prompt, which a Release does not close but makes
            // fail: the reader is free at once.
            Release();
            return;
        default:
            break;  // the reply in flight winds the enrollment down
    }
    ResolveCancellation();
}

void FprintdEnrollment::ResolveCancellation() {
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

void FprintdEnrollment::OnDaemonGone(const QString& daemon) {
    const bool reached = m_stage != EnrollStage::kWaitingForReader &&
                         m_stage != EnrollStage::kFindingReader &&
                         m_stage != EnrollStage::kReleased;
    if (daemon != m_daemon || !reached) {
        return;
    }
    if (m_stage == EnrollStage::kAuthorizing) {
        m_links.authorization.Cancel(m_checkId);
    }
    if (m_outcome == EnrollOutcome::kOpen) {
        m_results.clear();
        m_finalCapture = kSensorUnavailable;
        Queue({kSensorUnavailable, 0});
        m_outcome = EnrollOutcome::kFinalQueued;
        Deliver();
    }
    Finish();  // the claim went with the daemon
}

void FprintdEnrollment::TearDown() {
    m_deadline->stop();
    m_stopWait->stop();
    if (m_outcome == EnrollOutcome::kOpen) {
        m_outcome = EnrollOutcome::kCancelling;
    }
    ResolveCancellation();
    Deliver();  // now: after this the back end's event loop is gone
    m_stage = EnrollStage::kReleased;
    m_readerFree = nullptr;
}

StatusCode FprintdEnrollment::RequestCapture(EnrollCaptureCallback callback, void* context) {
    if (m_capture) {
        return kDataCollectionInProgress;
    }
    if (m_outcome == EnrollOutcome::kFinalDelivered) {
        return kInvalidOperation;  // its last result was handed out already
    }
    m_capture = PendingCapture{callback, context};
    if (!m_results.empty()) {
        DeliverLater();
    } else {
        ArmDeadline();
    }
    return kOk;
}

StatusCode FprintdEnrollment::Commit() const {
    if (m_capture) {
        return kDataCollectionInProgress;
    }
    if (m_outcome != EnrollOutcome::kFinalDelivered || m_finalCapture != kOk) {
        return kInvalidOperation;
    }
    // fprintd stored the print (or refused it) when it finished; the commit only reports that.
    return m_commitStatus;
}

void FprintdEnrollment::Queue(CaptureResult result) {
    m_results.push_back(result);
}

void FprintdEnrollment::DeliverLater() {
    // Never from within the request: the callback comes from the event loop, as all others do.
    QMetaObject::invokeMethod(
        m_deadline, [self = shared_from_this()] { self->Deliver(); }, Qt::QueuedConnection);
}

void FprintdEnrollment::Deliver() {
    if (!m_capture || m_results.empty()) {
        return;
    }
    const PendingCapture capture = *m_capture;
    const CaptureResult result = m_results.front();
    m_results.pop_front();
    m_capture.reset();
    if (m_results.empty() && m_outcome == EnrollOutcome::kFinalQueued) {
        m_outcome = EnrollOutcome::kFinalDelivered;
    }
    m_deadline->stop();
    capture.callback(capture.context, result.status, result.rejectDetail);
}

void FprintdEnrollment::ArmDeadline() {
    // Counted while the reader scans; a password prompt before that has no deadline.
    if (m_stage == EnrollStage::kScanning && m_capture && m_results.empty() &&
        m_outcome == EnrollOutcome::kOpen) {
        m_deadline->start(m_links.timeouts.capture);
    }
}
