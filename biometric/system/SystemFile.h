// Reading one small system file whole, with a size limit, saying why it could not be read.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

enum class SystemFileState { kRead, kMissing, kUnreadable, kTooLarge };

struct SystemFile {
    SystemFileState state = SystemFileState::kMissing;
    std::string text;    // when read
    std::string reason;  // when unreadable: the system's words
};

// Configuration files are a few kilobytes; anything far larger is not one.
constexpr std::size_t kSystemFileLimit = 64 * 1024;

SystemFile ReadSystemFile(const std::filesystem::path& path, std::size_t limit = kSystemFileLimit);
