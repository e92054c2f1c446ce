// The back end's own thread: sessions, the queue for the reader, and the operations on it.
#include "FprintdWorker.h"

#include <unistd.h>

#include <QDBusMessage>
#include <QMetaObject>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <string>

#include "FprintdAuthorization.h"
#include "FprintdBus.h"
#include "FprintdDeletion.h"
#include "FprintdEnrollment.h"
#include "FprintdMapping.h"
#include "FprintdReaderHold.h"
#include "FprintdReaderQueue.h"
#include "FprintdReaders.h"
#include "FprintdUser.h"
#include "FprintdVerifications.h"

namespace {

std::vector<SubFactor> FingersFromNames(const QStringList& names) {
    std::vector<std::string> plainNames;
    plainNames.reserve(static_cast<std::size_t>(names.size()));
    for (const QString& name : names) {
        plainNames.push_back(name.toStdString());
    }
    const ListedFingers listed = EnrolledFingersFromNames(plainNames);
    // Names of a newer fprintd that are none of the ten fingers are left out, and said so.
    std::fputs(UnknownFingerNamesNote(listed.unknownNames).c_str(), stderr);
    return listed.fingers;
}

template <typename T>
void EraseReleased(std::vector<std::shared_ptr<T>>& operations) {
    operations.erase(std::remove_if(operations.begin(), operations.end(),
                                    [](const auto& operation) { return operation->Released(); }),
                     operations.end());
}

}  // namespace

FprintdWorker::FprintdWorker(FprintdTimeouts timeouts,
                             std::shared_ptr<std::atomic<std::uint32_t>> stageCount)
    : m_timeouts(timeouts),
      m_stageCount(std::move(stageCount)),
      m_bus(std::make_unique<FprintdBus>(
          timeouts.reply, timeouts.longestSleep,
          [this](const QString& daemon, const QString& path, const QString& result, bool done) {
              OnEnrollStatus(daemon, path, result, done);
          },
          [this](const QString& daemon, const QString& path, const QString& result, bool done) {
              m_verifications->OnVerifyStatus(daemon, path, result, done);
          },
          [this](const QString& daemon) { OnDaemonGone(daemon); })),
      m_readers(std::make_unique<FprintdReaders>(*m_bus)),
      m_authorization(std::make_unique<FprintdAuthorization>(*m_bus)),
      m_readerQueue(this),
      m_verifications(std::make_unique<FprintdVerifications>(Links(), m_readerQueue,
                                                             [this] { ReaderFree(); })) {
    m_bus->setParent(this);  // follows the worker to its thread
}

FprintdWorker::~FprintdWorker() {
    Teardown();
    m_bus->setParent(nullptr);
}

void FprintdWorker::Teardown() {
    m_current.reset();
    const auto enrollments = std::move(m_enrollments);
    const auto deletions = std::move(m_deletions);
    m_enrollments.clear();
    m_deletions.clear();
    m_readerQueue.Clear();
    m_verifications->TearDown();
    for (const auto& enrollment : enrollments) {
        enrollment->TearDown();
    }
    for (const auto& deletion : deletions) {
        deletion->TearDown();
    }
    m_bus->Drop(false);
}

bool FprintdWorker::HasSession(SessionHandle session) const {
    return m_sessions.count(session) != 0;
}

FprintdLinks FprintdWorker::Links() {
    return FprintdLinks{*m_bus, *m_readers, *m_authorization, m_timeouts, *this};
}

std::shared_ptr<FprintdEnrollment> FprintdWorker::Current(SessionHandle session) const {
    return m_current && m_current->Session() == session ? m_current : nullptr;
}

void FprintdWorker::ReaderFree() {
    Forget();
    m_readerQueue.Free();
}

void FprintdWorker::Forget() {
    EraseReleased(m_enrollments);
    EraseReleased(m_deletions);
    m_verifications->Forget();
}

void FprintdWorker::OnEnrollStatus(const QString& daemon, const QString& path,
                                   const QString& result, bool done) {
    // A stopping enrollment, no longer the open one, may still learn of its completion; each
    // one knows whether the result is its own.
    for (const auto& enrollment : std::vector(m_enrollments)) {
        enrollment->OnEnrollStatus(daemon, path, result, done);
    }
}

void FprintdWorker::OnDaemonGone(const QString& daemon) {
    for (const auto& enrollment : std::vector(m_enrollments)) {
        enrollment->OnDaemonGone(daemon);
    }
    for (const auto& deletion : std::vector(m_deletions)) {
        deletion->OnDaemonGone(daemon);
    }
    m_verifications->OnDaemonGone(daemon);
}

void FprintdWorker::FetchEarly(UnitId unit, PhaseHook phase) {
    auto trace = [phase](const char* name) {
        if (phase != nullptr) {
            phase(name);
        }
    };
    trace("fprintd-start");
    // Calls connect on their own; connected here first, so the breakdown shows what it costs.
    m_bus->Connect();
    trace("fprintd-bus");
    // All three go out at once; the replies come in the order the window asks for them.
    m_early.ArmSession();
    m_readers->Reach([this](StatusCode status) { m_early.FillSession(status); });
    m_early.ArmUnits();
    m_readers->Describe([this, trace](UnitsAnswer units) {
        trace("fprintd-readers");
        m_early.FillUnits(std::move(units));
    });
    std::string user;
    if (unit == 0 || UserNameForUid(static_cast<std::uint32_t>(getuid()), &user) != kOk) {
        return;  // start-up will not ask, or will fail before it asks
    }
    const QString userName = QString::fromStdString(user);
    m_early.ArmFingers(unit, userName);
    ListFingers(unit, userName, [this, trace](FingersAnswer fingers) {
        trace("fprintd-fingers");
        m_early.FillFingers(std::move(fingers));
    });
}

void FprintdWorker::OpenSession(Answer<SessionAnswer> answer) {
    // Reaching fprintd, not just the bus, opens the session (and starts fprintd if it sleeps).
    Answer<StatusCode> reached = [this, answer = std::move(answer)](StatusCode status) {
        if (status != kOk) {
            answer({status, 0});
            return;
        }
        SessionHandle handle = m_nextSession++;
        if (handle == 0) {
            handle = m_nextSession++;
        }
        m_sessions.emplace(handle, 0);
        answer({kOk, handle});
    };
    if (!m_early.TakeSession(reached)) {
        m_readers->Reach(std::move(reached));
    }
}

StatusCode FprintdWorker::CloseSession(SessionHandle session) {
    m_early.Drop();
    if (!HasSession(session)) {
        return kInvalidArgument;
    }
    Cancel(session);
    if (Current(session)) {
        m_current.reset();
    }
    m_sessions.erase(session);
    return kOk;
}

StatusCode FprintdWorker::Cancel(SessionHandle session) {
    if (!HasSession(session)) {
        return kInvalidArgument;
    }
    if (const auto enrollment = Current(session)) {
        enrollment->Cancel();
    }
    for (const auto& deletion : std::vector(m_deletions)) {
        if (deletion->Session() == session) {
            deletion->Cancel();
        }
    }
    m_verifications->Cancel(session);
    return kOk;
}

void FprintdWorker::EnumUnits(Answer<UnitsAnswer> answer) {
    if (!m_early.TakeUnits(answer)) {
        m_readers->Describe(std::move(answer));
    }
}

void FprintdWorker::LocateSensor(SessionHandle session, Answer<UnitAnswer> answer) {
    m_early.Drop();
    if (!HasSession(session)) {
        answer({kInvalidArgument, 0});
        return;
    }
    m_readers->Locate([this, session, answer = std::move(answer)](const UnitAnswer& located) {
        if (located.status == kOk && HasSession(session)) {
            m_sessions[session] = located.unit;  // what the session's verifications use
        }
        answer(located);
    });
}

void FprintdWorker::EnumEnrollments(SessionHandle session, UnitId unit,
                                    const WINBIO_IDENTITY& identity, Answer<FingersAnswer> answer) {
    if (!HasSession(session)) {
        answer({kInvalidArgument, {}});
        return;
    }
    std::string user;
    const StatusCode identified =
        UserNameForIdentity(identity, static_cast<std::uint32_t>(getuid()), &user);
    if (identified != kOk) {
        answer({identified, {}});
        return;
    }
    const QString userName = QString::fromStdString(user);
    if (!m_early.TakeFingers(unit, userName, answer)) {
        ListFingers(unit, userName, std::move(answer));
    }
}

void FprintdWorker::ListFingers(UnitId unit, const QString& user, Answer<FingersAnswer> answer) {
    m_readers->Find(unit, [this, user, answer = std::move(answer)](const ReaderFound& found) {
        if (found.status != kOk) {
            answer({found.status, {}});
            return;
        }
        // A stricter policy may ask for a password here: allowed, and without a timeout.
        m_readers->ListFingers(found, user, [answer](StatusCode status, const QStringList& names) {
            answer({status, FingersFromNames(names)});
        });
    });
}

StatusCode FprintdWorker::EnrollBegin(SessionHandle session, SubFactor finger, UnitId unit) {
    m_early.Drop();
    if (!HasSession(session) || !FprintdFingerName(finger)) {
        return kInvalidArgument;
    }
    if (unit == 0) {
        return kInvalidUnit;
    }
    if (m_current && m_current->Outcome() != EnrollOutcome::kFinalDelivered) {
        return kEnrollmentInProgress;
    }
    // One over already (its result was handed out) but never discarded: nothing to keep.
    m_current.reset();
    std::string user;
    const StatusCode identified = UserNameForUid(static_cast<std::uint32_t>(getuid()), &user);
    if (identified != kOk) {
        return identified;
    }
    auto enrollment = std::make_shared<FprintdEnrollment>(Links(), session, finger, unit,
                                                          QString::fromStdString(user),
                                                          m_stageCount, [this] { ReaderFree(); });
    m_current = enrollment;
    m_enrollments.push_back(enrollment);
    m_readerQueue.Acquire([this, enrollment] {
        if (enrollment->Stage() == EnrollStage::kReleased) {
            ReaderFree();  // ended while it waited for its turn
            return;
        }
        enrollment->Start();
    });
    return kOk;
}

StatusCode FprintdWorker::EnrollCapture(SessionHandle session, EnrollCaptureCallback callback,
                                        void* context) {
    if (!HasSession(session) || callback == nullptr) {
        return kInvalidArgument;
    }
    const auto enrollment = Current(session);
    return enrollment ? enrollment->RequestCapture(callback, context) : kInvalidOperation;
}

StatusCode FprintdWorker::EnrollCommit(SessionHandle session) {
    if (!HasSession(session)) {
        return kInvalidArgument;
    }
    const auto enrollment = Current(session);
    if (!enrollment) {
        return kInvalidOperation;
    }
    const StatusCode status = enrollment->Commit();
    if (status != kInvalidOperation && status != kDataCollectionInProgress) {
        m_current.reset();  // its release goes on in the background
    }
    return status;
}

StatusCode FprintdWorker::EnrollDiscard(SessionHandle session) {
    if (!HasSession(session)) {
        return kInvalidArgument;
    }
    const auto enrollment = Current(session);
    if (!enrollment) {
        return kInvalidOperation;
    }
    // Never deletes anything: a print fprintd stored stays stored.
    enrollment->Cancel();
    m_current.reset();
    return kOk;
}

void FprintdWorker::DeleteTemplate(SessionHandle session, UnitId unit,
                                   const WINBIO_IDENTITY& identity, SubFactor finger,
                                   Answer<StatusCode> answer) {
    m_early.Drop();
    if (!HasSession(session) || !FprintdFingerName(finger)) {
        answer(kInvalidArgument);
        return;
    }
    std::string user;
    const StatusCode identified =
        UserNameForIdentity(identity, static_cast<std::uint32_t>(getuid()), &user);
    if (identified != kOk) {
        answer(identified);
        return;
    }
    auto deletion = std::make_shared<FprintdDeletion>(
        Links(), session, unit, QString::fromStdString(user), FprintdReaderHold::FingerName(finger),
        std::move(answer), [this] { ReaderFree(); });
    m_deletions.push_back(deletion);
    m_readerQueue.Acquire([this, deletion] {
        if (deletion->Stage() == DeleteStage::kReleased) {
            ReaderFree();  // cancelled while it waited for its turn
            return;
        }
        deletion->Start();
    });
}

StatusCode FprintdWorker::VerifyWithCallback(SessionHandle session, const WINBIO_IDENTITY& identity,
                                             SubFactor finger, VerifyCallback callback,
                                             void* context) {
    if (!HasSession(session) || callback == nullptr || !FprintdFingerName(finger)) {
        return kInvalidArgument;
    }
    if (const auto enrollment = Current(session);
        enrollment && enrollment->Outcome() != EnrollOutcome::kFinalDelivered) {
        return kEnrollmentInProgress;
    }
    std::string user;
    const StatusCode identified =
        UserNameForIdentity(identity, static_cast<std::uint32_t>(getuid()), &user);
    if (identified != kOk) {
        return identified;
    }
    return m_verifications->Verify(session, m_sessions[session], QString::fromStdString(user),
                                   finger, callback, context);
}

void FprintdWorker::Shutdown(Answer<StatusCode> answer) {
    m_sessions.clear();
    m_current.reset();
    for (const auto& enrollment : std::vector(m_enrollments)) {
        enrollment->Cancel();
    }
    for (const auto& deletion : std::vector(m_deletions)) {
        deletion->Cancel();
    }
    m_verifications->CancelAll();
    auto once = std::make_shared<Answer<StatusCode>>(std::move(answer));
    auto* poll = new QTimer(this);
    const auto started = std::chrono::steady_clock::now();
    // Readers still claimed after the exit wait are released by the closing connection.
    QObject::connect(poll, &QTimer::timeout, this, [this, once, poll, started] {
        Forget();
        const bool idle = m_enrollments.empty() && m_deletions.empty() && m_verifications->Idle();
        if (idle || std::chrono::steady_clock::now() - started >= m_timeouts.exitWait) {
            poll->deleteLater();
            poll->stop();
            if (*once) {
                (*once)(kOk);
                *once = nullptr;
            }
        }
    });
    constexpr int kShutdownPollMs = 5;
    poll->start(kShutdownPollMs);
}
