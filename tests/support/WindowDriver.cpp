// Drives the main window on whichever back end is installed, as a user would.
#include "WindowDriver.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "CLabel.h"
#include "CSysColorStatic.h"
#include "FingerMap.h"

namespace {

// Wakes the prompt wait so its deadline is seen even when nothing else happens.
constexpr int kWakeMs = 50;
// More than the window's focus stops, so a picture that Tab never reaches fails.
constexpr int kMaxTabs = 10;

}  // namespace

WindowDriver::~WindowDriver() {
    Destroy();
}

bool WindowDriver::Initialise(const std::string& commandLine) {
    return Initialise(std::make_unique<CVarneDlg>(commandLine));
}

bool WindowDriver::Initialise(std::unique_ptr<CVarneDlg> window) {
    m_dialog = std::move(window);
    return m_dialog->InitDialog();
}

bool WindowDriver::Start(const std::string& commandLine) {
    if (!Initialise(commandLine)) {
        return false;
    }
    m_dialog->show();
    m_dialog->activateWindow();
    return QTest::qWaitForWindowActive(m_dialog.get());
}

void WindowDriver::Destroy() {
    m_dialog.reset();
}

CSysColorStatic& WindowDriver::Picture() {
    return Child<CSysColorStatic>("picture");
}
CLabel& WindowDriver::TitleLabel() {
    return Child<CLabel>("titleLabel");
}
CLabel& WindowDriver::InstructionLabel() {
    return Child<CLabel>("instructionLabel");
}
QPushButton& WindowDriver::AbortButton() {
    return Child<QPushButton>("abortButton");
}
QPushButton& WindowDriver::CloseButton() {
    return Child<QPushButton>("closeButton");
}
QPushButton& WindowDriver::SearchDeviceButton() {
    return Child<QPushButton>("searchDevice");
}
QProgressBar& WindowDriver::ProgressBar() {
    return Child<QProgressBar>("progressBar");
}
QLineEdit& WindowDriver::CaptureCounter() {
    return Child<QLineEdit>("captureCounter");
}
QString WindowDriver::Title() {
    return TitleLabel().text();
}

QString WindowDriver::Text(TextId id) {
    return QString::fromStdU16String(LoadCatalogueText(id));
}

QPoint WindowDriver::FingertipInWindow(int finger) {
    return Picture().mapTo(m_dialog.get(), kFingertipTable[finger].position);
}

void WindowDriver::ClickFinger(int finger, Qt::MouseButton button) {
    QTest::mouseClick(m_dialog.get(), button, {}, FingertipInWindow(finger));
}

void WindowDriver::ClickAbort() {
    QTest::mouseClick(&AbortButton(), Qt::LeftButton);
}

bool WindowDriver::TabIntoPicture() {
    CloseButton().setFocus(Qt::OtherFocusReason);
    for (int tabs = 0; tabs < kMaxTabs && !Picture().hasFocus(); ++tabs) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    return Picture().hasFocus();
}

bool WindowDriver::WaitFor(const std::function<bool()>& condition) {
    return QTest::qWaitFor(condition, kWaitMs);
}

bool WindowDriver::WaitForTitle(TextId title) {
    const QString wanted = Text(title);
    return WaitFor([&] { return Title() == wanted; });
}

bool WindowDriver::WaitUntilIdle() {
    return WaitFor([&] { return Context().selectedFinger == 0; });
}

bool WindowDriver::WaitPromptly(const std::function<bool()>& condition) {
    QElapsedTimer elapsed;
    elapsed.start();
    QTimer wake;
    wake.start(kWakeMs);
    while (!condition()) {
        if (elapsed.elapsed() > kWaitMs) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}
