// The application object: runs the main window as the life of the process.
#pragma once

#include <QApplication>
#include <QPointer>
#include <optional>
#include <string>

#include "SessionStartup.h"

class CVarneDlg;

class CVarneApp : public QApplication {
    Q_OBJECT
public:
    CVarneApp(int& argc, char** argv);

    static constexpr int kExitClosed = 0;
    // Scripts that start the program can tell a start that failed from a user's close.
    static constexpr int kExitStartupFailed = 1;

    // Runs the main window modally; returns when it closes, by the user or at its start-up.
    int InitInstance();
    // What the last InitInstance's start-up ended with.
    const StartupReport& LastStartupReport() const { return m_startupReport; }
    // Closes the main window as its Close button does, whatever it waits for; asked before
    // the window runs, it closes any box of its start-up as Escape would, and the window never
    // runs.
    void CloseMainWindow();

    // The arguments after the program's name, joined by single blanks.
    static std::string CommandLineText(int argc, const char* const* argv);
    // What "--help" and "--version" print, or nothing for any other command line.
    static std::optional<std::string> InformationText(const std::string& commandLine);

private:
    std::string m_commandLine;
    StartupReport m_startupReport;
    QPointer<CVarneDlg> m_mainWindow;
    bool m_closeRequested = false;
};
