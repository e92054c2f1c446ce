// The application object and the texts printed instead of opening the window.
#include "CVarneApp.h"

#include "CVarneDlg.h"
#include "FirstFrameCall.h"
#include "LogindWatcher.h"
#include "StartupTrace.h"
#include "Translation.h"
#include "UiText.h"

namespace {

const char* const kUsage = N_(
    // TRANSLATORS: --help. Keep the options, variable names and values as they are; keep lines
    // under 80 columns and the second line's options under the first line's.
    "Usage: varne [UNIT]\n"
    "       varne --list | --check | --help | --version\n"
    "\n"
    "Enrolls and deletes the current user's fingerprints on one sensor unit.\n"
    "UNIT is the unit's number, the number after the first ':' when there is one.\n"
    "--list prints the readers of the chosen back end: unit, name, press or swipe, and the\n"
    "default one.\n"
    "--check prints the readers with the current user's enrolled fingers, then for each PAM\n"
    "service whether its login uses the fingerprint (SERVICE, on or off, detail), and the\n"
    "command that turns fingerprint login on; it exits with 0 when a service uses the\n"
    "fingerprint, 3 when none does, 1 on errors. VARNE_SYSTEM_ROOT names a directory that\n"
    "stands for / for the system files it reads.\n"
    "\n"
    "VARNE_SERVICE chooses the back end:\n"
    "  fprintd    the system's fingerprint daemon and its readers (the default)\n"
    "  simulated  a simulated sensor, for trying Varne without a reader\n"
    "\n"
    "The simulated sensor reads these environment variables:\n"
    "  VARNE_SIM_UNITS     unit ids the service lists, comma-separated (default 1)\n"
    "  VARNE_SIM_ENROLLED  fingers 1..10 already enrolled, comma-separated\n"
    "  VARNE_SIM_SCRIPT    capture results in order, e.g. more@500,poor,more,more,ok\n"
    "  VARNE_SIM_FAIL      operations that fail, e.g. begin=0x80098036,delete=0x8009801b\n"
    "  VARNE_SIM_STORE     file that keeps the enrollments from one run to the next\n"
    "\n"
    "Keys: Tab reaches the hand picture, where the arrow keys choose a fingertip and\n"
    "Space or Return enrolls it (or deletes an enrolled one); F1 opens the About box,\n"
    "F10 the window menu, Escape closes the window.\n");

}  // namespace

CVarneApp::CVarneApp(int& argc, char** argv)
    : QApplication(argc, argv), m_commandLine(CommandLineText(argc, argv)) {
    // No application icon: the window sets its own once it has been painted, and every other
    // window of the program is owned by it.
    TraceStartupPhase("qt");
    // Docks and task switchers find the desktop entry, and with it the name and icon, by this.
    setDesktopFileName(QStringLiteral("org.varne.Varne"));
    InstallQtTranslations();
}

int CVarneApp::InitInstance() {
    CVarneDlg dialog(m_commandLine);
    m_mainWindow = &dialog;
    TraceStartupPhase("dialog");
    const bool started = dialog.InitDialog();
    m_startupReport = dialog.LastStartupReport();
    if (!started) {
        return kExitStartupFailed;
    }
    if (!m_closeRequested) {
        // The lock screen and a resume need the reader: logind's events stop a scan under way.
        // Looked for once the window is on the screen, so start-up never waits for the bus.
        LogindWatcher logind([&dialog](SystemEvent event) { dialog.StopForSystemEvent(event); });
        const FirstFrameCall watchLogind(dialog, [&logind] { logind.StartOnSystemBus(); });
        dialog.exec();
    }
    return kExitClosed;
}

void CVarneApp::CloseMainWindow() {
    m_closeRequested = true;  // InitInstance sees it when the window has not run yet
    if (m_mainWindow != nullptr && m_mainWindow->isVisible()) {
        m_mainWindow->CloseWindow();  // whatever it waits for: a question, a deletion
        return;
    }
    // Before the window runs, a box of its start-up waits in a loop of its own for an answer.
    while (QWidget* box = activeModalWidget()) {
        if (!box->close()) {
            break;
        }
    }
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
        return std::string(Translate(kUsage));
    }
    if (commandLine == "--version") {
        return std::string("Varne " VARNE_VERSION "\n");
    }
    return std::nullopt;
}
