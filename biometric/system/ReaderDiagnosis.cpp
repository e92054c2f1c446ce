// Why no reader is listed: a known reader without a driver, a supported one not listed, or none.
#include "ReaderDiagnosis.h"

#include <array>
#include <cstdio>

#include "LibfprintDeviceList.h"
#include "TerminalText.h"
#include "Translation.h"
#include "UsbDevices.h"

namespace {

constexpr std::size_t kUsbIdTextSize = sizeof("vvvv:pppp");
constexpr const char* kRestartFprintdCommand = "sudo systemctl restart fprintd";

std::string DeviceName(const UsbDevice& device) {
    std::array<char, kUsbIdTextSize> id{};
    std::snprintf(id.data(), id.size(), "%04x:%04x", device.id.vendor, device.id.product);
    std::string name = id.data();
    if (!device.product.empty()) {
        name += ' ';
        name += QuoteForTerminal(device.product);
    }
    if (!device.manufacturer.empty()) {
        // TRANSLATORS: a USB device and its maker: 06cb:00bd "Prometheus" by "Synaptics".
        name = FillPlaceholders(Translate("%1$s by %2$s"),
                                {{"%1$s", name}, {"%2$s", QuoteForTerminal(device.manufacturer)}});
    }
    return name;
}

std::string SupportedLine(const UsbDevice& device, const std::string& driver) {
    return FillPlaceholders(
        Translate("the fingerprint reader %1$s is connected and libfprint's driver %2$s supports "
                  "it, but fprintd does not list it: restart fprintd (%3$s) or check the "
                  "device's permissions"),
        {{"%1$s", DeviceName(device)},
         {"%2$s", EscapeForTerminal(driver)},
         {"%3$s", kRestartFprintdCommand}});
}

std::string UnsupportedLine(const UsbDevice& device) {
    return FillPlaceholders(
        Translate("the fingerprint reader %s is connected, but libfprint has no driver for it"),
        {{"%s", DeviceName(device)}});
}

}  // namespace

std::string ReaderDiagnosis::Text() const {
    std::string text;
    for (const std::string& line : lines) {
        text += line + "\n";
    }
    return text;
}

ReaderDiagnosis DiagnoseMissingReader(const SystemRoot& root) {
    ReaderDiagnosis diagnosis;
    const LibfprintDeviceList list = LibfprintDeviceList::Read(root);
    if (!list.Readable()) {
        diagnosis.kind = ReaderDiagnosisKind::kDeviceListUnreadable;
        const SystemFile& file = list.File();
        const char* text = file.state == SystemFileState::kMissing
                               ? Translate(
                                     "libfprint's device list %s is missing (is libfprint "
                                     "installed?), so the connected USB devices cannot be "
                                     "recognised as fingerprint readers")
                               : Translate(
                                     "libfprint's device list %s cannot be read, so the "
                                     "connected USB devices cannot be recognised as "
                                     "fingerprint readers");
        diagnosis.lines.push_back(
            FillPlaceholders(text, {{"%s", std::string(kLibfprintDeviceListPath)}}));
        return diagnosis;
    }
    std::vector<std::string> supported;
    std::vector<std::string> unsupported;
    for (const UsbDevice& device : ListUsbDevices(root)) {
        if (const std::string* driver = list.Find(device.id)) {
            if (driver->empty()) {
                unsupported.push_back(UnsupportedLine(device));
            } else {
                supported.push_back(SupportedLine(device, *driver));
            }
        }
    }
    // A reader fprintd could use but does not is the one worth fixing first.
    if (!supported.empty()) {
        diagnosis.kind = ReaderDiagnosisKind::kSupportedNotListed;
    } else if (!unsupported.empty()) {
        diagnosis.kind = ReaderDiagnosisKind::kUnsupported;
    } else {
        diagnosis.kind = ReaderDiagnosisKind::kNoReader;
        diagnosis.lines.push_back(
            Translate("no fingerprint reader is connected: none of the USB devices is one "
                      "libfprint knows"));
        return diagnosis;
    }
    diagnosis.lines = std::move(supported);
    diagnosis.lines.insert(diagnosis.lines.end(), unsupported.begin(), unsupported.end());
    return diagnosis;
}
