// The directory that stands for / when reading the system's files for the login and reader reports.
#include "SystemRoot.h"

#include <cstdlib>

SystemRoot::SystemRoot(std::filesystem::path root) : m_root(std::move(root)) {}

SystemRoot SystemRoot::FromEnvironment() {
    const char* value = std::getenv(kSystemRootVariable);
    return SystemRoot(value != nullptr && *value != '\0' ? value : "/");
}

std::filesystem::path SystemRoot::Resolve(std::string_view absolutePath) const {
    while (!absolutePath.empty() && absolutePath.front() == '/') {
        absolutePath.remove_prefix(1);
    }
    return m_root / std::filesystem::path(absolutePath);
}
