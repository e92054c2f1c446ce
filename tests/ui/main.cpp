// Test entry for widget tests: the QApplication must exist before any test runs.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr const char* kOffscreen = "offscreen";

}  // namespace

#include "SystemTree.h"

int main(int argc, char** argv) {
    // Test discovery and CI run without a display.
    const char* platform = std::getenv("QT_QPA_PLATFORM");
#ifdef VARNE_OFFSCREEN_SCREENS
    // A screen as large as a desktop's, where a large font's window fits, and a small one.
    if (platform == nullptr || std::strcmp(platform, kOffscreen) == 0) {
        const std::string configured =
            std::string(kOffscreen) + ":configfile=" + VARNE_OFFSCREEN_SCREENS;
        setenv("QT_QPA_PLATFORM", configured.c_str(), 1);
    }
#else
    if (platform == nullptr) {
        setenv("QT_QPA_PLATFORM", kOffscreen, 1);
    }
#endif
    // The window reads the system's PAM files and USB devices: here a tree of the tests' own,
    // where fingerprint login is on, so no window adds advice unless a test asks for it.
    const SystemTree systemTree;
    systemTree.WriteDebian(true);
    setenv(kSystemRootVariable, systemTree.RootText().c_str(), 1);
    QApplication application(argc, argv);
    Q_INIT_RESOURCE(varne);  // linked from a static library, which would drop it otherwise
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
