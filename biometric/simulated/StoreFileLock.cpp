// An advisory lock on a file beside the store, held across one read-modify-write.
#include "StoreFileLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

namespace {

constexpr mode_t kOwnerOnly = S_IRUSR | S_IWUSR;
constexpr std::chrono::milliseconds kRetryInterval{1};

}  // namespace

StoreFileLock::~StoreFileLock() {
    if (m_fd >= 0) {
        close(m_fd);  // releases the lock
    }
}

StatusCode StoreFileLock::Acquire(const std::string& lockPath) {
    // No links followed and no blocking open, so a planted link or pipe cannot redirect or hang
    // us; a lock file of another user could be held against us forever.
    m_fd =
        open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, kOwnerOnly);
    if (m_fd < 0) {
        return kDatabaseWriteError;
    }
    struct stat status = {};
    if (fstat(m_fd, &status) != 0 || !S_ISREG(status.st_mode) || status.st_uid != geteuid()) {
        return kDatabaseWriteError;
    }
    const auto deadline = std::chrono::steady_clock::now() + kMaxWait;
    while (flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR) {
            return kDatabaseWriteError;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return kDatabaseLocked;
        }
        std::this_thread::sleep_for(kRetryInterval);
    }
    return kOk;
}
