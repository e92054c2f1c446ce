// The main window: hand picture with the finger map, status panel, window menu and timers.
#pragma once

#include <QDialog>
#include <QMenu>
#include <QTimer>
#include <array>
#include <string>

#include "CachedLoginProbe.h"
#include "DialogBuilder.h"
#include "EnrollmentContext.h"
#include "EnrollmentWorkflow.h"
#include "SessionStartup.h"
#include "WindowHost.h"
#include "WorkflowDisplay.h"

class CLabel;
class CSysColorStatic;
class FingerMapFocus;
class FingertipMenu;
class QAction;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QToolButton;
class StatusPanelLayout;

class CVarneDlg : public QDialog, public WorkflowDisplay, public WindowHost {
    Q_OBJECT
public:
    explicit CVarneDlg(std::string commandLine, QWidget* parent = nullptr);
    ~CVarneDlg() override;
    CVarneDlg(const CVarneDlg&) = delete;
    CVarneDlg& operator=(const CVarneDlg&) = delete;

    // Runs before the window is shown, so a failed start never flashes it; false when the
    // window closed itself (the caller then must not run it).
    bool InitDialog();

    // The sub-factor under a point in the window's coordinates, or 0.
    int FindFingerAt(QPoint point) const;

    // The screen locked or the computer is going to sleep; the workflow decides what stops.
    void StopForSystemEvent(SystemEvent event);

    const EnrollmentContext& Context() const { return m_context; }
    // Why InitDialog closed the window, for the program's note on standard error.
    const StartupReport& LastStartupReport() const { return m_startupReport; }
    QMenu& WindowMenu() { return m_windowMenu; }
    FingerMapFocus& Fingertips() { return *m_fingerMapFocus; }
    FingertipMenu& FingertipActions() { return *m_fingertipMenu; }

    // WorkflowDisplay
    void ShowStatus(TextId titleId, TextId textId, const std::u16string& text, Colorref titleColour,
                    Colorref textColour) override;
    void SetProgressPosition(int position) override;
    void SetProgressRange(int maximum) override;
    void EnableAbortButton(bool enabled) override;
    void RedrawFingerMap() override;
    void KillEventTimer(unsigned event) override;
    void SetCaptureCounterText(const std::u16string& text) override;
    void ArmEventTimer(unsigned event) override;

    // WindowHost
    void ShowMessageBox(const std::u16string& text, MessageBoxIcon icon) override;
    void ShowMessageBoxWithDetails(const std::u16string& text, MessageBoxIcon icon,
                                   const std::string& details) override;
    bool AskYesNo(const std::u16string& text) override;

public slots:
    // Closes the window as its Close button does, whatever it is waiting for (a question, a
    // deletion); also for a request from outside the window, such as a termination signal.
    void CloseWindow() override;
    // Every way of closing comes here: Close, Escape, the close box, the window menu.
    void reject() override;

signals:
    // After every status the workflow shows, once the panel has taken it.
    void StatusShown();

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void BuildControls();
    void BuildWindowMenu();
    void InitStatusPanel();
    // Places everything anew for the units that the font and the screen give the dialog, and
    // gives the labels the font's size.
    void FollowFontAndScreen();
    void PlaceWindowMenuButton();
    // Clicks, keys and accessibility actions on fingertips: the workflow decides.
    void ActOnFinger(int finger);
    void TestFinger(int finger);
    void AskToDeleteFinger(int finger);
    void ShowFingertipMenu(int finger, QPoint globalPosition);
    void ShowAboutBox();
    void ShowLoginBox();
    void EnsureWindowIcon();
    void PopUpWindowMenuAtCorner();
    void PopUpWindowMenuAtButton();
    QTimer* EventTimer(unsigned event);

    std::string m_commandLine;
    bool m_closeRequested = false;
    StartupReport m_startupReport;
    bool m_windowIconSet = false;
    bool m_followsScreen = false;
    BuiltDialog m_built;

    CSysColorStatic* m_picture = nullptr;
    QProgressBar* m_progressBar = nullptr;
    QLineEdit* m_captureCounter = nullptr;
    CLabel* m_instructionLabel = nullptr;
    CLabel* m_titleLabel = nullptr;
    QPushButton* m_searchDevice = nullptr;
    QPushButton* m_abortButton = nullptr;
    QToolButton* m_windowMenuButton = nullptr;
    StatusPanelLayout* m_statusPanel = nullptr;
    FingerMapFocus* m_fingerMapFocus = nullptr;  // a child of the picture
    FingertipMenu* m_fingertipMenu = nullptr;    // a child of the window
    QMenu m_windowMenu;

    EnrollmentContext m_context;
    // Before the workflow, which asks it after an enrollment.
    CachedLoginProbe m_loginProbe;
    // After the context: it goes first and detaches from capture results still on their way.
    EnrollmentWorkflow m_workflow;
    // Ids 2..8; declared last, so they are gone before the workflow is.
    std::array<QTimer, kLastEventTimer - kFirstEventTimer + 1> m_eventTimers;
};
