// A fake system tree for VARNE_SYSTEM_ROOT: PAM files, pam-auth-update, authselect, USB devices.
#include "SystemTree.h"

#include <filesystem>

void SystemTree::Write(std::string_view absolutePath, const std::string& content) const {
    const std::filesystem::path path = Root().Resolve(absolutePath);
    std::filesystem::create_directories(path.parent_path());
    WriteFile(path, content);
}

void SystemTree::InstallFprintdModule() const {
    Write("/usr/lib/x86_64-linux-gnu/security/pam_fprintd.so", "");
}

void SystemTree::WriteDebian(bool fingerprintOn) const {
    InstallFprintdModule();
    std::string commonAuth = "# here are the per-package modules (the \"Primary\" block)\n";
    if (fingerprintOn) {
        commonAuth += "auth\t[success=2 default=ignore]\tpam_fprintd.so max-tries=1 timeout=10\n";
    }
    commonAuth +=
        "auth\t[success=1 default=ignore]\tpam_unix.so nullok\n"
        "auth\trequisite\t\t\tpam_deny.so\n"
        "auth\trequired\t\t\tpam_permit.so\n";
    Write("/etc/pam.d/common-auth", commonAuth);
    for (const char* service : {"sudo", "su", "login"}) {
        Write(std::string("/etc/pam.d/") + service,
              "#%PAM-1.0\nsession required pam_env.so\n@include common-auth\n"
              "@include common-account\n");
    }
    Write("/etc/pam.d/common-account", "account required pam_unix.so\n");
    Write("/usr/lib/pam.d/polkit-1", "#%PAM-1.0\n@include common-auth\n");
    Write("/usr/share/pam-configs/unix", "Name: Unix authentication\n");
    Write("/usr/share/pam-configs/fprintd", "Name: Fingerprint authentication\nDefault: no\n");
    Write("/var/lib/pam/auth",
          std::string(fingerprintOn ? "Module: fprintd\n[success=end default=ignore]\t"
                                      "pam_fprintd.so max-tries=1 timeout=10\n"
                                    : "") +
              "Module: unix\n[success=end default=ignore]\tpam_unix.so nullok\n");
}

void SystemTree::AddUsbDevice(std::string_view name, std::string_view vendor,
                              std::string_view product, const std::string& productName) const {
    const std::string folder = std::string("/sys/bus/usb/devices/").append(name).append("/");
    Write(folder + "idVendor", std::string(vendor) + "\n");
    Write(folder + "idProduct", std::string(product) + "\n");
    Write(folder + "product", productName + "\n");
}

void SystemTree::WriteLibfprintList() const {
    Write("/lib/udev/hwdb.d/60-autosuspend-libfprint-2.hwdb",
          "# SPDX-License-Identifier: LGPL-2.1-or-later\n"
          "# This file has been generated using fprint-list-udev-hwdb with all drivers enabled\n"
          "\n"
          "# Supported by libfprint driver synaptics\n"
          "usb:v06CBp00BD*\n"
          " ID_AUTOSUSPEND=1\n"
          " ID_PERSIST=0\n"
          "\n"
          "# Known unsupported devices\n"
          "usb:v27C6p5395*\n"
          " ID_AUTOSUSPEND=1\n"
          " ID_PERSIST=0\n");
}
