// The daemons fixture.py started for this test: restarting fprintd, the polkit mock, the virtual
// sensor, and a second program that uses the reader.
#include "FprintdSandbox.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QElapsedTimer>
#include <QProcess>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "LogindMock.h"

namespace {

const QString kService = QStringLiteral("net.reactivated.Fprint");
const QString kDeviceInterface = QStringLiteral("net.reactivated.Fprint.Device");
const QString kPolkitService = QStringLiteral("org.freedesktop.PolicyKit1");
const QString kPolkitPath = QStringLiteral("/org/freedesktop/PolicyKit1/Authority");
const QString kMockInterface = QStringLiteral("org.freedesktop.DBus.Mock");
constexpr std::chrono::seconds kSensorPatience{5};
constexpr int kSensorCloseWaitMs = 5000;

// One for the whole run, kept open until the end.
QDBusConnection& ControlBus() {
    static QDBusConnection bus = QDBusConnection::connectToBus(
        QDBusConnection::SystemBus, QStringLiteral("varne-test-control"));
    return bus;
}

bool CallMock(const QString& method, const QVariantList& arguments, QDBusMessage* reply = nullptr) {
    QDBusMessage message =
        QDBusMessage::createMethodCall(kPolkitService, kPolkitPath, kMockInterface, method);
    message.setArguments(arguments);
    const QDBusMessage answer = ControlBus().call(message);
    if (reply != nullptr) {
        *reply = answer;
    }
    return answer.type() == QDBusMessage::ReplyMessage;
}

bool RunFixture(const QStringList& arguments) {
    const QString script = QString::fromLocal8Bit(std::getenv("VARNE_FIXTURE_SCRIPT"));
    return QProcess::execute(QStringLiteral("/usr/bin/python3"), QStringList{script} + arguments) ==
           0;
}

QString VariantName(FprintdVariant variant) {
    switch (variant) {
        case FprintdVariant::kStorage:
            return QStringLiteral("storage");
        case FprintdVariant::kNoReader:
            return QStringLiteral("none");
        case FprintdVariant::kPlain:
            break;
    }
    return QStringLiteral("plain");
}

bool SendOnce(const std::string& path, const std::string& command, bool* refused) {
    *refused = false;
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
    if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
        *refused = errno == ECONNREFUSED || errno == ENOENT;
        close(fd);
        return false;
    }
    bool sent = send(fd, command.data(), command.size(), MSG_NOSIGNAL) ==
                static_cast<ssize_t>(command.size());
    // The driver closes the connection once it has read the command.
    pollfd waiting{fd, POLLIN, 0};
    char buffer[64];
    while (sent && poll(&waiting, 1, kSensorCloseWaitMs) > 0) {
        if (recv(fd, buffer, sizeof(buffer), 0) <= 0) {
            break;
        }
    }
    close(fd);
    return sent;
}

std::string CurrentUserName() {
    const passwd* entry = getpwuid(getuid());
    return entry != nullptr ? entry->pw_name : "";
}

}  // namespace

namespace FprintdSandbox {

bool Available() {
    return std::getenv("VARNE_FIXTURE_DIR") != nullptr &&
           std::getenv("VARNE_FIXTURE_SCRIPT") != nullptr;
}

bool StopFprintd(bool kill) {
    QStringList arguments{QStringLiteral("fprintd"), QStringLiteral("stop")};
    if (kill) {
        arguments << QStringLiteral("--kill");
    }
    return RunFixture(arguments);
}

int FprintdPid() {
    std::ifstream pidFile(std::string(std::getenv("VARNE_FIXTURE_DIR")) + "/fprintd.pid");
    pid_t pid = 0;
    return (pidFile >> pid) ? pid : 0;
}

bool FprintdAlive() {
    std::ifstream stat("/proc/" + std::to_string(FprintdPid()) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const auto end = text.rfind(')');
    return end != std::string::npos && end + 2 < text.size() && text[end + 2] != 'Z' &&
           text[end + 2] != 'X';
}

bool KillFprintdNow() {
    const pid_t pid = FprintdPid();
    return pid > 0 && kill(pid, SIGKILL) == 0;
}

bool StartFprintd(FprintdVariant variant) {
    return RunFixture({QStringLiteral("fprintd"), QStringLiteral("start"),
                       QStringLiteral("--variant"), VariantName(variant)});
}

bool SendSensor(const std::string& command) {
    const char* path = std::getenv("VARNE_FIXTURE_SENSOR");
    if (path == nullptr) {
        return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + kSensorPatience;
    while (std::chrono::steady_clock::now() < deadline) {
        bool refused = false;
        if (SendOnce(path, command, &refused)) {
            return true;
        }
        if (!refused) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

bool SetAllowed(const QStringList& actions) {
    return CallMock(QStringLiteral("SetAllowed"), {actions});
}

bool HangActions(const QStringList& actions) {
    return CallMock(QStringLiteral("SimulateHangActions"), {actions});
}

bool ReleaseHangingCalls(const QStringList& stillHeld) {
    // The user answered the prompt, and the desktop keeps the answer for a while: fprintd's own
    // check of the same action passes afterwards.
    return CallMock(QStringLiteral("SimulateHangActions"), {stillHeld}) &&
           CallMock(QStringLiteral("ReleaseHangingCalls"), {});
}

bool ResetPolkit() {
    return CallMock(QStringLiteral("Reset"), {});
}

std::vector<PolkitCheck> PolkitChecks() {
    QDBusMessage reply;
    std::vector<PolkitCheck> checks;
    if (!CallMock(QStringLiteral("GetChecks"), {}, &reply)) {
        return checks;
    }
    const auto list = reply.arguments().value(0).value<QDBusArgument>();
    list.beginArray();
    while (!list.atEnd()) {
        PolkitCheck check;
        list.beginStructure();
        list >> check.subjectKind >> check.subjectName >> check.action >> check.flags >>
            check.cancellationId;
        list.endStructure();
        checks.push_back(check);
    }
    list.endArray();
    return checks;
}

bool HaveHangingCalls() {
    QDBusMessage reply;
    return CallMock(QStringLiteral("HaveHangingCalls"), {}, &reply) &&
           reply.arguments().value(0).toBool();
}

bool WaitForHangingCall(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!HaveHangingCalls()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

}  // namespace FprintdSandbox

QString OtherClient::DevicePath() {
    const QDBusMessage reply = m_bus.Call(QDBusMessage::createMethodCall(
        kService, QStringLiteral("/net/reactivated/Fprint/Manager"),
        QStringLiteral("net.reactivated.Fprint.Manager"), QStringLiteral("GetDefaultDevice")));
    return qdbus_cast<QDBusObjectPath>(reply.arguments().value(0)).path();
}

QString OtherClient::CallDevice(const QString& method, const QVariantList& arguments) {
    QDBusMessage message =
        QDBusMessage::createMethodCall(kService, DevicePath(), kDeviceInterface, method);
    message.setArguments(arguments);
    const QDBusMessage reply = m_bus.Call(message);
    return reply.type() == QDBusMessage::ReplyMessage ? QString() : reply.errorName();
}

QString OtherClient::Claim() {
    return CallDevice(QStringLiteral("Claim"), {QString::fromStdString(CurrentUserName())});
}

QString OtherClient::Release() {
    return CallDevice(QStringLiteral("Release"), {});
}

bool OtherClient::WaitUntilReaderFree() {
    const auto deadline = std::chrono::steady_clock::now() + kSensorPatience;
    while (!ClaimAndRelease().isEmpty()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

bool OtherClient::Enroll(const QString& finger, const std::string& print) {
    if (!WaitUntilReaderFree() || !Claim().isEmpty() || !EnrollStart(finger).isEmpty()) {
        return false;
    }
    bool scanned = true;
    for (int stage = 0; stage < FprintdSandbox::kVirtualStages && scanned; ++stage) {
        scanned = FprintdSandbox::SendSensor("SCAN " + print);
    }
    QString error;
    const auto deadline = std::chrono::steady_clock::now() + kSensorPatience;
    while (scanned && !ListEnrolledFingers(&error).contains(finger) &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EnrollStop();
    const bool released = Release().isEmpty();
    return scanned && released && ListEnrolledFingers(&error).contains(finger);
}

QString OtherClient::EnrollStart(const QString& finger) {
    return CallDevice(QStringLiteral("EnrollStart"), {finger});
}

QString OtherClient::EnrollStop() {
    return CallDevice(QStringLiteral("EnrollStop"), {});
}

QString OtherClient::ClaimAndRelease() {
    const QString claimed = Claim();
    if (claimed.isEmpty()) {
        Release();
    }
    return claimed;
}

QStringList OtherClient::ListEnrolledFingers(QString* error) {
    QDBusMessage message = QDBusMessage::createMethodCall(kService, DevicePath(), kDeviceInterface,
                                                          QStringLiteral("ListEnrolledFingers"));
    message.setArguments({QString::fromStdString(CurrentUserName())});
    const QDBusMessage reply = m_bus.Call(message);
    *error = reply.type() == QDBusMessage::ReplyMessage ? QString() : reply.errorName();
    return reply.arguments().value(0).toStringList();
}

bool FprintdSandbox::HeldThroughTheSleepAndFreedAfterTheResume(LogindMock& logind) {
    // Long enough for a release that was not held back to have reached fprintd.
    constexpr std::chrono::milliseconds kReleaseSettles{300};
    constexpr qint64 kFreeAfterResumeMs = 1000;
    std::this_thread::sleep_for(kReleaseSettles);
    const QString claimed = OtherClient().Claim();
    if (claimed != QStringLiteral("net.reactivated.Fprint.Error.AlreadyInUse")) {
        ADD_FAILURE() << "released while asleep: the claim answered '" << claimed.toStdString()
                      << "'";
        return false;
    }
    if (!logind.PrepareForSleep(false)) {
        ADD_FAILURE() << "the resume could not be played";
        return false;
    }
    QElapsedTimer clock;
    clock.start();
    if (!OtherClient().WaitUntilReaderFree()) {
        ADD_FAILURE() << "the reader was left claimed after the resume";
        return false;
    }
    EXPECT_LE(clock.elapsed(), kFreeAfterResumeMs);
    return true;
}
