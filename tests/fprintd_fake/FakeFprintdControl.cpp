// The tests' handle on fake_fprintd.py: what the fake daemon plays next, and what it saw.
#include "FakeFprintdControl.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QThread>

namespace {

const QString kService = QStringLiteral("net.reactivated.Fprint");
const QString kControlPath = QStringLiteral("/org/varne/FakeFprintd");
const QString kControlInterface = QStringLiteral("org.varne.FakeFprintd.Control");

}  // namespace

const QString FakeFprintdControl::kManagerPath = QStringLiteral("/net/reactivated/Fprint/Manager");

QString FakeFprintdControl::ReaderPath(std::uint32_t index) {
    return QStringLiteral("/net/reactivated/Fprint/Device/%1").arg(index);
}

bool FakeFprintdControl::Call(const QString& method, const QVariantList& arguments,
                              QVariant* result) {
    QDBusMessage message =
        QDBusMessage::createMethodCall(kService, kControlPath, kControlInterface, method);
    message.setArguments(arguments);
    const QDBusMessage reply = m_bus.Call(message);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        return false;
    }
    if (result != nullptr) {
        *result = reply.arguments().value(0);
    }
    return true;
}

bool FakeFprintdControl::Reachable() {
    return m_bus.IsConnected() && Call(QStringLiteral("Claimed"), {});
}

bool FakeFprintdControl::SetReaders(std::uint32_t count) {
    return Call(QStringLiteral("SetReaders"), {QVariant::fromValue(count)});
}

bool FakeFprintdControl::SetScanType(const QString& scanType) {
    return Call(QStringLiteral("SetScanType"), {scanType});
}

bool FakeFprintdControl::SetEnrolled(const QStringList& names) {
    return Call(QStringLiteral("SetEnrolled"), {names});
}

bool FakeFprintdControl::FailMethod(const QString& path, const QString& method,
                                    const QString& errorName) {
    return Call(QStringLiteral("FailMethod"), {path, method, errorName});
}

bool FakeFprintdControl::SetVerifyResults(const std::vector<std::pair<QString, bool>>& results) {
    QStringList played;
    for (const auto& [result, done] : results) {
        played.push_back(result + (done ? QStringLiteral(" 1") : QStringLiteral(" 0")));
    }
    return Call(QStringLiteral("SetVerifyResults"), {played});
}

bool FakeFprintdControl::HoldRelease(bool hold) {
    return Call(QStringLiteral("HoldRelease"), {hold});
}

bool FakeFprintdControl::SetPropertyDelay(std::uint32_t milliseconds) {
    return Call(QStringLiteral("SetPropertyDelay"), {QVariant::fromValue(milliseconds)});
}

bool FakeFprintdControl::SetEnrollBurst(std::uint32_t count, std::uint32_t settleMs,
                                        const QString& final) {
    return Call(QStringLiteral("SetEnrollBurst"),
                {QVariant::fromValue(count), QVariant::fromValue(settleMs), final});
}

std::uint64_t FakeFprintdControl::FinalEmittedAt() {
    QVariant result;
    return Call(QStringLiteral("FinalEmittedAt"), {}, &result) ? result.toULongLong() : 0;
}

bool FakeFprintdControl::Claimed() {
    QVariant result;
    return Call(QStringLiteral("Claimed"), {}, &result) && result.toBool();
}

std::uint32_t FakeFprintdControl::HeldReleases() {
    QVariant result;
    return Call(QStringLiteral("HeldReleases"), {}, &result) ? result.toUInt() : 0;
}

bool FakeFprintdControl::RemoveReader(const QString& path) {
    return Call(QStringLiteral("RemoveReader"), {QVariant::fromValue(QDBusObjectPath(path))});
}

QString FakeFprintdControl::AddReader() {
    QVariant result;
    return Call(QStringLiteral("AddReader"), {}, &result) ? result.value<QDBusObjectPath>().path()
                                                          : QString();
}

bool FakeFprintdControl::HoldClaim(bool hold) {
    return Call(QStringLiteral("HoldClaim"), {hold});
}

bool FakeFprintdControl::GrantHeldClaims() {
    return Call(QStringLiteral("GrantHeldClaims"), {});
}

std::vector<FakeFprintdControl::SeenCall> FakeFprintdControl::Calls(const QString& method) {
    QVariant result;
    std::vector<SeenCall> calls;
    if (!Call(QStringLiteral("Calls"), {method}, &result)) {
        return calls;
    }
    for (const QString& entry : result.toStringList()) {
        const QStringList fields = entry.split(QLatin1Char(' '));
        calls.push_back({fields.value(0).toUInt(), fields.value(1), fields.value(2)});
    }
    return calls;
}

QString FakeFprintdControl::NameOwner() {
    QDBusMessage message = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetNameOwner"));
    message.setArguments({kService});
    const QDBusMessage reply = m_bus.Call(message);
    return reply.type() == QDBusMessage::ReplyMessage ? reply.arguments().value(0).toString()
                                                      : QString();
}

bool FakeFprintdControl::Replace() {
    const QString oldOwner = NameOwner();
    if (oldOwner.isEmpty() || !Call(QStringLiteral("Replace"), {})) {
        return false;
    }
    // The new instance answers under the well-known name once the old one has left.
    constexpr int kAttempts = 500;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const QString owner = NameOwner();
        if (!owner.isEmpty() && owner != oldOwner && Reachable()) {
            return true;
        }
        QThread::msleep(10);
    }
    return false;
}
