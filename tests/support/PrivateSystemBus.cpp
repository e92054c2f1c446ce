// A test's own connection to the system bus: the daemon sees it as one more client, and it
// closes with the object.
#include "PrivateSystemBus.h"

#include <atomic>

namespace {

// Qt shares connections by name: each object needs a name of its own to get a connection of
// its own.
QString NextConnectionName(const char* what) {
    static std::atomic<int> counter{0};
    return QStringLiteral("varne-test-%1-%2").arg(QLatin1String(what)).arg(counter.fetch_add(1));
}

}  // namespace

PrivateSystemBus::PrivateSystemBus(const char* what)
    : m_name(NextConnectionName(what)),
      m_bus(QDBusConnection::connectToBus(QDBusConnection::SystemBus, m_name)) {}

PrivateSystemBus::~PrivateSystemBus() {
    QDBusConnection::disconnectFromBus(m_name);
}
