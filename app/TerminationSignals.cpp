// SIGTERM and SIGINT turned into a call on the window's thread; the handler only writes a byte.
#include "TerminationSignals.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>

namespace {

constexpr std::array<int, 2> kCaughtSignals = {SIGTERM, SIGINT};
constexpr std::size_t kDrainChunk = 64;

// [0] written by the handler, [1] read on the window's thread. Both ends never block: a full
// buffer already holds a wake-up, so a byte that does not fit is not needed.
int g_sockets[2] = {-1, -1};

void WriteWakeUp(int /*signal*/) {
    const int savedErrno = errno;  // the interrupted code may be about to read it
    const char byte = 1;
    const ssize_t written = write(g_sockets[0], &byte, 1);
    static_cast<void>(written);
    errno = savedErrno;
}

}  // namespace

bool TerminationSignals::Catch(std::string* error) {
    if (g_sockets[0] >= 0) {
        return true;
    }
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, g_sockets) != 0) {
        *error = std::string("cannot create the signal socket: ") + std::strerror(errno);
        g_sockets[0] = g_sockets[1] = -1;
        return false;
    }
    struct sigaction action = {};
    action.sa_handler = &WriteWakeUp;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;  // no call of Qt's or ours is cut short by the signal
    for (const int caught : kCaughtSignals) {
        if (sigaction(caught, &action, nullptr) != 0) {
            *error = std::string("cannot catch ") + strsignal(caught) + ": " + std::strerror(errno);
            return false;
        }
    }
    return true;
}

TerminationSignals::TerminationSignals(std::function<void()> onSignal, QObject* parent)
    : QObject(parent), m_onSignal(std::move(onSignal)) {
    Q_ASSERT(g_sockets[1] >= 0);
    m_notifier = new QSocketNotifier(g_sockets[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationSignals::Drain);
}

void TerminationSignals::Drain() {
    std::array<char, kDrainChunk> bytes{};
    bool caught = false;
    while (read(g_sockets[1], bytes.data(), bytes.size()) > 0) {
        caught = true;
    }
    if (caught && m_onSignal) {
        m_onSignal();
    }
}
