// The application object and the texts printed instead of opening the window.
#include "CVarneApp.h"

#include "ApplicationIdentity.h"
#include "CVarneDlg.h"

namespace {

const char* const kUsage =
    "Usage: varne [UNIT]\n"
    "       varne --help | --version\n"
    "\n"
    "Enrolls and deletes the current user's fingerprints on one sensor unit.\n"
    "UNIT is the unit's number, the number after the first ':' when there is one.\n"
    "\n"
    "The simulated sensor reads these environment variables:\n"
    "  VARNE_SIM_UNITS     unit ids the service lists, comma-separated (default 1)\n"
    "  VARNE_SIM_ENROLLED  fingers 1..10 already enrolled, comma-separated\n"
    "  VARNE_SIM_SCRIPT    capture results in order, e.g. more@500,poor,more,more,ok\n"
    "  VARNE_SIM_FAIL      operations that fail, e.g. begin=0x80098036,delete=0x8009801b\n"
    "  VARNE_SIM_STORE     file that keeps the enrollments from one run to the next\n";

}  // namespace

CVarneApp::CVarneApp(int& argc, char** argv)
    : QApplication(argc, argv), m_commandLine(CommandLineText(argc, argv)) {
    setWindowIcon(ApplicationIcon());
}

int CVarneApp::InitInstance() {
    CVarneDlg dialog(m_commandLine);
    if (!dialog.InitDialog()) {
        return kExitStartupFailed;
    }
    dialog.exec();
    return kExitClosed;
}

std::string CVarneApp::CommandLineText(int argc, const char* const* argv) {
    std::string text;
    for (int index = 1; index < argc; ++index) {
        if (index > 1) {
            text += ' ';
        }
        text += argv[index];
    }
    return text;
}

std::optional<std::string> CVarneApp::InformationText(const std::string& commandLine) {
    if (commandLine == "--help") {
        return std::string(kUsage);
    }
    if (commandLine == "--version") {
        return std::string("Varne " VARNE_VERSION "\n");
    }
    return std::nullopt;
}
