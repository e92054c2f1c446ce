// The program's run: answers --help, --version, --list and --check, installs the chosen back
// end, runs the window until it closes or the process is asked to end.
#include "VarneMain.h"

#include <QCoreApplication>
#include <cstdlib>
#include <iostream>
#include <optional>

#include "CVarneApp.h"
#include "FprintdService.h"
#include "LoginCheck.h"
#include "ReaderReport.h"
#include "ServiceChoice.h"
#include "SessionStartup.h"
#include "SimulatedService.h"
#include "StartupTrace.h"
#include "TerminalText.h"
#include "TerminationSignals.h"
#include "Translation.h"
#include "WinBio.h"

namespace {

constexpr int kExitBadEnvironment = 2;
constexpr const char* kListOption = "--list";
constexpr const char* kCheckOption = "--check";

int RefuseEnvironment(const std::string& error) {
    std::cerr << "varne: " << EscapeForTerminal(error) << '\n';
    return kExitBadEnvironment;
}

// The fprintd back end talks D-Bus through Qt, so it is created once the application exists.
void InstallChosenBackend(std::shared_ptr<BiometricBackend> simulated) {
    InstallBiometricBackend(simulated ? std::move(simulated) : CreateFprintdService());
}

// As InstallChosenBackend, for the window: fprintd is asked what the window's start-up needs
// while the window is being built, which would otherwise wait for each answer in turn.
void InstallBackendForWindow(std::shared_ptr<BiometricBackend> simulated,
                             const std::string& commandLine) {
    if (simulated) {
        InstallBiometricBackend(std::move(simulated));
        return;
    }
    auto fprintd = CreateFprintdService();
    fprintd->BeginStartup(ParseUnitId(commandLine), &TraceStartupWork);
    InstallBiometricBackend(std::move(fprintd));
}

}  // namespace

int RunVarne(int argc, char** argv) {
    TraceStartupPhase("main");
    InitTranslations();
    // Answered before Qt starts, so they work without a display and touch no back end.
    const std::string commandLine = CVarneApp::CommandLineText(argc, argv);
    if (const auto information = CVarneApp::InformationText(commandLine)) {
        std::cout << *information;
        return 0;
    }

    std::string error;
    const auto service = ChooseService(std::getenv(kServiceVariable), &error);
    if (!service) {
        return RefuseEnvironment(error);
    }
    // Its variables are read only when it is the one chosen; a malformed one ends the run here.
    std::shared_ptr<BiometricBackend> simulated;
    if (*service == ServiceKind::kSimulated) {
        simulated = CreateSimulatedServiceFromEnvironment(&error);
        if (!simulated) {
            return RefuseEnvironment(error);
        }
    }

    if (commandLine == kListOption || commandLine == kCheckOption) {
        // No window, so no display: a core application is all the back end needs.
        QCoreApplication core(argc, argv);
        InstallChosenBackend(std::move(simulated));
        const ReaderListing listing =
            commandLine == kListOption
                ? ListReaders(*service)
                : CheckFingerprintLogin(*service, SystemRoot::FromEnvironment());
        InstallBiometricBackend(nullptr);
        std::cout << listing.out;
        std::cerr << listing.err;
        return listing.exitCode;
    }

    // Before Qt starts, which takes a while: a signal sent meanwhile waits for the window.
    std::string signalError;
    const bool signalsCaught = TerminationSignals::Catch(&signalError);
    if (!signalsCaught) {
        std::cerr << "varne: "
                  << FillPlaceholders(Translate("%s; a SIGTERM will end Varne abruptly"),
                                      {{"%s", signalError}})
                  << '\n';
    }

    // The resources sit in a static library; naming them keeps the linker from dropping them.
    Q_INIT_RESOURCE(varne);
    CVarneApp application(argc, argv);
    std::optional<TerminationSignals> termination;
    if (signalsCaught) {
        // An enrollment under way is discarded as the Close button would discard it.
        termination.emplace([&application] { application.CloseMainWindow(); });
    }
    InstallBackendForWindow(std::move(simulated), commandLine);
    TraceStartupPhase("backend");
    const int result = application.InitInstance();
    // Released while the application still exists: the back end may hold Qt objects.
    InstallBiometricBackend(nullptr);
    if (result == CVarneApp::kExitStartupFailed) {
        std::cerr << StartupFailureNote(application.LastStartupReport(), *service,
                                        SystemRoot::FromEnvironment());
    }
    return result;
}
