// The test fixture's logind mock (python-dbusmock's template): started, played and stopped.
#include "LogindMock.h"

#include <unistd.h>

#include <QDBusArgument>
#include <QDBusVariant>
#include <QProcess>
#include <cstdlib>

namespace {

const QString kLogind = QStringLiteral("org.freedesktop.login1");
const QString kManagerPath = QStringLiteral("/org/freedesktop/login1");
const QString kManagerInterface = QStringLiteral("org.freedesktop.login1.Manager");
const QString kSessionInterface = QStringLiteral("org.freedesktop.login1.Session");
const QString kMockInterface = QStringLiteral("org.freedesktop.DBus.Mock");
const char* const kFixtureScript = "VARNE_FIXTURE_SCRIPT";
const char* const kFixtureDirectory = "VARNE_FIXTURE_DIR";
constexpr int kFixtureTimeoutMs = 30000;

}  // namespace

bool LogindMock::Available() {
    return std::getenv(kFixtureScript) != nullptr && std::getenv(kFixtureDirectory) != nullptr;
}

bool LogindMock::RunFixture(const char* action) {
    QProcess fixture;
    fixture.setProcessChannelMode(QProcess::ForwardedChannels);
    fixture.start(QStringLiteral("/usr/bin/python3"),
                  {QString::fromLocal8Bit(std::getenv(kFixtureScript)), QStringLiteral("logind"),
                   QString::fromLatin1(action)});
    return fixture.waitForFinished(kFixtureTimeoutMs) &&
           fixture.exitStatus() == QProcess::NormalExit && fixture.exitCode() == 0;
}

bool LogindMock::Start() {
    return Available() && RunFixture("start");
}

bool LogindMock::Stop() {
    return RunFixture("stop");
}

QString LogindMock::SessionPath(const QString& id) {
    return QStringLiteral("/org/freedesktop/login1/session/") + id;
}

bool LogindMock::AddSession(const QString& id) {
    return Succeeds(kManagerPath, kMockInterface, QStringLiteral("AddSession"),
                    {id, QStringLiteral("seat0"), static_cast<quint32>(getuid()),
                     QStringLiteral("varne-test"), true});
}

bool LogindMock::SetLockedHint(const QString& id, bool locked) {
    return Succeeds(SessionPath(id), kSessionInterface, QStringLiteral("SetLockedHint"), {locked});
}

bool LogindMock::Lock(const QString& id) {
    return Succeeds(SessionPath(id), kSessionInterface, QStringLiteral("Lock"));
}

bool LogindMock::PrepareForSleep(bool starting) {
    const QVariantList signalArguments{QVariant::fromValue(QDBusVariant(starting))};
    return Succeeds(kManagerPath, kMockInterface, QStringLiteral("EmitSignal"),
                    {kManagerInterface, QStringLiteral("PrepareForSleep"), QStringLiteral("b"),
                     signalArguments});
}

bool LogindMock::AnswerSessionByPid(const QString& id) {
    return Succeeds(kManagerPath, kMockInterface, QStringLiteral("AddMethod"),
                    {kManagerInterface, QStringLiteral("GetSessionByPID"), QStringLiteral("u"),
                     QStringLiteral("o"), QStringLiteral("ret = '%1'").arg(SessionPath(id))});
}

std::vector<QVariantList> LogindMock::ManagerCalls(const QString& method) {
    const QDBusMessage reply =
        Call(kManagerPath, kMockInterface, QStringLiteral("GetMethodCalls"), {method});
    std::vector<QVariantList> calls;
    if (reply.type() != QDBusMessage::ReplyMessage) {
        return calls;
    }
    const QDBusArgument list = reply.arguments().value(0).value<QDBusArgument>();
    list.beginArray();
    while (!list.atEnd()) {
        quint64 timestamp = 0;
        QVariantList arguments;
        list.beginStructure();
        list >> timestamp >> arguments;
        list.endStructure();
        calls.push_back(arguments);
    }
    list.endArray();
    return calls;
}

QDBusMessage LogindMock::Call(const QString& path, const QString& interface, const QString& method,
                              const QVariantList& arguments) {
    QDBusMessage message = QDBusMessage::createMethodCall(kLogind, path, interface, method);
    message.setArguments(arguments);
    return m_bus.Call(message);
}

bool LogindMock::Succeeds(const QString& path, const QString& interface, const QString& method,
                          const QVariantList& arguments) {
    return Call(path, interface, method, arguments).type() == QDBusMessage::ReplyMessage;
}
