// A test's own connection to the system bus: the daemon sees it as one more client, and it
// closes with the object.
#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QString>

class PrivateSystemBus {
public:
    // what names the connection in the bus's logs.
    explicit PrivateSystemBus(const char* what);
    ~PrivateSystemBus();
    PrivateSystemBus(const PrivateSystemBus&) = delete;
    PrivateSystemBus& operator=(const PrivateSystemBus&) = delete;

    bool IsConnected() const { return m_bus.isConnected(); }
    // Waits for the reply, or for the bus's own timeout.
    QDBusMessage Call(const QDBusMessage& message) { return m_bus.call(message); }

private:
    const QString m_name;
    QDBusConnection m_bus;
};
