// The back end's D-Bus plumbing: the connection, calls and their timeouts, fprintd's signals.
#include "FprintdBus.h"

#include <unistd.h>

#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QMetaObject>
#include <QTimer>
#include <atomic>
#include <climits>

#include "FprintDeviceProxy.h"
#include "FprintdSleepGate.h"

namespace {

const QString kService = QStringLiteral("net.reactivated.Fprint");
const QString kDeviceInterface = QStringLiteral("net.reactivated.Fprint.Device");
const QString kDisconnected = QStringLiteral("org.freedesktop.DBus.Error.Disconnected");
// libdbus takes INT_MAX as "no timeout".
constexpr int kNoReplyTimeout = INT_MAX;

QString NextConnectionName() {
    static std::atomic<unsigned> counter{0};
    return QStringLiteral("varne-fprintd-%1-%2").arg(getpid()).arg(counter.fetch_add(1));
}

}  // namespace

FprintdBus::FprintdBus(std::chrono::milliseconds replyTimeout,
                       std::chrono::milliseconds longestSleep, ResultHandler onEnrollStatus,
                       ResultHandler onVerifyStatus, DaemonGoneHandler onDaemonGone)
    : m_replyTimeout(replyTimeout),
      m_onEnrollStatus(std::move(onEnrollStatus)),
      m_onVerifyStatus(std::move(onVerifyStatus)),
      m_onDaemonGone(std::move(onDaemonGone)),
      m_sleepGate(new FprintdSleepGate(longestSleep)) {
    m_sleepGate->setParent(this);
}

FprintdBus::~FprintdBus() {
    Drop(false);
}

bool FprintdBus::Connect() {
    if (m_connection && m_connection->isConnected()) {
        return true;
    }
    Drop(true);
    m_connectionName = NextConnectionName();
    // Honours DBUS_SYSTEM_BUS_ADDRESS, so tests bring a bus of their own.
    m_connection = QDBusConnection::connectToBus(QDBusConnection::SystemBus, m_connectionName);
    m_pending = new QObject(this);
    if (!m_connection->isConnected()) {
        return false;
    }
    if (m_daemonWatched) {
        InstallWatchers();
    }
    return true;
}

void FprintdBus::WatchDaemon() {
    m_daemonWatched = true;
    if (Connect() && m_ownerWatcher == nullptr) {
        InstallWatchers();
    }
}

void FprintdBus::InstallWatchers() {
    // Round trips to Qt's bus thread and match rules: kept off start-up, which only lists.
    m_ownerWatcher = new QDBusServiceWatcher(kService, *m_connection,
                                             QDBusServiceWatcher::WatchForOwnerChange, m_pending);
    connect(m_ownerWatcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            &FprintdBus::OnOwnerChanged);
    m_sleepGate->Watch(*m_connection);
}

QString FprintdBus::OwnName() const {
    return m_connection && m_connection->isConnected() ? m_connection->baseService() : QString();
}

void FprintdBus::Call(const CallTarget& target, const QString& method,
                      const QVariantList& arguments, Prompt prompt, Reply reply) {
    if (!Connect()) {
        const QDBusMessage error = QDBusMessage::createError(kDisconnected, QString());
        QMetaObject::invokeMethod(
            this, [reply = std::move(reply), error] { reply(error); }, Qt::QueuedConnection);
        return;
    }
    QDBusMessage message =
        QDBusMessage::createMethodCall(target.service, target.path, target.interface, method);
    message.setArguments(arguments);
    int timeout = static_cast<int>(m_replyTimeout.count());
    if (prompt == Prompt::kAllowed) {
        message.setInteractiveAuthorizationAllowed(true);
        timeout = kNoReplyTimeout;
    }
    auto* watcher =
        new QDBusPendingCallWatcher(m_connection->asyncCall(message, timeout), m_pending);
    m_calls.emplace(watcher, std::move(reply));
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher] {
        const auto found = m_calls.find(watcher);
        if (found == m_calls.end()) {
            return;
        }
        const Reply answer = std::move(found->second);
        m_calls.erase(found);
        watcher->deleteLater();
        answer(watcher->reply());
    });
}

void FprintdBus::WatchReader(const QString& daemon, const QString& path) {
    if (!Connect()) {
        return;
    }
    auto& reader = m_readers[{daemon, path}];
    if (reader) {
        return;
    }
    // Bound to the unique name: a restarted fprintd's signals are none of this operation's.
    reader = std::make_unique<FprintDeviceProxy>(daemon, path, *m_connection);
    connect(reader.get(), &FprintDeviceProxy::EnrollStatus, this,
            [this, daemon, path](const QString& result, bool done) {
                m_onEnrollStatus(daemon, path, result, done);
            });
    connect(reader.get(), &FprintDeviceProxy::VerifyStatus, this,
            [this, daemon, path](const QString& result, bool done) {
                m_onVerifyStatus(daemon, path, result, done);
            });
}

void FprintdBus::Stop(const QString& daemon, const QString& path, const QString& method,
                      std::chrono::milliseconds wait, std::function<void()> stopped) {
    // A stop that never answers is left to the release's own wait.
    CallWithin(daemon, path, method, wait, false, std::move(stopped));
}

void FprintdBus::Release(const QString& daemon, const QString& path, std::chrono::milliseconds wait,
                         std::function<void()> released) {
    // The reader stays claimed through the sleep; closing the connection instead would fail
    // the same way.
    m_sleepGate->WhenAwake([this, daemon, path, wait, released = std::move(released)]() mutable {
        CallWithin(daemon, path, QStringLiteral("Release"), wait, true, std::move(released));
    });
}

void FprintdBus::CallWithin(const QString& daemon, const QString& path, const QString& method,
                            std::chrono::milliseconds wait, bool dropOnTimeout,
                            std::function<void()> done) {
    auto once = std::make_shared<std::function<void()>>(std::move(done));
    auto finish = [once] {
        if (*once) {
            auto then = std::move(*once);
            *once = nullptr;
            then();
        }
    };
    Call({daemon, path, kDeviceInterface}, method, {}, Prompt::kNever,
         [finish](const QDBusMessage&) { finish(); });
    auto* timer = new QTimer(m_pending);
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, this, [this, once, finish, dropOnTimeout] {
        if (*once && dropOnTimeout) {
            Drop(true);  // the claim ends with the connection
        }
        finish();
    });
    timer->start(wait);
}

void FprintdBus::Drop(bool answerPending) {
    auto calls = std::move(m_calls);
    m_calls.clear();
    m_readers.clear();
    if (m_pending != nullptr) {
        // Later, since a reply of one of them may be what drops the connection.
        for (QObject* child : m_pending->children()) {
            QObject::disconnect(child, nullptr, this, nullptr);
        }
        m_pending->deleteLater();
        m_pending = nullptr;
    }
    if (m_ownerWatcher != nullptr && m_connection) {
        // Unhooked while the connection is open: its closing must find nothing of ours.
        m_ownerWatcher->setWatchedServices({});
        m_sleepGate->Unwatch(*m_connection);
    }
    m_ownerWatcher = nullptr;
    if (m_connection) {
        m_connection.reset();
        QDBusConnection::disconnectFromBus(m_connectionName);
    }
    if (!answerPending) {
        return;
    }
    const QDBusMessage error = QDBusMessage::createError(kDisconnected, QString());
    for (auto& [watcher, reply] : calls) {
        QMetaObject::invokeMethod(
            this, [reply = std::move(reply), error] { reply(error); }, Qt::QueuedConnection);
    }
}

QString FprintdBus::ErrorName(const QDBusMessage& reply) {
    return reply.type() == QDBusMessage::ReplyMessage ? QString() : reply.errorName();
}

bool FprintdBus::IsError(const QDBusMessage& reply) {
    return reply.type() != QDBusMessage::ReplyMessage;
}

void FprintdBus::OnOwnerChanged(const QString& /*service*/, const QString& oldOwner,
                                const QString& /*newOwner*/) {
    if (!oldOwner.isEmpty()) {
        m_onDaemonGone(oldOwner);
    }
}
