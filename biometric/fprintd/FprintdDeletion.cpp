// One deletion of a stored finger on fprintd, from its turn at the reader until the release.
#include "FprintdDeletion.h"

#include <QDBusMessage>

#include "FprintdAuthorization.h"
#include "FprintdBus.h"
#include "FprintdMapping.h"
#include "FprintdReaders.h"
#include "FprintdTimeouts.h"

namespace {

const QString kDeviceInterface = QStringLiteral("net.reactivated.Fprint.Device");

StatusCode ErrorStatus(const QDBusMessage& reply, FprintdCall call) {
    return FprintdBus::IsError(reply)
               ? StatusFromErrorName(FprintdBus::ErrorName(reply).toStdString(), call)
               : kOk;
}

}  // namespace

FprintdDeletion::FprintdDeletion(FprintdLinks links, SessionHandle session, UnitId unit,
                                 QString user, QString finger,
                                 std::function<void(StatusCode)> answer,
                                 std::function<void()> readerFree)
    : m_links(links),
      m_session(session),
      m_unit(unit),
      m_user(std::move(user)),
      m_finger(std::move(finger)),
      m_answer(std::move(answer)),
      m_readerFree(std::move(readerFree)) {}

bool FprintdDeletion::Continue(DeleteStage sentAt, StatusCode error) {
    if (m_stage != sentAt) {
        return false;  // moved on (released, torn down) meanwhile
    }
    if (!m_answer && m_status == kCanceled) {
        // Cancelled: a claim that came anyway is given back at once.
        End(kCanceled, sentAt == DeleteStage::kClaiming && error == kOk);
        return false;
    }
    if (error != kOk) {
        End(error, sentAt == DeleteStage::kDeleting);
        return false;
    }
    return true;
}

void FprintdDeletion::Start() {
    m_links.bus.WatchDaemon();  // before the reader is looked up: its daemon's end must be seen
    m_stage = DeleteStage::kFindingReader;
    m_links.readers.Find(m_unit, [self = shared_from_this()](const ReaderFound& found) {
        if (!self->Continue(DeleteStage::kFindingReader, found.status)) {
            return;
        }
        self->m_daemon = found.daemon;
        self->m_path = found.path;
        self->Authorize();
    });
}

void FprintdDeletion::Authorize() {
    m_stage = DeleteStage::kAuthorizing;
    m_checkId = m_links.authorization.Check(
        FprintdAction::kEnroll, [self = shared_from_this()](StatusCode status) {
            if (self->Continue(DeleteStage::kAuthorizing, status)) {
                self->Claim();
            }
        });
}

void FprintdDeletion::Claim() {
    m_stage = DeleteStage::kClaiming;
    m_links.bus.Call(
        {m_daemon, m_path, kDeviceInterface}, QStringLiteral("Claim"), {m_user}, Prompt::kAllowed,
        [self = shared_from_this()](const QDBusMessage& reply) {
            if (self->Continue(DeleteStage::kClaiming, ErrorStatus(reply, FprintdCall::kOther))) {
                self->Delete();
            }
        });
}

void FprintdDeletion::Delete() {
    m_stage = DeleteStage::kDeleting;
    m_links.bus.Call(
        {m_daemon, m_path, kDeviceInterface}, QStringLiteral("DeleteEnrolledFinger"), {m_finger},
        Prompt::kAllowed, [self = shared_from_this()](const QDBusMessage& reply) {
            if (self->Continue(DeleteStage::kDeleting, ErrorStatus(reply, FprintdCall::kDelete))) {
                self->End(kOk, true);
            }
        });
}

void FprintdDeletion::End(StatusCode status, bool claimed) {
    if (m_answer) {
        m_status = status;
    }
    if (claimed) {
        Release();
    } else {
        Finish();
    }
}

void FprintdDeletion::Release() {
    m_stage = DeleteStage::kReleasing;
    // The print is gone (or not) whatever the release answers.
    m_links.bus.Release(m_daemon, m_path, m_links.timeouts.releaseWait,
                        [self = shared_from_this()] {
                            if (self->m_stage == DeleteStage::kReleasing) {
                                self->Finish();
                            }
                        });
}

void FprintdDeletion::Finish() {
    const bool heldReader = m_stage != DeleteStage::kWaitingForReader;
    m_stage = DeleteStage::kReleased;
    Answer(m_status);
    if (heldReader && m_readerFree) {
        auto readerFree = std::move(m_readerFree);
        m_readerFree = nullptr;
        readerFree();
    }
}

void FprintdDeletion::Answer(StatusCode status) {
    if (m_answer) {
        auto answer = std::move(m_answer);
        m_answer = nullptr;
        answer(status);
    }
}

void FprintdDeletion::Cancel() {
    if (!m_answer) {
        return;
    }
    m_status = kCanceled;
    Answer(kCanceled);
    switch (m_stage) {
        case DeleteStage::kWaitingForReader:
            Finish();
            break;
        case DeleteStage::kAuthorizing:
            m_links.authorization.Cancel(m_checkId);  // the check then answers, not granted
            break;
        case DeleteStage::kDeleting:
            // fprintd's own prompt may hold the deletion: a Release makes it fail instead of
            // leaving the reader claimed until somebody answers.
            Release();
            break;
        default:
            break;  // the reply in flight winds the deletion down
    }
}

void FprintdDeletion::OnDaemonGone(const QString& daemon) {
    const bool reached = m_stage != DeleteStage::kWaitingForReader &&
                         m_stage != DeleteStage::kFindingReader &&
                         m_stage != DeleteStage::kReleased;
    if (daemon != m_daemon || !reached) {
        return;
    }
    if (m_stage == DeleteStage::kAuthorizing) {
        m_links.authorization.Cancel(m_checkId);
    }
    if (m_answer) {
        m_status = kSensorUnavailable;
    }
    Finish();  // the claim went with the daemon
}

void FprintdDeletion::TearDown() {
    m_stage = DeleteStage::kReleased;
    m_readerFree = nullptr;
    Answer(kCanceled);
}
