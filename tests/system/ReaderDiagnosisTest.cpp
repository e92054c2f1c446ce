// Why no reader is listed, from fake USB devices and libfprint's device list.
#include <gtest/gtest.h>

#include "LibfprintDeviceList.h"
#include "ReaderDiagnosis.h"
#include "SystemTree.h"

TEST(ReaderDiagnosis, Cases) {
    const struct {
        const char* name;
        std::vector<std::array<std::string, 3>> devices;  // vendor, product, name
        ReaderDiagnosisKind kind;
        std::vector<std::string> lines;
    } rows[] = {
        {"a known reader without a driver",
         {{"1d6b", "0002", "EHCI Host Controller"}, {"27c6", "5395", "Goodix USB2.0 MISC"}},
         ReaderDiagnosisKind::kUnsupported,
         {"the fingerprint reader 27c6:5395 \"Goodix USB2.0 MISC\" is connected, but libfprint "
          "has no driver for it"}},
        {"a supported reader fprintd does not list",
         {{"06cb", "00bd", "Prometheus MIS Touch Fingerprint Reader"}},
         ReaderDiagnosisKind::kSupportedNotListed,
         {"the fingerprint reader 06cb:00bd \"Prometheus MIS Touch Fingerprint Reader\" is "
          "connected and libfprint's driver synaptics supports it, but fprintd does not list "
          "it: restart fprintd (sudo systemctl restart fprintd) or check the device's "
          "permissions"}},
        {"no reader",
         {{"1d6b", "0002", "EHCI Host Controller"}},
         ReaderDiagnosisKind::kNoReader,
         {"no fingerprint reader is connected: none of the USB devices is one libfprint knows"}},
        {"no USB devices at all",
         {},
         ReaderDiagnosisKind::kNoReader,
         {"no fingerprint reader is connected: none of the USB devices is one libfprint knows"}},
        {"a name from the device is quoted and escaped",
         {{"27c6", "5395", "x\x1b]0;y\"z"}},
         ReaderDiagnosisKind::kUnsupported,
         {"the fingerprint reader 27c6:5395 \"x\\x1b]0;y\\\"z\" is connected, but libfprint has "
          "no driver for it"}},
    };
    for (const auto& row : rows) {
        SystemTree tree;
        tree.WriteLibfprintList();
        int index = 0;
        for (const auto& [vendor, product, name] : row.devices) {
            tree.AddUsbDevice("1-" + std::to_string(++index), vendor, product, name);
        }
        // An interface's folder has no ids and is no device.
        tree.Write("/sys/bus/usb/devices/1-1:1.0/bInterfaceClass", "09\n");
        const ReaderDiagnosis diagnosis = DiagnoseMissingReader(tree.Root());
        EXPECT_EQ(diagnosis.kind, row.kind) << row.name;
        EXPECT_EQ(diagnosis.lines, row.lines) << row.name;
    }
}

TEST(ReaderDiagnosis, SupportedReaderComesFirst) {
    SystemTree tree;
    tree.WriteLibfprintList();
    tree.AddUsbDevice("1-1", "27c6", "5395", "unsupported");
    tree.AddUsbDevice("1-2", "06cb", "00bd", "supported");
    const ReaderDiagnosis diagnosis = DiagnoseMissingReader(tree.Root());
    EXPECT_EQ(diagnosis.kind, ReaderDiagnosisKind::kSupportedNotListed);
    ASSERT_EQ(diagnosis.lines.size(), 2u);
    EXPECT_NE(diagnosis.lines[0].find("\"supported\""), std::string::npos);
    EXPECT_NE(diagnosis.lines[1].find("\"unsupported\""), std::string::npos);
}

TEST(ReaderDiagnosis, WithoutLibfprintsList) {
    SystemTree tree;
    tree.AddUsbDevice("1-1", "27c6", "5395", "reader");
    const ReaderDiagnosis diagnosis = DiagnoseMissingReader(tree.Root());
    EXPECT_EQ(diagnosis.kind, ReaderDiagnosisKind::kDeviceListUnreadable);
    EXPECT_EQ(diagnosis.Text(),
              "libfprint's device list /lib/udev/hwdb.d/60-autosuspend-libfprint-2.hwdb is "
              "missing (is libfprint installed?), so the connected USB devices cannot be "
              "recognised as fingerprint readers\n");
}

TEST(LibfprintDeviceList, SectionsAndLines) {
    const LibfprintDeviceList list = LibfprintDeviceList::Parse(
        "# Supported by libfprint driver elan\n"
        "usb:v04F3p0C26*\r\n"
        "usb:v04F3p0903*\n"
        " ID_AUTOSUSPEND=1\n"
        "\n"
        "# Some other comment\n"
        "usb:v1111p2222*\n"
        "# Known unsupported devices\n"
        "usb:v27C6p5395*\n"
        "usb:vZZZZp0000*\n"
        "usb:v27C6\n");
    const struct {
        UsbId id;
        const char* driver;  // null: not listed
    } rows[] = {
        {{0x04f3, 0x0c26}, "elan"},  {{0x04f3, 0x0903}, "elan"},  {{0x27c6, 0x5395}, ""},
        {{0x1111, 0x2222}, nullptr}, {{0x04f3, 0x0000}, nullptr},
    };
    for (const auto& row : rows) {
        const std::string* driver = list.Find(row.id);
        if (row.driver == nullptr) {
            EXPECT_EQ(driver, nullptr) << row.id.vendor << ":" << row.id.product;
        } else {
            ASSERT_NE(driver, nullptr) << row.id.vendor << ":" << row.id.product;
            EXPECT_EQ(*driver, row.driver);
        }
    }
}
