// The back end's own thread: the D-Bus connection to fprintd, its proxies, signals and calls.
#include "FprintdWorker.h"

#include <unistd.h>

#include <QDBusArgument>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QMetaObject>
#include <QTimer>
#include <QVariantMap>
#include <algorithm>
#include <climits>

#include "FprintDeviceProxy.h"
#include "FprintManagerProxy.h"
#include "FprintdMapping.h"
#include "FprintdUser.h"

namespace {

const QString kService = QStringLiteral("net.reactivated.Fprint");
const QString kManagerPath = QStringLiteral("/net/reactivated/Fprint/Manager");
const QString kDeviceInterface = QStringLiteral("net.reactivated.Fprint.Device");
const QString kPropertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");

// Calls that cannot prompt answer in milliseconds; one that takes this long will not answer.
constexpr int kPlainCallTimeoutMs = 10000;
// A call that may wait for a password prompt: libdbus takes INT_MAX as "no timeout".
constexpr int kNoReplyTimeout = INT_MAX;
// How long ending an enrollment waits for a claim still out before it answers anyway.
constexpr int kClaimPatienceMs = 500;
// Shutting down waits this long for the reader's release, then leaves it to the disconnection.
constexpr int kShutdownWaitMs = 3000;

// WINBIO_SENSOR_SUBTYPE values for the two ways fprintd's readers scan.
constexpr std::uint32_t kSensorSubtypeSwipe = 1;
constexpr std::uint32_t kSensorSubtypeTouch = 2;

QString UniqueConnectionName() {
    static std::atomic<unsigned> counter{0};
    return QStringLiteral("varne-fprintd-%1-%2").arg(getpid()).arg(counter.fetch_add(1));
}

QString FingerText(SubFactor finger) {
    const std::string_view name = FingerName(finger).value_or(std::string_view());
    return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
}

StatusCode ErrorStatus(const QDBusMessage& reply, FprintdCall call = FprintdCall::kOther) {
    return StatusFromErrorName(reply.errorName().toStdString(), call);
}

bool IsError(const QDBusMessage& reply) {
    return reply.type() != QDBusMessage::ReplyMessage;
}

QVariantMap PropertiesFrom(const QDBusMessage& reply) {
    if (IsError(reply) || reply.arguments().isEmpty()) {
        return {};
    }
    QVariantMap properties;
    reply.arguments().constFirst().value<QDBusArgument>() >> properties;
    return properties;
}

WINBIO_UNIT_SCHEMA UnitSchema(UnitId unit, const QVariantMap& properties) {
    WINBIO_UNIT_SCHEMA schema;
    schema.UnitId = unit;
    schema.PoolType = kPoolSystem;
    schema.BiometricFactor = kFactorFingerprint;
    const QString scanType = properties.value(QStringLiteral("scan-type")).toString();
    schema.SensorSubType =
        scanType == QStringLiteral("swipe") ? kSensorSubtypeSwipe : kSensorSubtypeTouch;
    const QString name = properties.value(QStringLiteral("name")).toString();
    const auto length = std::min<std::size_t>(name.size(), kUnitTextCapacity - 1);
    std::copy_n(reinterpret_cast<const char16_t*>(name.utf16()), length, schema.Description);
    schema.Description[length] = 0;
    return schema;
}

}  // namespace

// One enrollment, from EnrollBegin to the release of the reader. It outlives its place as the
// open enrollment until the reader is released, so late replies find it.
struct FprintdWorker::Run {
    std::uint64_t id = 0;
    SessionHandle session = 0;
    SubFactor finger = kNoFinger;
    UnitId unit = 0;
    QString user;
    QString path;
    std::uint64_t daemonLife = 0;  // of the daemon that holds its claim

    bool holdsReader = false;
    bool callInFlight = false;  // a call of its chain is out; the reply carries on
    bool claimInFlight = false;
    bool startInFlight = false;
    bool releaseInFlight = false;
    bool claimed = false;
    bool running = false;    // EnrollStart was accepted and not yet stopped
    bool finishing = false;  // stop and release asked for
    bool released = false;
    bool vanished = false;  // the daemon went away with its claim
    bool ended = false;     // its last result has been queued
    bool lastDeliveredOk = false;
    StatusCode commitStatus = kInvalidOperation;

    std::deque<CaptureResult> results;
    std::optional<PendingCapture> capture;
    std::vector<std::function<void()>> onReleased;
};

FprintdWorker::FprintdWorker(std::chrono::milliseconds captureTimeout,
                             std::shared_ptr<std::atomic<std::uint32_t>> stageCount)
    : m_captureTimeout(captureTimeout),
      m_stageCount(std::move(stageCount)),
      m_connectionName(UniqueConnectionName()),
      m_captureDeadline(new QTimer(this)) {
    m_captureDeadline->setSingleShot(true);
    connect(m_captureDeadline, &QTimer::timeout, this, &FprintdWorker::OnCaptureDeadline);
}

FprintdWorker::~FprintdWorker() {
    Teardown();
}

bool FprintdWorker::EnsureBus() {
    if (m_bus && m_bus->isConnected()) {
        return true;
    }
    Teardown();
    // Honours DBUS_SYSTEM_BUS_ADDRESS, so tests bring a bus of their own.
    m_bus = QDBusConnection::connectToBus(QDBusConnection::SystemBus, m_connectionName);
    if (!m_bus->isConnected()) {
        return false;
    }
    m_ownerWatcher =
        new QDBusServiceWatcher(kService, *m_bus, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(m_ownerWatcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            &FprintdWorker::OnOwnerChanged);
    return true;
}

void FprintdWorker::Teardown() {
    m_captureDeadline->stop();
    m_devices.clear();
    m_manager.reset();
    delete m_ownerWatcher;
    m_ownerWatcher = nullptr;
    if (m_bus) {
        m_bus.reset();
        QDBusConnection::disconnectFromBus(m_connectionName);
    }
}

bool FprintdWorker::HasSession(SessionHandle session) const {
    return m_sessions.count(session) != 0;
}

FprintManagerProxy& FprintdWorker::Manager() {
    if (!m_manager) {
        m_manager = std::make_unique<FprintManagerProxy>(kService, kManagerPath, *m_bus);
        m_manager->setTimeout(kPlainCallTimeoutMs);
    }
    return *m_manager;
}

FprintDeviceProxy& FprintdWorker::Device(const QString& path) {
    auto& device = m_devices[path];
    if (!device) {
        device = std::make_unique<FprintDeviceProxy>(kService, path, *m_bus);
        device->setTimeout(kPlainCallTimeoutMs);
        connect(
            device.get(), &FprintDeviceProxy::EnrollStatus, this,
            [this, path](const QString& result, bool done) { OnEnrollStatus(path, result, done); });
    }
    return *device;
}

void FprintdWorker::OnOwnerChanged(const QString& /*service*/, const QString& oldOwner,
                                   const QString& /*newOwner*/) {
    // Proxies follow one daemon; the next call makes new ones (and may start fprintd again).
    m_devices.clear();
    m_manager.reset();
    if (oldOwner.isEmpty()) {
        return;
    }
    ++m_daemonLife;
    const std::vector<RunPtr> runs = m_runs;
    for (const RunPtr& run : runs) {
        run->vanished = true;
        run->claimed = false;
        run->running = false;
        EndRun(run, {kSensorUnavailable, 0}, kInvalidOperation);
        CompleteRelease(run);
    }
}

void FprintdWorker::Call(const QDBusPendingCall& call, Reply reply) {
    auto* watcher = new QDBusPendingCallWatcher(call, this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [watcher, reply = std::move(reply)] {
        watcher->deleteLater();
        reply(watcher->reply());
    });
}

void FprintdWorker::CallAllowingPrompt(const QString& path, const QString& method,
                                       const QString& argument, Reply reply) {
    QDBusMessage message = QDBusMessage::createMethodCall(kService, path, kDeviceInterface, method);
    message << argument;
    message.setInteractiveAuthorizationAllowed(true);
    Call(m_bus->asyncCall(message, kNoReplyTimeout), std::move(reply));
}

void FprintdWorker::ResolveDevice(UnitId unit, std::function<void(StatusCode, QString)> then) {
    if (!EnsureBus()) {
        then(kSensorUnavailable, {});
        return;
    }
    Call(Manager().GetDevices(), [unit, then = std::move(then)](const QDBusMessage& reply) {
        if (IsError(reply)) {
            then(ErrorStatus(reply), {});
            return;
        }
        const auto devices = qdbus_cast<QList<QDBusObjectPath>>(reply.arguments().value(0));
        if (devices.isEmpty()) {
            then(kSensorUnavailable, {});
        } else if (unit < 1 || unit > static_cast<UnitId>(devices.size())) {
            then(kInvalidUnit, {});
        } else {
            then(kOk, devices.at(static_cast<qsizetype>(unit - 1)).path());
        }
    });
}

void FprintdWorker::OpenSession(Answer<SessionAnswer> answer) {
    if (!EnsureBus()) {
        answer({kSensorUnavailable, 0});
        return;
    }
    // Reaching fprintd, not just the bus, opens the session (and starts fprintd if it sleeps).
    Call(Manager().GetDevices(), [this, answer = std::move(answer)](const QDBusMessage& reply) {
        if (IsError(reply)) {
            answer({ErrorStatus(reply), 0});
            return;
        }
        SessionHandle handle = m_nextSession++;
        if (handle == 0) {
            handle = m_nextSession++;
        }
        m_sessions.insert(handle);
        answer({kOk, handle});
    });
}

StatusCode FprintdWorker::CloseSession(SessionHandle session) {
    if (!HasSession(session)) {
        return kInvalidArgument;
    }
    if (m_current && m_current->session == session) {
        CancelRun(m_current);
        m_current.reset();
    }
    m_sessions.erase(session);
    return kOk;
}

StatusCode FprintdWorker::Cancel(SessionHandle session) {
    if (!HasSession(session)) {
        return kInvalidArgument;
    }
    if (m_current && m_current->session == session) {
        CancelRun(m_current);
    }
    return kOk;
}

void FprintdWorker::EnumUnits(Answer<UnitsAnswer> answer) {
    if (!EnsureBus()) {
        answer({kSensorUnavailable, {}});
        return;
    }
    Call(Manager().GetDevices(), [this, answer = std::move(answer)](const QDBusMessage& reply) {
        if (IsError(reply)) {
            answer({ErrorStatus(reply), {}});
            return;
        }
        const auto devices = qdbus_cast<QList<QDBusObjectPath>>(reply.arguments().value(0));
        if (devices.isEmpty()) {
            answer({kSensorUnavailable, {}});
            return;
        }
        struct Collected {
            std::vector<WINBIO_UNIT_SCHEMA> units;
            std::size_t missing = 0;
        };
        auto collected = std::make_shared<Collected>();
        collected->units.resize(static_cast<std::size_t>(devices.size()));
        collected->missing = collected->units.size();
        for (qsizetype index = 0; index < devices.size(); ++index) {
            QDBusMessage get = QDBusMessage::createMethodCall(
                kService, devices.at(index).path(), kPropertiesInterface, QStringLiteral("GetAll"));
            get << kDeviceInterface;
            const auto unit = static_cast<UnitId>(index + 1);
            // A reader whose properties cannot be read is still listed, without a name.
            Call(m_bus->asyncCall(get, kPlainCallTimeoutMs),
                 [collected, unit, answer](const QDBusMessage& properties) {
                     collected->units[unit - 1] = UnitSchema(unit, PropertiesFrom(properties));
                     if (--collected->missing == 0) {
                         answer({kOk, collected->units});
                     }
                 });
        }
    });
}

void FprintdWorker::LocateSensor(SessionHandle session, Answer<UnitAnswer> answer) {
    if (!HasSession(session) || !EnsureBus()) {
        answer({HasSession(session) ? kSensorUnavailable : kInvalidArgument, 0});
        return;
    }
    Call(Manager().GetDefaultDevice(), [this, answer](const QDBusMessage& defaultReply) {
        if (IsError(defaultReply)) {
            answer({ErrorStatus(defaultReply), 0});
            return;
        }
        const QString path = qdbus_cast<QDBusObjectPath>(defaultReply.arguments().value(0)).path();
        Call(Manager().GetDevices(), [path, answer](const QDBusMessage& reply) {
            if (IsError(reply)) {
                answer({ErrorStatus(reply), 0});
                return;
            }
            const auto devices = qdbus_cast<QList<QDBusObjectPath>>(reply.arguments().value(0));
            for (qsizetype index = 0; index < devices.size(); ++index) {
                if (devices.at(index).path() == path) {
                    answer({kOk, static_cast<UnitId>(index + 1)});
                    return;
                }
            }
            answer({kSensorUnavailable, 0});
        });
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
    ResolveDevice(
        unit, [this, user = QString::fromStdString(user), answer](StatusCode status, QString path) {
            if (status != kOk) {
                answer({status, {}});
                return;
            }
            Call(Device(path).ListEnrolledFingers(user), [answer](const QDBusMessage& reply) {
                if (IsError(reply)) {
                    answer({ErrorStatus(reply), {}});
                    return;
                }
                FingersAnswer fingers;
                for (const QString& name : reply.arguments().value(0).toStringList()) {
                    // Names of a newer fprintd that are none of the ten fingers are left out.
                    const SubFactor finger = SubFactorFromFingerName(name.toStdString());
                    if (finger != kNoFinger) {
                        fingers.fingers.push_back(finger);
                    }
                }
                answer(std::move(fingers));
            });
        });
}

StatusCode FprintdWorker::EnrollBegin(SessionHandle session, SubFactor finger, UnitId unit) {
    if (!HasSession(session) || !FingerName(finger)) {
        return kInvalidArgument;
    }
    if (unit == 0) {
        return kInvalidUnit;
    }
    if (m_current && !m_current->ended) {
        return kEnrollmentInProgress;
    }
    if (m_current) {
        // Over already (its result was handed out) but never discarded: nothing to keep.
        CancelRun(m_current);
        m_current.reset();
    }
    std::string user;
    const StatusCode identified = UserNameForUid(static_cast<std::uint32_t>(getuid()), &user);
    if (identified != kOk) {
        return identified;
    }
    auto run = std::make_shared<Run>();
    run->id = m_nextRunId++;
    run->session = session;
    run->finger = finger;
    run->unit = unit;
    run->user = QString::fromStdString(user);
    m_current = run;
    m_runs.push_back(run);
    m_stageCount->store(0);
    AcquireReader([this, run] {
        if (run->finishing) {
            FreeReader();  // ended while it waited for its turn
            return;
        }
        run->holdsReader = true;
        ClaimForEnrollment(run);
    });
    return kOk;
}

void FprintdWorker::AcquireReader(std::function<void()> turn) {
    if (m_readerBusy) {
        m_readerQueue.push_back(std::move(turn));
        return;
    }
    m_readerBusy = true;
    turn();
}

void FprintdWorker::FreeReader() {
    if (m_readerQueue.empty()) {
        m_readerBusy = false;
        return;
    }
    auto turn = std::move(m_readerQueue.front());
    m_readerQueue.pop_front();
    // From the event loop, so a long queue does not nest.
    QMetaObject::invokeMethod(this, std::move(turn), Qt::QueuedConnection);
}

void FprintdWorker::ClaimForEnrollment(const RunPtr& run) {
    run->callInFlight = true;
    ResolveDevice(run->unit, [this, run](StatusCode status, QString path) {
        run->callInFlight = false;
        if (run->released) {
            return;
        }
        if (run->finishing) {
            StopAndRelease(run);
            return;
        }
        if (status != kOk) {
            EndRun(run, {status, 0}, kInvalidOperation);
            return;
        }
        run->path = path;
        run->daemonLife = m_daemonLife;
        Device(path);  // listens to its EnrollStatus before anything can be sent
        run->callInFlight = true;
        run->claimInFlight = true;
        CallAllowingPrompt(path, QStringLiteral("Claim"), run->user,
                           [this, run](const QDBusMessage& reply) {
                               run->callInFlight = false;
                               run->claimInFlight = false;
                               if (run->released) {
                                   return;
                               }
                               run->claimed = !IsError(reply);
                               if (run->finishing) {
                                   StopAndRelease(run);
                               } else if (IsError(reply)) {
                                   EndRun(run, {ErrorStatus(reply), 0}, kInvalidOperation);
                               } else {
                                   ReadStagesAndStart(run);
                               }
                           });
    });
}

void FprintdWorker::ReadStagesAndStart(const RunPtr& run) {
    QDBusMessage get = QDBusMessage::createMethodCall(kService, run->path, kPropertiesInterface,
                                                      QStringLiteral("GetAll"));
    get << kDeviceInterface;
    run->callInFlight = true;
    Call(m_bus->asyncCall(get, kPlainCallTimeoutMs), [this, run](const QDBusMessage& reply) {
        run->callInFlight = false;
        if (run->released) {
            return;
        }
        // Valid only while claimed, so read here; without it the window keeps its fixed range.
        bool readable = false;
        const int stages =
            PropertiesFrom(reply).value(QStringLiteral("num-enroll-stages")).toInt(&readable);
        if (readable && stages > 0) {
            m_stageCount->store(static_cast<std::uint32_t>(stages));
        }
        if (run->finishing) {
            StopAndRelease(run);
            return;
        }
        StartEnrolling(run);
    });
}

void FprintdWorker::StartEnrolling(const RunPtr& run) {
    Device(run->path);  // anew if fprintd came back meanwhile, so its EnrollStatus reaches us
    run->callInFlight = true;
    run->startInFlight = true;
    CallAllowingPrompt(run->path, QStringLiteral("EnrollStart"), FingerText(run->finger),
                       [this, run](const QDBusMessage& reply) {
                           run->callInFlight = false;
                           run->startInFlight = false;
                           if (run->released) {
                               return;
                           }
                           run->running = !IsError(reply);
                           if (run->finishing) {
                               StopAndRelease(run);
                           } else if (IsError(reply)) {
                               EndRun(run, {ErrorStatus(reply), 0}, kInvalidOperation);
                           } else {
                               StartDeadlineIfWaiting(run);
                           }
                       });
}

void FprintdWorker::OnEnrollStatus(const QString& path, const QString& result, bool done) {
    const RunPtr run = m_current;
    // Another client's enrollment, or the stop we asked for, is none of this enrollment's.
    if (!run || run->finishing || run->ended || run->path != path ||
        !(run->running || run->startInFlight)) {
        return;
    }
    const EnrollResultOutcome outcome = EnrollResultStatus(result.toStdString(), done);
    const CaptureResult captured{outcome.captureStatus, outcome.rejectDetail};
    if (outcome.ends) {
        EndRun(run, captured, outcome.commitStatus);
        return;
    }
    run->results.push_back(captured);
    Deliver(run);
}

void FprintdWorker::StartDeadlineIfWaiting(const RunPtr& run) {
    // Counted while the reader scans; a password prompt before that has no deadline.
    if (run == m_current && run->capture && run->results.empty() && run->running) {
        m_captureDeadline->start(m_captureTimeout);
    }
}

void FprintdWorker::OnCaptureDeadline() {
    const RunPtr run = m_current;
    if (run && run->capture && run->results.empty() && !run->ended) {
        EndRun(run, {kCaptureTimedOut, 0}, kInvalidOperation);
    }
}

StatusCode FprintdWorker::EnrollCapture(SessionHandle session, EnrollCaptureCallback callback,
                                        void* context) {
    if (!HasSession(session) || callback == nullptr) {
        return kInvalidArgument;
    }
    const RunPtr run = m_current;
    if (!run || run->session != session) {
        return kInvalidOperation;
    }
    if (run->capture) {
        return kDataCollectionInProgress;
    }
    if (run->ended && run->results.empty()) {
        return kInvalidOperation;  // its last result was handed out already
    }
    run->capture = PendingCapture{callback, context};
    if (!run->results.empty()) {
        DeliverLater(run);
    } else {
        StartDeadlineIfWaiting(run);
    }
    return kOk;
}

void FprintdWorker::DeliverLater(const RunPtr& run) {
    // Never from within the request: the callback comes from the event loop, as all others do.
    QMetaObject::invokeMethod(
        this, [this, run] { Deliver(run); }, Qt::QueuedConnection);
}

void FprintdWorker::Deliver(const RunPtr& run) {
    if (!run->capture || run->results.empty()) {
        return;
    }
    const PendingCapture capture = *run->capture;
    const CaptureResult result = run->results.front();
    run->results.pop_front();
    run->capture.reset();
    run->lastDeliveredOk = result.status == kOk;
    if (run == m_current) {
        m_captureDeadline->stop();
    }
    capture.callback(capture.context, result.status, result.rejectDetail);
}

void FprintdWorker::EndRun(const RunPtr& run, CaptureResult result, StatusCode commitStatus) {
    if (run->ended) {
        return;
    }
    run->ended = true;
    run->commitStatus = commitStatus;
    run->results.push_back(result);
    Deliver(run);
    FinishRun(run);
}

void FprintdWorker::CancelRun(const RunPtr& run) {
    run->results.clear();
    if (run->capture) {
        run->results.push_back({kCanceled, 0});
        DeliverLater(run);
    }
    run->ended = true;
    FinishRun(run);
}

void FprintdWorker::FinishRun(const RunPtr& run) {
    if (run->finishing) {
        return;
    }
    run->finishing = true;
    if (run == m_current) {
        m_captureDeadline->stop();
    }
    if (!run->holdsReader) {
        NotifyReleased(run);  // still waiting for its turn, which will pass the reader on
        return;
    }
    StopAndRelease(run);
}

void FprintdWorker::StopAndRelease(const RunPtr& run) {
    if (run->released || run->releaseInFlight) {
        return;
    }
    if (run->vanished || run->daemonLife != m_daemonLife) {
        CompleteRelease(run);  // the claim went with the daemon
        return;
    }
    if (run->startInFlight) {
        // EnrollStart may wait for a prompt; fprintd releases at once and refuses it afterwards.
        SendRelease(run);
        return;
    }
    if (run->callInFlight) {
        return;  // its reply comes back here
    }
    if (run->running) {
        SendStop(run);
    } else if (run->claimed) {
        SendRelease(run);
    } else {
        CompleteRelease(run);
    }
}

void FprintdWorker::SendStop(const RunPtr& run) {
    run->callInFlight = true;
    // Its error (nothing running any more) changes nothing: the release follows either way.
    Call(Device(run->path).EnrollStop(), [this, run](const QDBusMessage&) {
        run->callInFlight = false;
        run->running = false;
        StopAndRelease(run);
    });
}

void FprintdWorker::SendRelease(const RunPtr& run) {
    run->releaseInFlight = true;
    Call(Device(run->path).Release(), [this, run](const QDBusMessage&) {
        run->releaseInFlight = false;
        run->claimed = false;
        run->running = false;
        CompleteRelease(run);
    });
}

void FprintdWorker::CompleteRelease(const RunPtr& run) {
    if (run->released) {
        return;
    }
    run->finishing = true;
    NotifyReleased(run);
    if (run->holdsReader) {
        run->holdsReader = false;
        FreeReader();
    }
}

void FprintdWorker::NotifyReleased(const RunPtr& run) {
    if (run->released) {
        return;
    }
    run->released = true;
    m_runs.erase(std::remove(m_runs.begin(), m_runs.end(), run), m_runs.end());
    auto waiting = std::move(run->onReleased);
    for (auto& then : waiting) {
        then();
    }
}

void FprintdWorker::WhenReleased(const RunPtr& run, std::function<void()> then) {
    if (run->released) {
        then();
        return;
    }
    auto once = [called = std::make_shared<bool>(false), then = std::move(then)] {
        if (!*called) {
            *called = true;
            then();
        }
    };
    run->onReleased.push_back(once);
    // A claim normally answers at once, but one waiting for a prompt may take minutes: the
    // caller does not wait that long, and the release follows the claim's answer.
    if (run->claimInFlight) {
        QTimer::singleShot(kClaimPatienceMs, this, once);
    }
}

void FprintdWorker::EnrollCommit(SessionHandle session, Answer<StatusCode> answer) {
    if (!HasSession(session)) {
        answer(kInvalidArgument);
        return;
    }
    const RunPtr run = m_current;
    if (!run || run->session != session) {
        answer(kInvalidOperation);
        return;
    }
    if (run->capture) {
        answer(kDataCollectionInProgress);
        return;
    }
    if (!run->ended || !run->results.empty() || !run->lastDeliveredOk) {
        answer(kInvalidOperation);
        return;
    }
    // fprintd stored the print (or refused it) when it finished; the commit only reports that,
    // once the reader is free again.
    m_current.reset();
    const StatusCode status = run->commitStatus;
    WhenReleased(run, [answer, status] { answer(status); });
}

void FprintdWorker::EnrollDiscard(SessionHandle session, Answer<StatusCode> answer) {
    if (!HasSession(session)) {
        answer(kInvalidArgument);
        return;
    }
    const RunPtr run = m_current;
    if (!run || run->session != session) {
        answer(kInvalidOperation);
        return;
    }
    CancelRun(run);
    m_current.reset();
    WhenReleased(run, [answer] { answer(kOk); });
}

void FprintdWorker::DeleteTemplate(SessionHandle session, UnitId unit,
                                   const WINBIO_IDENTITY& identity, SubFactor finger,
                                   Answer<StatusCode> answer) {
    if (!HasSession(session) || !FingerName(finger)) {
        answer(kInvalidArgument);
        return;
    }
    std::string userName;
    const StatusCode identified =
        UserNameForIdentity(identity, static_cast<std::uint32_t>(getuid()), &userName);
    if (identified != kOk) {
        answer(identified);
        return;
    }
    const QString user = QString::fromStdString(userName);
    const QString fingerName = FingerText(finger);
    AcquireReader([this, unit, user, fingerName, answer] {
        auto done = [this, answer](StatusCode status) {
            FreeReader();
            answer(status);
        };
        ResolveDevice(unit, [this, user, fingerName, done](StatusCode status, QString path) {
            if (status != kOk) {
                done(status);
                return;
            }
            const std::uint64_t life = m_daemonLife;
            CallAllowingPrompt(
                path, QStringLiteral("Claim"), user, [=, this](const QDBusMessage& claim) {
                    if (IsError(claim)) {
                        done(ErrorStatus(claim));
                        return;
                    }
                    CallAllowingPrompt(
                        path, QStringLiteral("DeleteEnrolledFinger"), fingerName,
                        [=, this](const QDBusMessage& deletion) {
                            const StatusCode deleted =
                                IsError(deletion) ? ErrorStatus(deletion, FprintdCall::kDelete)
                                                  : kOk;
                            if (life != m_daemonLife) {
                                done(deleted);  // the claim went with the daemon
                                return;
                            }
                            // The print is gone (or not) whatever the release answers.
                            Call(Device(path).Release(),
                                 [done, deleted](const QDBusMessage&) { done(deleted); });
                        });
                });
        });
    });
}

void FprintdWorker::Shutdown(Answer<StatusCode> answer) {
    if (m_current) {
        CancelRun(m_current);
        m_current.reset();
    }
    m_sessions.clear();
    struct Waiting {
        Answer<StatusCode> answer;
        std::size_t missing = 0;
        void Done() {
            if (answer) {
                auto once = std::move(answer);
                answer = nullptr;
                once(kOk);
            }
        }
    };
    auto waiting = std::make_shared<Waiting>();
    waiting->answer = std::move(answer);
    const std::vector<RunPtr> runs = m_runs;
    waiting->missing = runs.size() + 1;
    auto countDown = [waiting] {
        if (--waiting->missing == 0) {
            waiting->Done();
        }
    };
    for (const RunPtr& run : runs) {
        FinishRun(run);
        WhenReleased(run, countDown);
    }
    countDown();
    // A reader that does not answer in time is released by the disconnection.
    QTimer::singleShot(kShutdownWaitMs, this, [waiting] { waiting->Done(); });
}
