// The test fixture's logind mock (python-dbusmock's template): started, played and stopped.
#pragma once

#include <QDBusMessage>
#include <QString>
#include <QVariantList>
#include <vector>

#include "PrivateSystemBus.h"

class LogindMock {
public:
    // False when the test does not run under a fixture that can start the mock.
    static bool Available();

    // Through the fixture, which records the mock's PID and stops it at the end in any case;
    // true once the mock owns logind's name.
    bool Start();
    bool Stop();

    bool AddSession(const QString& id);
    bool SetLockedHint(const QString& id, bool locked);
    // The session's Lock request, as `loginctl lock-session` sends it: logind emits Lock.
    bool Lock(const QString& id);
    bool PrepareForSleep(bool starting);
    // GetSessionByPID, which the template lacks, answers with that session.
    bool AnswerSessionByPid(const QString& id);
    // The arguments of each call of the manager's method so far, oldest first.
    std::vector<QVariantList> ManagerCalls(const QString& method);

    static QString SessionPath(const QString& id);

private:
    QDBusMessage Call(const QString& path, const QString& interface, const QString& method,
                      const QVariantList& arguments = {});
    bool Succeeds(const QString& path, const QString& interface, const QString& method,
                  const QVariantList& arguments = {});
    static bool RunFixture(const char* action);

    PrivateSystemBus m_bus{"logind-mock"};
};
