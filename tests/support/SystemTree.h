// A fake system tree for VARNE_SYSTEM_ROOT: PAM files, pam-auth-update, authselect, USB devices.
#pragma once

#include <string>
#include <string_view>

#include "SystemRoot.h"
#include "TemporaryDirectory.h"

class SystemTree {
public:
    SystemTree() = default;

    std::string RootText() const { return m_directory.Path().string(); }
    SystemRoot Root() const { return SystemRoot(m_directory.Path()); }

    // An absolute system path, written under the tree with its folders.
    void Write(std::string_view absolutePath, const std::string& content) const;
    void InstallFprintdModule() const;
    // Debian as installed: sudo, su and login include common-auth; polkit-1 in /usr/lib/pam.d;
    // pam-auth-update with libpam-fprintd's profile, on or off.
    void WriteDebian(bool fingerprintOn) const;
    // A USB device in sysfs.
    void AddUsbDevice(std::string_view name, std::string_view vendor, std::string_view product,
                      const std::string& productName) const;
    // libfprint's list with one supported driver (06cb:00bd, synaptics) and one unsupported
    // device (27c6:5395).
    void WriteLibfprintList() const;

private:
    TemporaryDirectory m_directory;
};
