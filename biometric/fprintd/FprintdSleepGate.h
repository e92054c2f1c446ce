// Holds the back end's releases while logind says the system sleeps.
#pragma once

#include <QObject>
#include <chrono>
#include <functional>
#include <vector>

class QDBusConnection;
class QTimer;

// On logind's PrepareForSleep(true) fprintd suspends its readers, and a Release sent to a
// suspended reader fails and leaves it open: nobody can claim it again until fprintd restarts.
// So releases wait for PrepareForSleep(false), or for the longest sleep, which counts only
// while the system is awake.
class FprintdSleepGate : public QObject {
    Q_OBJECT

public:
    explicit FprintdSleepGate(std::chrono::milliseconds longestSleep);
    ~FprintdSleepGate() override;

    // Hears logind on this connection; called again for each new connection. Unwatch before the
    // connection closes: Qt's bus thread keeps a pointer to every receiver still hooked on it.
    void Watch(QDBusConnection& connection);
    void Unwatch(QDBusConnection& connection);
    bool Asleep() const { return m_asleep; }
    // Runs `action` now when awake, else once the system has resumed, in the order given.
    void WhenAwake(std::function<void()> action);

public Q_SLOTS:
    void OnPrepareForSleep(bool sleeping);

private:
    void Wake();

    bool m_asleep = false;
    std::vector<std::function<void()>> m_waiting;
    QTimer* m_longestSleep;
};
