// Entry point: answers --help and --version, installs the simulated sensor, runs the window.
#include <iostream>

#include "CVarneApp.h"
#include "SimulatedService.h"
#include "WinBio.h"

namespace {

constexpr int kExitBadEnvironment = 2;

}  // namespace

int main(int argc, char** argv) {
    // Answered before Qt starts, so they work without a display and touch no back end.
    const std::string commandLine = CVarneApp::CommandLineText(argc, argv);
    if (const auto information = CVarneApp::InformationText(commandLine)) {
        std::cout << *information;
        return 0;
    }

    std::string error;
    auto backend = CreateSimulatedServiceFromEnvironment(&error);
    if (!backend) {
        std::cerr << "varne: " << error << '\n';
        return kExitBadEnvironment;
    }
    InstallBiometricBackend(std::move(backend));

    // The resources sit in a static library; naming them keeps the linker from dropping them.
    Q_INIT_RESOURCE(varne);
    CVarneApp application(argc, argv);
    const int result = application.InitInstance();
    InstallBiometricBackend(nullptr);
    return result;
}
