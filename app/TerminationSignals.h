// SIGTERM and SIGINT turned into a call on the window's thread; the handler only writes a byte.
#pragma once

#include <QObject>
#include <functional>
#include <string>

class QSocketNotifier;

class TerminationSignals : public QObject {
    Q_OBJECT
public:
    // Installs the handlers, once per process; a signal caught before any TerminationSignals
    // exists is kept for the first one. False, with why, when they cannot be installed.
    static bool Catch(std::string* error);

    // Calls onSignal on this thread for the signals caught (a burst may come as one call).
    // Catch() must have succeeded.
    explicit TerminationSignals(std::function<void()> onSignal, QObject* parent = nullptr);

private:
    void Drain();

    std::function<void()> m_onSignal;
    QSocketNotifier* m_notifier = nullptr;
};
