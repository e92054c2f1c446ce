// libfprint's list of USB fingerprint readers, from its udev hardware database file.
#include "LibfprintDeviceList.h"

#include <charconv>
#include <optional>
#include <sstream>

namespace {

constexpr std::string_view kDriverSection = "# Supported by libfprint driver ";
constexpr std::string_view kUnsupportedSection = "# Known unsupported devices";
constexpr std::string_view kMatchPrefix = "usb:v";
constexpr char kProductMark = 'p';
constexpr std::size_t kHexDigits = 4;
constexpr int kHexBase = 16;

std::optional<std::uint16_t> ParseHex(std::string_view text) {
    std::uint16_t value = 0;
    const auto [end, error] =
        std::from_chars(text.data(), text.data() + text.size(), value, kHexBase);
    if (error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

// "usb:v08FFp1600*" → 08ff:1600.
std::optional<UsbId> ParseMatch(std::string_view line) {
    if (line.rfind(kMatchPrefix, 0) != 0) {
        return std::nullopt;
    }
    line.remove_prefix(kMatchPrefix.size());
    if (line.size() < 2 * kHexDigits + 1 || line[kHexDigits] != kProductMark) {
        return std::nullopt;
    }
    const auto vendor = ParseHex(line.substr(0, kHexDigits));
    const auto product = ParseHex(line.substr(kHexDigits + 1, kHexDigits));
    if (!vendor || !product) {
        return std::nullopt;
    }
    return UsbId{*vendor, *product};
}

}  // namespace

LibfprintDeviceList LibfprintDeviceList::Parse(std::string_view text) {
    LibfprintDeviceList list;
    list.m_file.state = SystemFileState::kRead;
    std::istringstream lines{std::string(text)};
    std::string line;
    std::optional<std::string> section;  // the driver, "" for unsupported, nullopt for neither
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.rfind(kDriverSection, 0) == 0) {
            section = line.substr(kDriverSection.size());
        } else if (line.rfind(kUnsupportedSection, 0) == 0) {
            section = std::string();
        } else if (line.empty()) {
            continue;
        } else if (line.front() == '#') {
            section.reset();
        } else if (const auto id = ParseMatch(line); id && section) {
            list.m_readers.emplace(*id, *section);
        }
    }
    return list;
}

LibfprintDeviceList LibfprintDeviceList::Read(const SystemRoot& root) {
    SystemFile file = ReadSystemFile(root.Resolve(kLibfprintDeviceListPath));
    LibfprintDeviceList list =
        file.state == SystemFileState::kRead ? Parse(file.text) : LibfprintDeviceList();
    list.m_file = std::move(file);
    list.m_file.text.clear();
    return list;
}

const std::string* LibfprintDeviceList::Find(UsbId id) const {
    const auto found = m_readers.find(id);
    return found == m_readers.end() ? nullptr : &found->second;
}
