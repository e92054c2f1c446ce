// Tells the window when logind says the session locked or the computer is about to sleep.
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QVariantMap>
#include <functional>
#include <memory>

#include "SystemEvent.h"

class Login1ManagerProxy;
class Login1SessionProxy;
class PropertiesProxy;
class QDBusMessage;
class QDBusServiceWatcher;

// Where the watcher is; it only ever listens and forwards.
enum class LogindWatch {
    kIdle,
    kFindingLogind,
    kFindingSession,
    kReadingLock,  // subscribed to the session; its first answer confirms the subscriptions
    kWatchingSessionAndSleep,
    kWatchingSleepOnly,  // logind knows no session of ours: only sleep concerns us
    kNoLogind,           // no bus, or nobody owns logind's name (yet)
};

// Lives on the window's thread, like the handler it calls. Every call to the bus is sent without
// waiting, and signals are bound to logind's unique name, which needs no blocking look-up; when
// logind is restarted the session is looked up again on the new instance.
class LogindWatcher : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<void(SystemEvent)>;

    explicit LogindWatcher(Handler onEvent, QObject* parent = nullptr);
    ~LogindWatcher() override;
    LogindWatcher(const LogindWatcher&) = delete;
    LogindWatcher& operator=(const LogindWatcher&) = delete;

    // Opens a connection of its own to the system bus (a short wait for the bus daemon, so call
    // it once the window is on the screen) and starts watching there.
    void StartOnSystemBus();
    // Starts watching on bus; without logind nothing happens and nothing is printed.
    void Start(const QDBusConnection& bus);

    LogindWatch State() const { return m_state; }

private:
    void OnOwnerChanged(const QString& oldOwner, const QString& newOwner);
    void UseLogind(const QString& owner);
    void FindSessionByPid();
    void OnSessionFound(const QDBusMessage& reply, bool mayRetryByPid);
    void WatchSession(const QString& path);
    void OnPropertiesChanged(const QString& interface, const QVariantMap& changed);
    void OnLockedHint(bool locked);
    void OnPrepareForSleep(bool starting);
    // Sends a call to logind's current instance; the reply is dropped when logind changed
    // meanwhile.
    void CallLogind(const QString& path, const QString& interface, const QString& method,
                    const QVariantList& arguments, std::function<void(const QDBusMessage&)> then);
    void Forget();

    const Handler m_onEvent;
    std::unique_ptr<QDBusConnection> m_bus;
    QString m_ownConnection;  // set when the connection is ours to close
    LogindWatch m_state = LogindWatch::kIdle;
    QString m_owner;  // logind's unique name
    bool m_locked = false;
    QDBusServiceWatcher* m_ownerWatcher = nullptr;
    std::unique_ptr<Login1ManagerProxy> m_manager;
    std::unique_ptr<Login1SessionProxy> m_session;
    std::unique_ptr<PropertiesProxy> m_sessionProperties;
};
