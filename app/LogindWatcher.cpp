// Tells the window when logind says the session locked or the computer is about to sleep.
#include "LogindWatcher.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <atomic>

#include "Login1ManagerProxy.h"
#include "Login1SessionProxy.h"
#include "LogindNames.h"
#include "PropertiesProxy.h"

namespace {

const QString kLogind = QString::fromLatin1(kLogindService);
const QString kManagerPath = QString::fromLatin1(kLogindManagerPath);
const QString kManagerInterface = QString::fromLatin1(kLogindManagerInterface);
const QString kSessionInterface = QString::fromLatin1(kLogindSessionInterface);
const QString kPropertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
const QString kLockedHint = QStringLiteral("LockedHint");
const QString kBus = QStringLiteral("org.freedesktop.DBus");
const QString kBusPath = QStringLiteral("/org/freedesktop/DBus");
const char* const kSessionVariable = "XDG_SESSION_ID";

QString NextConnectionName() {
    static std::atomic<unsigned> counter{0};
    return QStringLiteral("varne-logind-%1").arg(counter.fetch_add(1));
}

// Property values arrive unwrapped from a PropertiesChanged map and wrapped from a Get.
bool ToBool(const QVariant& value) {
    if (value.canConvert<QDBusVariant>()) {
        return value.value<QDBusVariant>().variant().toBool();
    }
    return value.toBool();
}

}  // namespace

LogindWatcher::LogindWatcher(Handler onEvent, QObject* parent)
    : QObject(parent), m_onEvent(std::move(onEvent)) {}

LogindWatcher::~LogindWatcher() {
    Forget();
    delete m_ownerWatcher;
    m_bus.reset();
    if (!m_ownConnection.isEmpty()) {
        QDBusConnection::disconnectFromBus(m_ownConnection);
    }
}

void LogindWatcher::StartOnSystemBus() {
    m_ownConnection = NextConnectionName();
    Start(QDBusConnection::connectToBus(QDBusConnection::SystemBus, m_ownConnection));
}

void LogindWatcher::Start(const QDBusConnection& bus) {
    m_bus = std::make_unique<QDBusConnection>(bus);
    if (!m_bus->isConnected()) {
        m_state = LogindWatch::kNoLogind;
        return;
    }
    // Before the look-up, so an instance that appears meanwhile is not missed.
    m_ownerWatcher =
        new QDBusServiceWatcher(kLogind, *m_bus, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(m_ownerWatcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString& oldOwner, const QString& newOwner) {
                OnOwnerChanged(oldOwner, newOwner);
            });
    m_state = LogindWatch::kFindingLogind;
    QDBusMessage message =
        QDBusMessage::createMethodCall(kBus, kBusPath, kBus, QStringLiteral("GetNameOwner"));
    message.setArguments({kLogind});
    auto* call = new QDBusPendingCallWatcher(m_bus->asyncCall(message), this);
    connect(call, &QDBusPendingCallWatcher::finished, this, [this, call] {
        call->deleteLater();
        const QDBusMessage reply = call->reply();
        if (reply.type() == QDBusMessage::ReplyMessage) {
            UseLogind(reply.arguments().value(0).toString());
        } else if (m_state == LogindWatch::kFindingLogind) {
            m_state = LogindWatch::kNoLogind;  // a container, or a system without logind
        }
    });
}

void LogindWatcher::OnOwnerChanged(const QString& /*oldOwner*/, const QString& newOwner) {
    if (newOwner.isEmpty()) {
        Forget();
        m_state = LogindWatch::kNoLogind;
        return;
    }
    UseLogind(newOwner);
}

void LogindWatcher::UseLogind(const QString& owner) {
    if (owner.isEmpty() || owner == m_owner) {
        return;  // the look-up and the owner watcher may both report the same instance
    }
    Forget();
    m_owner = owner;
    m_manager = std::make_unique<Login1ManagerProxy>(m_owner, kManagerPath, *m_bus);
    connect(m_manager.get(), &Login1ManagerProxy::PrepareForSleep, this,
            &LogindWatcher::OnPrepareForSleep);
    m_state = LogindWatch::kFindingSession;
    const QString sessionId = qEnvironmentVariable(kSessionVariable);
    if (sessionId.isEmpty()) {
        FindSessionByPid();
        return;
    }
    CallLogind(kManagerPath, kManagerInterface, QStringLiteral("GetSession"), {sessionId},
               [this](const QDBusMessage& reply) { OnSessionFound(reply, true); });
}

void LogindWatcher::FindSessionByPid() {
    const auto pid = static_cast<quint32>(QCoreApplication::applicationPid());
    CallLogind(kManagerPath, kManagerInterface, QStringLiteral("GetSessionByPID"), {pid},
               [this](const QDBusMessage& reply) { OnSessionFound(reply, false); });
}

void LogindWatcher::OnSessionFound(const QDBusMessage& reply, bool mayRetryByPid) {
    if (reply.type() != QDBusMessage::ReplyMessage) {
        // A stale XDG_SESSION_ID (a program started from another session) may still leave us
        // in a session of our own.
        if (mayRetryByPid) {
            FindSessionByPid();
        } else {
            m_state = LogindWatch::kWatchingSleepOnly;
        }
        return;
    }
    WatchSession(reply.arguments().value(0).value<QDBusObjectPath>().path());
}

void LogindWatcher::WatchSession(const QString& path) {
    m_session = std::make_unique<Login1SessionProxy>(m_owner, path, *m_bus);
    connect(m_session.get(), &Login1SessionProxy::Lock, this,
            [this] { m_onEvent(SystemEvent::kScreenLocked); });
    m_sessionProperties = std::make_unique<PropertiesProxy>(m_owner, path, *m_bus);
    connect(m_sessionProperties.get(), &PropertiesProxy::PropertiesChanged, this,
            [this](const QString& interface, const QVariantMap& changed, const QStringList&) {
                OnPropertiesChanged(interface, changed);
            });
    m_state = LogindWatch::kReadingLock;
    // Sent after the subscriptions, so its answer also says they are in place.
    CallLogind(path, kPropertiesInterface, QStringLiteral("Get"), {kSessionInterface, kLockedHint},
               [this](const QDBusMessage& reply) {
                   if (reply.type() == QDBusMessage::ReplyMessage) {
                       m_locked = ToBool(reply.arguments().value(0));
                   }
                   m_state = LogindWatch::kWatchingSessionAndSleep;
               });
}

void LogindWatcher::OnPropertiesChanged(const QString& interface, const QVariantMap& changed) {
    const auto found = changed.find(kLockedHint);
    if (interface == kSessionInterface && found != changed.end()) {
        OnLockedHint(ToBool(found.value()));
    }
}

void LogindWatcher::OnLockedHint(bool locked) {
    const bool becameLocked = locked && !m_locked;
    m_locked = locked;
    if (becameLocked) {
        m_onEvent(SystemEvent::kScreenLocked);
    }
}

void LogindWatcher::OnPrepareForSleep(bool starting) {
    if (starting) {  // false comes after the resume
        m_onEvent(SystemEvent::kGoingToSleep);
    }
}

void LogindWatcher::CallLogind(const QString& path, const QString& interface, const QString& method,
                               const QVariantList& arguments,
                               std::function<void(const QDBusMessage&)> then) {
    QDBusMessage message = QDBusMessage::createMethodCall(m_owner, path, interface, method);
    message.setArguments(arguments);
    auto* call = new QDBusPendingCallWatcher(m_bus->asyncCall(message), this);
    connect(call, &QDBusPendingCallWatcher::finished, this,
            [this, call, owner = m_owner, then = std::move(then)] {
                call->deleteLater();
                if (owner == m_owner) {
                    then(call->reply());
                }
            });
}

void LogindWatcher::Forget() {
    m_sessionProperties.reset();
    m_session.reset();
    m_manager.reset();
    m_owner.clear();
    m_locked = false;
}
