// Drives libfprint's virtual sensor of the test fixture through its socket.
#pragma once

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QTest>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

class VirtualSensor {
public:
    // The fixture names the socket; empty when the test runs outside it.
    static std::string Path() {
        const char* path = std::getenv("VARNE_FIXTURE_SENSOR");
        return path != nullptr ? path : "";
    }

    // One command a connection, as the driver reads it (no line end). The socket listens only
    // while the reader is claimed, so connecting is retried, with the window's events running.
    static bool Send(const std::string& command, int timeoutMs = 5000) {
        const std::string path = Path();
        sockaddr_un address{};
        if (path.empty() || path.size() >= sizeof(address.sun_path)) {
            return false;
        }
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
        constexpr int kRetryMs = 10;
        for (int waited = 0; waited <= timeoutMs; waited += kRetryMs) {
            const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
            if (fd < 0) {
                return false;
            }
            if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0) {
                const bool sent = write(fd, command.data(), command.size()) ==
                                  static_cast<ssize_t>(command.size());
                // The driver closes the connection once it took the command.
                char ignored = 0;
                while (sent && read(fd, &ignored, 1) > 0) {
                }
                close(fd);
                return sent;
            }
            close(fd);
            QTest::qWait(kRetryMs);
        }
        return false;
    }
};
