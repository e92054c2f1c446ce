// Helpers for the simulated sensor's tests: an installed service, a capture recorder, files.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "SimulatedIdentity.h"
#include "SimulatedService.h"
#include "WinBio.h"

// Records capture results as the worker thread delivers them.
class CaptureRecorder {
public:
    struct Result {
        StatusCode status = kOk;
        RejectDetail rejectDetail = 0;
        std::thread::id thread;
    };

    static void Callback(void* context, StatusCode status, RejectDetail rejectDetail) {
        auto* recorder = static_cast<CaptureRecorder*>(context);
        std::lock_guard lock(recorder->m_mutex);
        recorder->m_results.push_back({status, rejectDetail, std::this_thread::get_id()});
        recorder->m_changed.notify_all();
    }

    // True once at least count results came, false after the timeout.
    bool WaitFor(std::size_t count,
                 std::chrono::milliseconds timeout = std::chrono::milliseconds(5000)) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, timeout, [&] { return m_results.size() >= count; });
    }

    std::vector<Result> Results() const {
        std::lock_guard lock(m_mutex);
        return m_results;
    }

    std::size_t Count() const {
        std::lock_guard lock(m_mutex);
        return m_results.size();
    }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<Result> m_results;
};

// A simulated service built from the given variables, installed behind the WinBio* layer.
class ScopedSimulatedService {
public:
    ScopedSimulatedService(
        std::initializer_list<SimulatedConfig::Variables::value_type> variables) {
        std::string error;
        m_service = CreateSimulatedService(variables, &error);
        EXPECT_NE(m_service, nullptr) << error;
        InstallBiometricBackend(m_service);
    }
    ~ScopedSimulatedService() { Destroy(); }
    ScopedSimulatedService(const ScopedSimulatedService&) = delete;
    ScopedSimulatedService& operator=(const ScopedSimulatedService&) = delete;

    void Destroy() {
        InstallBiometricBackend(nullptr);
        m_service.reset();
    }

private:
    std::shared_ptr<BiometricBackend> m_service;
};

inline SessionHandle OpenTestSession() {
    SessionHandle session = 0;
    EXPECT_EQ(WinBioOpenSession(kFactorFingerprint, kPoolSystem, kSessionFlagsDefault, nullptr, 0,
                                kDatabaseDefault, &session),
              kOk);
    EXPECT_NE(session, 0u);
    return session;
}

// The listing as a vector; the status goes to *status.
inline std::vector<SubFactor> ListEnrolled(SessionHandle session, UnitId unit,
                                           StatusCode* status = nullptr) {
    WINBIO_IDENTITY identity = SimulatedCurrentUserIdentity();
    SubFactor* array = nullptr;
    std::uint64_t count = 0;
    const StatusCode result = WinBioEnumEnrollments(session, unit, &identity, &array, &count);
    if (status != nullptr) {
        *status = result;
    }
    std::vector<SubFactor> fingers(array, array + count);
    if (array != nullptr) {
        WinBioFree(array);
    }
    return fingers;
}

// A fresh directory under the system's temporary directory, removed at the end.
class TemporaryDirectory {
public:
    TemporaryDirectory() {
        std::string pattern = (std::filesystem::temp_directory_path() / "varne-sim-XXXXXX");
        EXPECT_NE(mkdtemp(pattern.data()), nullptr);
        m_path = pattern;
    }
    ~TemporaryDirectory() { std::filesystem::remove_all(m_path); }

    const std::filesystem::path& Path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

inline std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
}

inline void WriteFile(const std::filesystem::path& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
}

// Sorted, so that tables can compare them.
inline std::vector<std::string> DirectoryEntries(const std::filesystem::path& directory) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}
