// The daemons fixture.py started for this test: restarting fprintd, the polkit mock, the virtual
// sensor, and a second program that uses the reader.
#pragma once

#include <QString>
#include <QStringList>
#include <chrono>
#include <string>
#include <vector>

#include "PrivateSystemBus.h"

enum class FprintdVariant { kPlain, kStorage, kNoReader };

namespace FprintdSandbox {

// The virtual device's default number of enrollment stages.
inline constexpr int kVirtualStages = 5;

// False when the test runs outside fixture.py.
bool Available();
bool StopFprintd(bool kill);
// The PID of the fprintd the fixture (or the bus) started last; 0 when unknown.
int FprintdPid();
// Whether that fprintd still runs (a zombie does not).
bool FprintdAlive();
// SIGKILL to fprintd at once, as a crash would; the fixture still reaps it.
bool KillFprintdNow();
bool StartFprintd(FprintdVariant variant);
// One command to the virtual sensor, waiting until the driver has taken it; while the reader is
// not claimed yet the sensor refuses, so this retries for a while.
bool SendSensor(const std::string& command);

// The polkit mock: which actions it grants, which it holds until released.
bool SetAllowed(const QStringList& actions);
bool HangActions(const QStringList& actions);
// Answers the held checks as the user would, and holds no more.
bool ReleaseHangingCalls(const QStringList& stillHeld = {});
// Enroll and verify granted, nothing held, no checks recorded.
bool ResetPolkit();
struct PolkitCheck {
    QString subjectKind;
    QString subjectName;
    QString action;
    quint32 flags = 0;
    QString cancellationId;
};
// Every CheckAuthorization the mock saw since the last reset, fprintd's own included.
std::vector<PolkitCheck> PolkitChecks();
bool HaveHangingCalls();
// Waits until the polkit mock holds a call; false after the timeout.
bool WaitForHangingCall(std::chrono::milliseconds timeout);

inline const QString kEnrollAction = QStringLiteral("net.reactivated.fprint.device.enroll");
inline const QString kVerifyAction = QStringLiteral("net.reactivated.fprint.device.verify");

}  // namespace FprintdSandbox

// Another program on its own connection, as the lock screen would be.
class OtherClient {
public:
    // The D-Bus error name, empty on success.
    QString Claim();
    QString Release();
    // Claims and releases at once: empty when nobody else holds the reader.
    QString ClaimAndRelease();
    // The back end releases in the background: true once this client could claim the reader.
    bool WaitUntilReaderFree();
    // Enrolls a finger as fprintd's own tools would, scanning the print on the virtual sensor
    // until fprintd lists the finger; false when any step fails.
    bool Enroll(const QString& finger, const std::string& print);
    QString EnrollStart(const QString& finger);
    QString EnrollStop();
    QStringList ListEnrolledFingers(QString* error);

private:
    QString DevicePath();
    QString CallDevice(const QString& method, const QVariantList& arguments);

    PrivateSystemBus m_bus{"other"};
};

class LogindMock;

namespace FprintdSandbox {

// With logind's sleep announced and the back end's attempt ended: the reader stays claimed while
// the system sleeps, and once the resume is announced it is free within a second.
bool HeldThroughTheSleepAndFreedAfterTheResume(LogindMock& logind);

}  // namespace FprintdSandbox
