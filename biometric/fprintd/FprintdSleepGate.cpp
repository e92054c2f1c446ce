// Holds the back end's releases while logind says the system sleeps.
#include "FprintdSleepGate.h"

#include <QDBusConnection>
#include <QTimer>

#include "LogindNames.h"

FprintdSleepGate::FprintdSleepGate(std::chrono::milliseconds longestSleep)
    : m_longestSleep(new QTimer(this)) {
    m_longestSleep->setSingleShot(true);
    m_longestSleep->setInterval(longestSleep);
    connect(m_longestSleep, &QTimer::timeout, this, &FprintdSleepGate::Wake);
}

FprintdSleepGate::~FprintdSleepGate() = default;

namespace {

const char* const kSlot = SLOT(OnPrepareForSleep(bool));

}  // namespace

void FprintdSleepGate::Watch(QDBusConnection& connection) {
    // By logind's name: nobody else can make the back end hold its releases.
    connection.connect(QString::fromLatin1(kLogindService), QString::fromLatin1(kLogindManagerPath),
                       QString::fromLatin1(kLogindManagerInterface),
                       QString::fromLatin1(kPrepareForSleep), this, kSlot);
}

void FprintdSleepGate::Unwatch(QDBusConnection& connection) {
    connection.disconnect(QString::fromLatin1(kLogindService),
                          QString::fromLatin1(kLogindManagerPath),
                          QString::fromLatin1(kLogindManagerInterface),
                          QString::fromLatin1(kPrepareForSleep), this, kSlot);
}

void FprintdSleepGate::WhenAwake(std::function<void()> action) {
    if (m_asleep) {
        m_waiting.push_back(std::move(action));
    } else {
        action();
    }
}

void FprintdSleepGate::OnPrepareForSleep(bool sleeping) {
    if (!sleeping) {
        Wake();
        return;
    }
    m_asleep = true;
    m_longestSleep->start();
}

void FprintdSleepGate::Wake() {
    m_longestSleep->stop();
    m_asleep = false;
    auto waiting = std::move(m_waiting);
    m_waiting.clear();
    for (auto& action : waiting) {
        action();
    }
}
