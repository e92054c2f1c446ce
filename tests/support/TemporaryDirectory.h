// A fresh directory for one test's files, removed with everything in it at the end.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

class TemporaryDirectory {
public:
    TemporaryDirectory();
    ~TemporaryDirectory();
    TemporaryDirectory(const TemporaryDirectory&) = delete;
    TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    // The path of a file in the directory, as text for the variables that take one.
    std::string File(const std::string& name) const;
    // The names of everything in it, sorted so that tables can compare them.
    std::vector<std::string> Entries() const;

private:
    std::filesystem::path m_path;
};

std::string ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, const std::string& content);
