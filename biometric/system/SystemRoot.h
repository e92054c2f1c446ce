// The directory that stands for / when reading the system's files for the login and reader reports.
#pragma once

#include <filesystem>
#include <string_view>

constexpr const char* kSystemRootVariable = "VARNE_SYSTEM_ROOT";

class SystemRoot {
public:
    explicit SystemRoot(std::filesystem::path root);
    // VARNE_SYSTEM_ROOT, or / when it is unset or empty.
    static SystemRoot FromEnvironment();

    // An absolute system path ("/etc/pam.d/sudo") under the root.
    std::filesystem::path Resolve(std::string_view absolutePath) const;

private:
    std::filesystem::path m_root;
};
