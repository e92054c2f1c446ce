// libfprint's list of USB fingerprint readers, from its udev hardware database file.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "SystemFile.h"
#include "SystemRoot.h"

struct UsbId {
    std::uint16_t vendor = 0;
    std::uint16_t product = 0;
    auto operator<=>(const UsbId&) const = default;
};

constexpr std::string_view kLibfprintDeviceListPath =
    "/lib/udev/hwdb.d/60-autosuspend-libfprint-2.hwdb";

class LibfprintDeviceList {
public:
    // Lines "usb:vVVVVpPPPP*" under "# Supported by libfprint driver NAME" or
    // "# Known unsupported devices"; other sections and lines are ignored.
    static LibfprintDeviceList Parse(std::string_view text);
    static LibfprintDeviceList Read(const SystemRoot& root);

    bool Readable() const { return m_file.state == SystemFileState::kRead; }
    const SystemFile& File() const { return m_file; }
    // The driver's name for a supported reader, empty for a known unsupported one; null for a
    // device that is no fingerprint reader libfprint knows.
    const std::string* Find(UsbId id) const;

private:
    SystemFile m_file;
    std::map<UsbId, std::string> m_readers;
};
