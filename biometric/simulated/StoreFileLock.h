// An advisory lock on a file beside the store, held across one read-modify-write.
#pragma once

#include <chrono>
#include <string>

#include "WinBio.h"

// The store itself cannot carry the lock: every write replaces it by a rename, and a lock on the
// replaced file no longer excludes anyone. The lock file is made once and never removed, since
// removing it would let two writers hold locks on different files.
class StoreFileLock {
public:
    // Writers hold the lock for one small write; waiting longer means something is wrong.
    static constexpr std::chrono::milliseconds kMaxWait{2000};

    StoreFileLock() = default;
    ~StoreFileLock();
    StoreFileLock(const StoreFileLock&) = delete;
    StoreFileLock& operator=(const StoreFileLock&) = delete;

    // kOk once held; kDatabaseWriteError when the lock file cannot be made or is not ours, and
    // kDatabaseLocked when another holder keeps it past kMaxWait.
    StatusCode Acquire(const std::string& lockPath);

private:
    int m_fd = -1;
};
