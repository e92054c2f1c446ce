// The USB devices the kernel lists in sysfs: ids and the names they give themselves.
#include "UsbDevices.h"

#include <algorithm>
#include <charconv>
#include <filesystem>

#include "SystemFile.h"

namespace {

// A bus holds at most 127 devices; a few buses more than anyone has.
constexpr std::size_t kEntryLimit = 4096;
// Ids and names are one short line each.
constexpr std::size_t kAttributeLimit = 256;
constexpr int kHexBase = 16;

std::string FirstLine(const std::filesystem::path& path) {
    const SystemFile file = ReadSystemFile(path, kAttributeLimit);
    const std::string& text = file.text;
    return text.substr(0, text.find('\n'));
}

bool ParseId(const std::string& text, std::uint16_t& value) {
    const auto [end, error] =
        std::from_chars(text.data(), text.data() + text.size(), value, kHexBase);
    return !text.empty() && error == std::errc() && end == text.data() + text.size();
}

}  // namespace

std::vector<UsbDevice> ListUsbDevices(const SystemRoot& root) {
    std::vector<std::filesystem::path> entries;
    std::error_code error;
    std::filesystem::directory_iterator listing(root.Resolve(kUsbDevicesPath), error);
    for (;
         !error && listing != std::filesystem::directory_iterator() && entries.size() < kEntryLimit;
         listing.increment(error)) {
        entries.push_back(listing->path());
    }
    std::sort(entries.begin(), entries.end());
    std::vector<UsbDevice> devices;
    for (const std::filesystem::path& entry : entries) {
        UsbDevice device;
        if (!ParseId(FirstLine(entry / "idVendor"), device.id.vendor) ||
            !ParseId(FirstLine(entry / "idProduct"), device.id.product)) {
            continue;
        }
        device.manufacturer = FirstLine(entry / "manufacturer");
        device.product = FirstLine(entry / "product");
        devices.push_back(std::move(device));
    }
    return devices;
}
