// Another program on the fixture's bus: a second fprintd client and the polkit mock's controls.
#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QStringList>
#include <QVariantList>
#include <functional>

// Plain method calls, no introspecting proxies: nothing is cached beyond the connection.
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
        if (CallDevice(QStringLiteral("Claim"), {QString()}).type() != QDBusMessage::ReplyMessage) {
            return false;
        }
        CallDevice(QStringLiteral("Release"));
        return true;
    }

    // fprintd's own answer, read without a claim: finger names, or the error's name.
    QStringList EnrolledFingers(const QString& user) {
        const QDBusMessage reply = CallDevice(QStringLiteral("ListEnrolledFingers"), {user});
        if (reply.type() == QDBusMessage::ErrorMessage) {
            return {reply.errorName()};
        }
        return reply.arguments().value(0).toStringList();
    }

    // Enrolls a finger as fprintd's own tools would, touching the virtual sensor with `touch`
    // until the print is stored; empty on success, else what failed.
    QString EnrollAsAnotherProgram(const QString& user, const QString& finger,
                                   const std::function<bool()>& touch) {
        if (const QDBusMessage claimed = CallDevice(QStringLiteral("Claim"), {user});
            claimed.type() != QDBusMessage::ReplyMessage) {
            return claimed.errorName();
        }
        QString failure;
        if (const QDBusMessage started = CallDevice(QStringLiteral("EnrollStart"), {finger});
            started.type() != QDBusMessage::ReplyMessage) {
            failure = started.errorName();
        }
        constexpr int kMostTouches = 20;
        for (int touches = 0; failure.isEmpty() && !EnrolledFingers(user).contains(finger);
             ++touches) {
            if (touches == kMostTouches || !touch()) {
                failure = QStringLiteral("the print was never stored");
            }
        }
        CallDevice(QStringLiteral("EnrollStop"));
        CallDevice(QStringLiteral("Release"));
        return failure;
    }

    // The polkit mock holds every check of the enroll action until ReleaseHeldChecks.
    bool HoldEnrollChecks() {
        return CallMock(QStringLiteral("SimulateHangActions"),
                        {QStringList{QStringLiteral("net.reactivated.fprint.device.enroll")}})
                   .type() == QDBusMessage::ReplyMessage;
    }
    bool HasHeldChecks() {
        return CallMock(QStringLiteral("HaveHangingCalls")).arguments().value(0).toBool();
    }
    // As a user who typed the password: the desktop keeps the answer, so fprintd's own check
    // of the same action is not held again.
    void ReleaseHeldChecks() {
        CallMock(QStringLiteral("SimulateHangActions"), {QStringList()});
        CallMock(QStringLiteral("ReleaseHangingCalls"));
    }
    bool ResetPolkit() {
        return CallMock(QStringLiteral("Reset")).type() == QDBusMessage::ReplyMessage;
    }

private:
    QDBusMessage Call(const QString& service, const QString& path, const QString& interface,
                      const QString& method, const QVariantList& arguments = {}) {
        QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
        message.setArguments(arguments);
        return m_bus.call(message);
    }
    QDBusMessage CallDevice(const QString& method, const QVariantList& arguments = {}) {
        const QDBusMessage device = Call(QStringLiteral("net.reactivated.Fprint"),
                                         QStringLiteral("/net/reactivated/Fprint/Manager"),
                                         QStringLiteral("net.reactivated.Fprint.Manager"),
                                         QStringLiteral("GetDefaultDevice"));
        if (device.type() != QDBusMessage::ReplyMessage) {
            return device;
        }
        const QString path = device.arguments().value(0).value<QDBusObjectPath>().path();
        return Call(QStringLiteral("net.reactivated.Fprint"), path,
                    QStringLiteral("net.reactivated.Fprint.Device"), method, arguments);
    }
    QDBusMessage CallMock(const QString& method, const QVariantList& arguments = {}) {
        return Call(QStringLiteral("org.freedesktop.PolicyKit1"),
                    QStringLiteral("/org/freedesktop/PolicyKit1/Authority"),
                    QStringLiteral("org.freedesktop.DBus.Mock"), method, arguments);
    }

    QDBusConnection m_bus;
};
