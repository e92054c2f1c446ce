// Test entry for widget tests: the QApplication must exist before any test runs.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "SystemTree.h"

int main(int argc, char** argv) {
    // Test discovery and CI run without a display.
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
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
