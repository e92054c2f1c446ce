// Reading one small system file whole, with a size limit, saying why it could not be read.
#include "SystemFile.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

#include "Translation.h"

SystemFile ReadSystemFile(const std::filesystem::path& path, std::size_t limit) {
    SystemFile file;
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (!std::filesystem::exists(status)) {
        if (error && error != std::errc::no_such_file_or_directory &&
            error != std::errc::not_a_directory) {
            file.state = SystemFileState::kUnreadable;
            file.reason = error.message();
        }
        return file;
    }
    // A pipe or a device could block the read for ever; configuration is a plain file.
    if (!std::filesystem::is_regular_file(status)) {
        file.state = SystemFileState::kUnreadable;
        file.reason = Translate("not a regular file");
        return file;
    }
    std::ifstream stream(path, std::ios::binary);
    if (!stream) {
        file.state = SystemFileState::kUnreadable;
        file.reason = std::strerror(errno);
        return file;
    }
    // Read one byte past the limit rather than trust the size: /proc-like files report 0.
    std::string text(limit + 1, '\0');
    stream.read(text.data(), static_cast<std::streamsize>(text.size()));
    if (stream.bad()) {
        file.state = SystemFileState::kUnreadable;
        file.reason = std::strerror(errno);
        return file;
    }
    text.resize(static_cast<std::size_t>(stream.gcount()));
    if (text.size() > limit) {
        file.state = SystemFileState::kTooLarge;
        return file;
    }
    file.state = SystemFileState::kRead;
    file.text = std::move(text);
    return file;
}
