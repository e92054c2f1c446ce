// The USB devices the kernel lists in sysfs: ids and the names they give themselves.
#pragma once

#include <string>
#include <vector>

#include "LibfprintDeviceList.h"
#include "SystemRoot.h"

struct UsbDevice {
    UsbId id;
    std::string manufacturer;  // as the device says it, possibly empty
    std::string product;
};

constexpr std::string_view kUsbDevicesPath = "/sys/bus/usb/devices";

// Devices with readable idVendor and idProduct, in the directory's name order; interfaces and
// entries without ids are left out.
std::vector<UsbDevice> ListUsbDevices(const SystemRoot& root);
