// Drives the main window on whichever back end is installed, as a user would.
#pragma once

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QString>
#include <QTest>
#include <functional>
#include <memory>
#include <string>

#include "CLabel.h"
#include "CSysColorStatic.h"
#include "CVarneDlg.h"
#include "MessageCatalogue.h"

// Owns one window; the back end must stay installed until the window is gone, so a test installs
// it before the driver and removes it after.
class WindowDriver {
public:
    static constexpr int kWaitMs = 10000;

    WindowDriver() = default;
    ~WindowDriver();
    WindowDriver(const WindowDriver&) = delete;
    WindowDriver& operator=(const WindowDriver&) = delete;

    // The window's own start-up, as the application runs it, without showing it; false when the
    // window closed itself. A given window (a subclass that observes) stands in for a plain one.
    bool Initialise(const std::string& commandLine = "1");
    bool Initialise(std::unique_ptr<CVarneDlg> window);
    // Initialise, then show and activate the window; false when either fails.
    bool Start(const std::string& commandLine = "1");
    // Destroys the window, as closing the application would.
    void Destroy();

    bool HasWindow() const { return m_dialog != nullptr; }
    CVarneDlg& Dialog() { return *m_dialog; }
    const EnrollmentContext& Context() const { return m_dialog->Context(); }

    template <typename Widget>
    Widget& Child(const char* name) {
        auto* widget = m_dialog->findChild<Widget*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return *widget;
    }
    CSysColorStatic& Picture();
    CLabel& TitleLabel();
    CLabel& InstructionLabel();
    QPushButton& AbortButton();
    QPushButton& CloseButton();
    QPushButton& SearchDeviceButton();
    QProgressBar& ProgressBar();
    QLineEdit& CaptureCounter();
    QString Title();

    static QString Text(TextId id);

    QPoint FingertipInWindow(int finger);
    void ClickFinger(int finger, Qt::MouseButton button = Qt::LeftButton);
    void ClickAbort();
    // Focus reached by the keyboard, as a user tabbing into the picture would; false when Tab
    // never gets there.
    bool TabIntoPicture();

    static bool WaitFor(const std::function<bool()>& condition);
    bool WaitForTitle(TextId title);
    // The attempt is over once no finger is selected any more.
    bool WaitUntilIdle();
    // Like WaitFor, but runs events as soon as they come instead of polling every 10 ms: for
    // long runs, where the polling would take longer than the work.
    static bool WaitPromptly(const std::function<bool()>& condition);

private:
    std::unique_ptr<CVarneDlg> m_dialog;
};
