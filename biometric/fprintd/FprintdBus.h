// The back end's D-Bus plumbing: the connection, calls and their timeouts, fprintd's signals.
#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QString>
#include <QVariantList>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>

#include "WinBio.h"

class FprintDeviceProxy;
class FprintdSleepGate;
class QDBusPendingCallWatcher;
class QDBusServiceWatcher;

// Whether a call may wait for a password prompt: such calls allow interactive authorization and
// have no reply timeout, since the user may take minutes.
enum class Prompt { kNever, kAllowed };

// Where a call goes: fprintd by its well-known name (which starts it if it sleeps) or one
// running instance of it by its unique name.
struct CallTarget {
    QString service;
    QString path;
    QString interface;
};

// Lives on the back end's thread. The connection opens on the first call; when it is dropped
// (a Release that never answers) the next call opens a new one.
class FprintdBus : public QObject {
    Q_OBJECT

public:
    using Reply = std::function<void(const QDBusMessage&)>;
    // An EnrollStatus or VerifyStatus signal of one reader.
    using ResultHandler = std::function<void(const QString& daemon, const QString& path,
                                             const QString& result, bool done)>;
    using DaemonGoneHandler = std::function<void(const QString& daemon)>;

    FprintdBus(std::chrono::milliseconds replyTimeout, std::chrono::milliseconds longestSleep,
               ResultHandler onEnrollStatus, ResultHandler onVerifyStatus,
               DaemonGoneHandler onDaemonGone);
    ~FprintdBus() override;

    bool Connect();
    // From now on, on this connection and any later one, fprintd's end is told to the
    // DaemonGoneHandler, and releases wait while the system sleeps. Listing needs neither watch,
    // so start-up does without their cost.
    void WatchDaemon();
    // This process's unique name on the bus, as polkit knows the caller; empty when offline.
    QString OwnName() const;
    // The reply comes once, from the event loop; without a connection it is an error.
    void Call(const CallTarget& target, const QString& method, const QVariantList& arguments,
              Prompt prompt, Reply reply);
    // Listens to the reader's results from that instance of fprintd before anything is sent.
    void WatchReader(const QString& daemon, const QString& path);
    // Stops the reader's running enrollment or verification (`method`); `stopped` is called once,
    // on the answer, whatever it is, or after the wait: the release follows either way.
    void Stop(const QString& daemon, const QString& path, const QString& method,
              std::chrono::milliseconds wait, std::function<void()> stopped);
    // Releases the reader, after the resume when the system sleeps; when no answer comes within
    // the wait the connection is closed, which ends the claim on fprintd's side. `released` is
    // called once either way.
    void Release(const QString& daemon, const QString& path, std::chrono::milliseconds wait,
                 std::function<void()> released);
    // Closes the connection. Calls still out get a Disconnected error when `answerPending`,
    // none at all otherwise (at teardown nobody is left to hear them).
    void Drop(bool answerPending);

    static QString ErrorName(const QDBusMessage& reply);
    static bool IsError(const QDBusMessage& reply);

private:
    void OnOwnerChanged(const QString& service, const QString& oldOwner, const QString& newOwner);
    // A call on the reader whose `done` comes once: on the answer or after the wait, when the
    // connection is dropped first if `dropOnTimeout`.
    void CallWithin(const QString& daemon, const QString& path, const QString& method,
                    std::chrono::milliseconds wait, bool dropOnTimeout, std::function<void()> done);
    void InstallWatchers();

    const std::chrono::milliseconds m_replyTimeout;
    const ResultHandler m_onEnrollStatus;
    const ResultHandler m_onVerifyStatus;
    const DaemonGoneHandler m_onDaemonGone;
    QString m_connectionName;
    std::optional<QDBusConnection> m_connection;
    bool m_daemonWatched = false;
    QDBusServiceWatcher* m_ownerWatcher = nullptr;
    FprintdSleepGate* m_sleepGate;
    // Parent of everything that dies with the connection: call watchers and release timers.
    QObject* m_pending = nullptr;
    std::map<QDBusPendingCallWatcher*, Reply> m_calls;
    std::map<std::pair<QString, QString>, std::unique_ptr<FprintDeviceProxy>> m_readers;
};
