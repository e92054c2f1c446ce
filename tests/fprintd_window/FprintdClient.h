// Another program on the fixture's bus: a second fprintd client and the polkit mock's controls.
#pragma once

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QStringList>

class FprintdClient {
public:
    FprintdClient()
        : m_bus(QDBusConnection::connectToBus(QDBusConnection::SystemBus,
                                              QStringLiteral("varne-test-other-client"))) {}
    ~FprintdClient() { QDBusConnection::disconnectFromBus(m_bus.name()); }
    FprintdClient(const FprintdClient&) = delete;
    FprintdClient& operator=(const FprintdClient&) = delete;

    bool IsConnected() const { return m_bus.isConnected(); }

    // True when this client could claim the default reader (it releases it again at once), as
    // the lock screen or sudo would need to.
    bool CanClaimReader() {
        QDBusInterface device = Device();
        if (!QDBusReply<void>(device.call(QStringLiteral("Claim"), QString())).isValid()) {
            return false;
        }
        device.call(QStringLiteral("Release"));
        return true;
    }

    // fprintd's own answer, read without a claim: finger names, or the error's name.
    QStringList EnrolledFingers(const QString& user) {
        QDBusInterface device = Device();
        const QDBusMessage reply = device.call(QStringLiteral("ListEnrolledFingers"), user);
        if (reply.type() == QDBusMessage::ErrorMessage) {
            return {reply.errorName()};
        }
        return reply.arguments().value(0).toStringList();
    }

    // The polkit mock holds every check of the enroll action until ReleaseHeldChecks.
    bool HoldEnrollChecks() {
        return Mock()
                   .call(QStringLiteral("SimulateHangActions"),
                         QStringList{QStringLiteral("net.reactivated.fprint.device.enroll")})
                   .type() == QDBusMessage::ReplyMessage;
    }
    bool HasHeldChecks() {
        return QDBusReply<bool>(Mock().call(QStringLiteral("HaveHangingCalls"))).value();
    }
    void ReleaseHeldChecks() { Mock().call(QStringLiteral("ReleaseHangingCalls")); }

private:
    QDBusInterface Device() {
        QDBusInterface manager(QStringLiteral("net.reactivated.Fprint"),
                               QStringLiteral("/net/reactivated/Fprint/Manager"),
                               QStringLiteral("net.reactivated.Fprint.Manager"), m_bus);
        const QDBusReply<QDBusObjectPath> path = manager.call(QStringLiteral("GetDefaultDevice"));
        return QDBusInterface(QStringLiteral("net.reactivated.Fprint"), path.value().path(),
                              QStringLiteral("net.reactivated.Fprint.Device"), m_bus);
    }
    QDBusInterface Mock() {
        return QDBusInterface(QStringLiteral("org.freedesktop.PolicyKit1"),
                              QStringLiteral("/org/freedesktop/PolicyKit1/Authority"),
                              QStringLiteral("org.freedesktop.DBus.Mock"), m_bus);
    }

    QDBusConnection m_bus;
};
