// A fresh directory for one test's files, removed with everything in it at the end.
#include "TemporaryDirectory.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <fstream>
#include <sstream>

namespace {

// A memory file system where there is one: the simulated store syncs every write, and a disk
// would make long runs slow for nothing.
constexpr const char* kMemoryFileSystem = "/dev/shm";

std::filesystem::path Base() {
    std::error_code ignored;
    if (std::filesystem::is_directory(kMemoryFileSystem, ignored)) {
        return kMemoryFileSystem;
    }
    return std::filesystem::temp_directory_path();
}

}  // namespace

TemporaryDirectory::TemporaryDirectory() {
    std::string pattern = (Base() / "varne-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) {
        m_path = pattern;
    }
    EXPECT_FALSE(m_path.empty()) << "no temporary directory: " << pattern;
}

TemporaryDirectory::~TemporaryDirectory() {
    if (!m_path.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
}

std::string TemporaryDirectory::File(const std::string& name) const {
    return (m_path / name).string();
}

std::vector<std::string> TemporaryDirectory::Entries() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(m_path)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
}

void WriteFile(const std::filesystem::path& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
}
