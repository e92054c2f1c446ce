// The main window: builds template 102, routes clicks, keys, timers and the window menu.
#include "CVarneDlg.h"

#include <QAbstractButton>
#include <QAction>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QToolButton>
#include <QWindow>
#include <algorithm>
#include <cmath>

#include "ApplicationIdentity.h"
#include "CAboutDlg.h"
#include "CLabel.h"
#include "CLoginDlg.h"
#include "CSysColorStatic.h"
#include "DialogBuilder.h"
#include "DialogTemplates.h"
#include "FingerMap.h"
#include "FingerMapAccessible.h"
#include "FingerMapFocus.h"
#include "FingertipMenu.h"
#include "LoginReport.h"
#include "MessageCatalogue.h"
#include "ReaderDiagnosis.h"
#include "SessionStartup.h"
#include "StartupTrace.h"
#include "StatusPanelLayout.h"
#include "UiText.h"

namespace {

constexpr int kEventTimerIntervalMs = 10;

// The menu button sits in the status panel frame's top-right corner, above the title; in
// pixels at the template's units, grown with the dialog's.
constexpr int kMenuButtonSize = 24;
constexpr int kMenuButtonInset = 8;
constexpr int kMenuButtonTop = 14;
constexpr double kMenuGlyphScale = 1.5;

// Alt+Space belongs to the desktop in most of them (window menu, launcher); these do not. A key
// that a compositor binds never reaches the window, so F10 arriving here means that nothing
// offered a window menu for it (none does on Wayland): the window's own menu answers.
const QKeySequence kAboutShortcut(Qt::Key_F1);
const QKeySequence kWindowMenuShortcut(Qt::Key_F10);

QString ToQString(const std::u16string& text) {
    return QString::fromStdU16String(text);
}

QWidget* CreateControl(const ControlTemplate& control, QWidget& parent) {
    switch (control.id) {
        case kIdPicture:
            return new CSysColorStatic(&parent);
        case kIdTitleLabel:
        case kIdInstructionLabel: {
            auto* label = new CLabel(&parent);
            label->setText(ShownTemplateText(control.text));
            label->setWordWrap(true);
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            return label;
        }
        case kIdCaptureCounter: {
            auto* box = new QLineEdit(&parent);
            box->setReadOnly(true);
            box->setFrame(false);
            return box;
        }
        default:
            return nullptr;
    }
}

template <typename Widget>
Widget* ControlById(const BuiltDialog& built, int id) {
    const auto found = built.byId.find(id);
    return found == built.byId.end() ? nullptr : qobject_cast<Widget*>(found->second);
}

}  // namespace

CVarneDlg::CVarneDlg(std::string commandLine, QWidget* parent)
    : QDialog(parent),
      m_commandLine(std::move(commandLine)),
      m_windowMenu(this),
      m_workflow(m_context, *this) {
    m_workflow.SetLoginUseProbe(&m_loginProbe);
    BuildControls();
    for (unsigned event = kFirstEventTimer; event <= kLastEventTimer; ++event) {
        QTimer* timer = EventTimer(event);
        timer->setInterval(kEventTimerIntervalMs);
        // Coarse timers may fire 5% late: these carry each capture result to the screen.
        timer->setTimerType(Qt::PreciseTimer);
        connect(timer, &QTimer::timeout, this, [this, event] { m_workflow.HandleTimer(event); });
    }
}

CVarneDlg::~CVarneDlg() {
    // The picture outlives the members as a child; it must not paint with a context that is gone.
    m_picture->SetOverlayPainter({});
    delete m_fingerMapFocus;  // nor read it for a screen reader
    m_fingerMapFocus = nullptr;
    if (m_context.sessionHandle != 0) {
        CancelPendingWork(m_context);
    }
}

void CVarneDlg::BuildControls() {
    // Before the picture exists, so its first accessible interface is already the right one.
    InstallFingerMapAccessibility();
    m_built = BuildDialog(*this, MainDialogTemplate(), &CreateControl);
    const BuiltDialog& built = m_built;
    m_picture = ControlById<CSysColorStatic>(built, kIdPicture);
    m_progressBar = ControlById<QProgressBar>(built, kIdProgressBar);
    m_captureCounter = ControlById<QLineEdit>(built, kIdCaptureCounter);
    m_instructionLabel = ControlById<CLabel>(built, kIdInstructionLabel);
    m_titleLabel = ControlById<CLabel>(built, kIdTitleLabel);
    m_searchDevice = ControlById<QPushButton>(built, kIdSearchDevice);
    m_abortButton = ControlById<QPushButton>(built, kIdAbort);
    Q_ASSERT(m_picture && m_progressBar && m_captureCounter && m_instructionLabel && m_titleLabel &&
             m_searchDevice && m_abortButton);

    m_picture->setObjectName(QStringLiteral("picture"));
    m_progressBar->setObjectName(QStringLiteral("progressBar"));
    m_captureCounter->setObjectName(QStringLiteral("captureCounter"));
    m_instructionLabel->setObjectName(QStringLiteral("instructionLabel"));
    m_titleLabel->setObjectName(QStringLiteral("titleLabel"));
    m_searchDevice->setObjectName(QStringLiteral("searchDevice"));
    m_abortButton->setObjectName(QStringLiteral("abortButton"));
    auto* closeButton = ControlById<QPushButton>(built, kIdCancel);
    Q_ASSERT(closeButton);
    closeButton->setObjectName(QStringLiteral("closeButton"));

    // The instruction text scrolls where it cannot be shown whole, and can be copied from
    // (an error code, say), by mouse or keyboard.
    m_statusPanel = new StatusPanelLayout(
        *this, {m_titleLabel, m_instructionLabel, m_progressBar, m_abortButton, closeButton});
    m_instructionLabel->SetTextSelectable(true);
    QWidget::setTabOrder(closeButton, m_instructionLabel);
    QWidget::setTabOrder(m_instructionLabel, m_abortButton);

    // No button is default, none becomes so by focus: Return presses only the focused button
    // (keyPressEvent), never one elsewhere.
    for (QWidget* control : built.inOrder) {
        if (auto* button = qobject_cast<QPushButton*>(control)) {
            button->setAutoDefault(false);
            button->setDefault(false);
        }
    }

    m_progressBar->setTextVisible(false);
    // Nothing shows "Search Device", but its command still does what it says.
    connect(m_searchDevice, &QPushButton::clicked, this, [this] {
        if (SearchDevice(m_context, *this)) {
            RedrawFingerMap();  // the enrolled set was read anew
            m_workflow.RunEnrollmentEvent(kEventReady);
        }
    });
    connect(m_abortButton, &QPushButton::clicked, this, [this] { m_workflow.Abort(); });

    m_fingerMapFocus = new FingerMapFocus(*m_picture, m_context, m_workflow,
                                          [this](int finger) { ActOnFinger(finger); });
    m_fingertipMenu = new FingertipMenu(
        *this, [this](int finger) { TestFinger(finger); },
        [this](int finger) { AskToDeleteFinger(finger); });
    m_fingerMapFocus->SetTestHandler([this](int finger) { TestFinger(finger); });
    m_fingerMapFocus->SetMenuHandler(
        [this](int finger, QPoint globalPosition) { ShowFingertipMenu(finger, globalPosition); });
    // The picture is the first stop, as it is the first control.
    QWidget::setTabOrder(m_picture, closeButton);
    m_picture->setAccessibleName(UiText("Fingers"));
    m_picture->setAccessibleDescription(UiText(
        "Arrow keys choose a finger; Space enrolls it, or deletes an enrolled one. The Menu key "
        "offers to test an enrolled one."));

    m_picture->SetOverlayPainter([this](QPainter& painter) {
        PaintFingerMarks(painter, m_context.enrolledSet, m_context.selectedFinger);
        m_fingerMapFocus->PaintRing(painter);
    });
}

bool CVarneDlg::InitDialog() {
    BuildWindowMenu();

    m_context.lastStatus.store(0);
    m_context.acceptedCaptureCount.store(0);
    m_context.mergeFailureCounter.store(0);
    m_context.tooFastCounter.store(0);
    m_context.poorQualityCounter.store(0);

    m_picture->SetBitmapResource(kHandBitmapId);
    PlaceControls(*this, m_built);  // the picture, now of its bitmap's size, centred
    InitStatusPanel();
    TraceStartupPhase("picture");

    const auto explainMissingReader = [] {
        return DiagnoseMissingReader(SystemRoot::FromEnvironment()).Text();
    };
    if (StartBiometricSession(m_context, m_commandLine, *this, &m_startupReport,
                              explainMissingReader)) {
        m_workflow.RunEnrollmentEvent(kEventReady);
    } else {
        m_closeRequested = true;
    }
    TraceStartupPhase("session");
    return !m_closeRequested;
}

void CVarneDlg::BuildWindowMenu() {
    m_windowMenu.clear();
    auto* closeAction = m_windowMenu.addAction(UiText("&Close"));
    // Added to the window too, so Alt+F4 closes it even where no window manager does.
    closeAction->setShortcut(QKeySequence(Qt::ALT | Qt::Key_F4));
    closeAction->setShortcutContext(Qt::WindowShortcut);
    addAction(closeAction);
    connect(closeAction, &QAction::triggered, this, &QDialog::reject);

    m_windowMenu.addSeparator();
    auto* loginAction = m_windowMenu.addAction(UiText("Fingerprint &Login..."));
    loginAction->setObjectName(QStringLiteral("fingerprintLoginAction"));
    connect(loginAction, &QAction::triggered, this, &CVarneDlg::ShowLoginBox);

    const QString aboutText = ToQString(LoadCatalogueText(kTextAboutMenuItem));
    if (!aboutText.isEmpty()) {
        m_windowMenu.addSeparator();
        auto* aboutAction = m_windowMenu.addAction(aboutText);
        aboutAction->setObjectName(QStringLiteral("aboutAction"));
        aboutAction->setShortcut(kAboutShortcut);
        aboutAction->setShortcutContext(Qt::WindowShortcut);
        addAction(aboutAction);
        connect(aboutAction, &QAction::triggered, this, &CVarneDlg::ShowAboutBox);
    }

    if (m_windowMenuButton == nullptr) {
        m_windowMenuButton = new QToolButton(this);
        m_windowMenuButton->setObjectName(QStringLiteral("windowMenuButton"));
        m_windowMenuButton->setText(QStringLiteral("\u2261"));
        m_windowMenuButton->setToolTip(
            // TRANSLATORS: %1 is the key that opens the menu, F10.
            UiText("Window menu (%1)").arg(kWindowMenuShortcut.toString(QKeySequence::NativeText)));
        m_windowMenuButton->setAccessibleName(UiText("Window menu"));
        m_windowMenuButton->setAutoRaise(true);
        // Popped up by hand rather than through setMenu(): no drop-down arrow beside the glyph.
        connect(m_windowMenuButton, &QToolButton::clicked, this,
                &CVarneDlg::PopUpWindowMenuAtButton);
        m_windowMenuButton->setFocusPolicy(Qt::TabFocus);
        PlaceWindowMenuButton();
        m_windowMenuButton->show();

        auto* shortcut = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_Space), this);
        connect(shortcut, &QShortcut::activated, this, &CVarneDlg::PopUpWindowMenuAtCorner);
        auto* menuShortcut = new QShortcut(kWindowMenuShortcut, this);
        connect(menuShortcut, &QShortcut::activated, this, &CVarneDlg::PopUpWindowMenuAtButton);
    }
}

void CVarneDlg::PlaceWindowMenuButton() {
    if (m_windowMenuButton == nullptr) {
        return;
    }
    const ControlTemplate* panelFrame = nullptr;
    for (const ControlTemplate& control : MainDialogTemplate().controls) {
        if (control.kind == ControlKind::kGroupBox) {
            panelFrame = &control;  // the last group box frames the status panel
        }
    }
    const int frameRight =
        panelFrame != nullptr ? PlaceInPixels(m_built, panelFrame->rect).right() + 1 : width();
    const double growth = m_built.units.height / kTemplateBaseUnits.height;
    const auto grown = [growth](int pixels) {
        return static_cast<int>(std::lround(pixels * growth));
    };
    const int size = grown(kMenuButtonSize);
    m_windowMenuButton->setGeometry(frameRight - grown(kMenuButtonInset) - size,
                                    grown(kMenuButtonTop), size, size);
    QFont glyphFont = font();
    glyphFont.setPointSizeF(glyphFont.pointSizeF() * kMenuGlyphScale);
    m_windowMenuButton->setFont(glyphFont);
}

void CVarneDlg::FollowFontAndScreen() {
    if (m_statusPanel == nullptr) {
        return;  // still being built
    }
    PlaceControls(*this, m_built);
    const auto place = [this](int id) {
        return PlaceInPixels(m_built, FindControl(MainDialogTemplate(), id)->rect);
    };
    m_statusPanel->SetTemplatePlaces(place(kIdTitleLabel), place(kIdInstructionLabel),
                                     place(kIdAbort), place(kIdCancel));
    PlaceWindowMenuButton();
}

void CVarneDlg::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        FollowFontAndScreen();
    }
}

void CVarneDlg::showEvent(QShowEvent* event) {
    // Shown on another screen than the one it was built for, or with a frame now known.
    FollowFontAndScreen();
    if (!m_followsScreen && windowHandle() != nullptr) {
        m_followsScreen = true;
        connect(windowHandle(), &QWindow::screenChanged, this, &CVarneDlg::FollowFontAndScreen);
    }
    QDialog::showEvent(event);
}

void CVarneDlg::InitStatusPanel() {
    m_progressBar->setRange(0, kProgressMaximum);
    m_progressBar->setValue(0);
    m_statusPanel->ApplyFonts();
}

int CVarneDlg::FindFingerAt(QPoint point) const {
    // Read every time: nothing about the picture's place is cached.
    return ::FindFingerAt(point, m_picture->mapTo(this, QPoint(0, 0)));
}

void CVarneDlg::StopForSystemEvent(SystemEvent event) {
    m_workflow.StopForSystemEvent(event);
    m_fingerMapFocus->NotifyChanges();
}

void CVarneDlg::ShowStatus(TextId titleId, TextId textId, const std::u16string& text,
                           Colorref titleColour, Colorref textColour) {
    m_titleLabel->SetLabelColor(titleColour);
    m_instructionLabel->SetLabelColor(textColour);
    const QString title = ToQString(LoadCatalogueText(titleId));
    const QString instruction =
        textId != 0 ? ToQString(LoadCatalogueText(textId)) : ToQString(text);
    m_titleLabel->SetLabelText(title);
    m_instructionLabel->SetLabelText(instruction);
    m_statusPanel->Update();
    m_fingerMapFocus->NotifyChanges();
    emit StatusShown();
}

void CVarneDlg::SetProgressPosition(int position) {
    // Like the platform's bar: a position outside the range shows at its end, not ignored.
    m_progressBar->setValue(
        std::clamp(position, m_progressBar->minimum(), m_progressBar->maximum()));
}

void CVarneDlg::SetProgressRange(int maximum) {
    m_progressBar->setRange(0, maximum);
}

void CVarneDlg::EnableAbortButton(bool enabled) {
    m_abortButton->setEnabled(enabled);
}

void CVarneDlg::RedrawFingerMap() {
    // Deferred to the end of the current event: the caller may re-read the enrolled set after
    // deselecting (a commit does), and nothing else repaints the marks later.
    m_picture->update();
    m_fingerMapFocus->NotifyChanges();
}

QTimer* CVarneDlg::EventTimer(unsigned event) {
    if (event < kFirstEventTimer || event > kLastEventTimer) {
        return nullptr;
    }
    return &m_eventTimers[event - kFirstEventTimer];
}

void CVarneDlg::KillEventTimer(unsigned event) {
    if (QTimer* timer = EventTimer(event)) {
        timer->stop();
    }
}

void CVarneDlg::SetCaptureCounterText(const std::u16string& text) {
    QMetaObject::invokeMethod(
        this, [this, shown = ToQString(text)] { m_captureCounter->setText(shown); },
        Qt::QueuedConnection);
}

void CVarneDlg::ArmEventTimer(unsigned event) {
    QMetaObject::invokeMethod(
        this,
        [this, event] {
            if (QTimer* timer = EventTimer(event)) {
                timer->start();
            }
        },
        Qt::QueuedConnection);
}

void CVarneDlg::ShowMessageBox(const std::u16string& text, MessageBoxIcon icon) {
    ShowMessageBoxWithDetails(text, icon, {});
}

void CVarneDlg::ShowMessageBoxWithDetails(const std::u16string& text, MessageBoxIcon icon,
                                          const std::string& details) {
    EnsureWindowIcon();  // boxes take the window's icon, and may come before its first frame
    const auto boxIcon =
        icon == MessageBoxIcon::kWarning ? QMessageBox::Warning : QMessageBox::NoIcon;
    QMessageBox box(boxIcon, ApplicationName(), ToQString(text), QMessageBox::Ok, this);
    if (!details.empty()) {
        box.setDetailedText(QString::fromStdString(details));  // adds "Show Details..."
    }
    box.exec();
}

bool CVarneDlg::AskYesNo(const std::u16string& text) {
    EnsureWindowIcon();
    QMessageBox box(QMessageBox::Question, ApplicationName(), ToQString(text),
                    QMessageBox::Yes | QMessageBox::No, this);
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::No);
    m_fingerMapFocus->NotifyChanges();  // the fingertips take no action until it is answered
    return box.exec() == QMessageBox::Yes;
}

void CVarneDlg::CloseWindow() {
    m_closeRequested = true;
    if (isVisible()) {
        reject();
    }
}

void CVarneDlg::reject() {
    // A deletion may wait in a local event loop further down the stack: it is cancelled, the
    // window goes at once, and its modal run ends when that loop has returned.
    m_workflow.CancelFingerActionForClose();
    // Only a request from outside gets here while a box or the About box is open.
    for (QDialog* box : findChildren<QDialog*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (box->isVisible()) {
            box->reject();
        }
    }
    QDialog::reject();
}

void CVarneDlg::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        const int finger = FindFingerAt(event->position().toPoint());
        if (finger != 0) {
            m_fingerMapFocus->SetFocusedFinger(finger);  // keys go on from the clicked finger
        }
        ActOnFinger(finger);
    }
    QDialog::mousePressEvent(event);
}

void CVarneDlg::contextMenuEvent(QContextMenuEvent* event) {
    // The Menu key's report goes to the focused fingertip through the picture's own handler.
    const int finger = event->reason() == QContextMenuEvent::Mouse ? FindFingerAt(event->pos()) : 0;
    if (finger == 0) {
        QDialog::contextMenuEvent(event);
        return;
    }
    m_fingerMapFocus->SetFocusedFinger(finger);  // keys go on from it, as after a left click
    ShowFingertipMenu(finger, event->globalPos());
    event->accept();
}

void CVarneDlg::ActOnFinger(int finger) {
    if (finger < kFirstFinger || finger > kLastFinger) {
        return;
    }
    m_workflow.ActOnFinger(static_cast<SubFactor>(finger), *this);
    m_fingerMapFocus->NotifyChanges();
}

void CVarneDlg::TestFinger(int finger) {
    m_workflow.TestFinger(static_cast<SubFactor>(finger));
    m_fingerMapFocus->NotifyChanges();
}

void CVarneDlg::AskToDeleteFinger(int finger) {
    m_workflow.AskToDeleteFinger(static_cast<SubFactor>(finger), *this);
    m_fingerMapFocus->NotifyChanges();
}

void CVarneDlg::ShowFingertipMenu(int finger, QPoint globalPosition) {
    // A bare fingertip, or one that cannot be acted on now, has no menu.
    if (m_workflow.CanActOnEnrolledFinger(static_cast<SubFactor>(finger))) {
        m_fingertipMenu->PopUp(finger, globalPosition);
    }
}

void CVarneDlg::paintEvent(QPaintEvent* event) {
    if (!m_windowIconSet) {
        // Decoding every icon size is the slowest step before the first frame, which does not
        // show the icon: it follows right after.
        QMetaObject::invokeMethod(this, &CVarneDlg::EnsureWindowIcon, Qt::QueuedConnection);
    }
    QDialog::paintEvent(event);
}

void CVarneDlg::EnsureWindowIcon() {
    if (m_windowIconSet) {
        return;
    }
    m_windowIconSet = true;
    setWindowIcon(ApplicationIcon());
}

void CVarneDlg::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        // No button is a default one: Return presses the focused button and nothing else.
        auto* button = qobject_cast<QAbstractButton*>(focusWidget());
        if (button != nullptr && button->isVisible() && button->isEnabled()) {
            button->click();
        }
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CVarneDlg::ShowAboutBox() {
    CAboutDlg about(this);
    about.exec();
}

void CVarneDlg::ShowLoginBox() {
    // Read anew each time: the user may just have run the command it gives.
    CLoginDlg box(ReadLoginReport(SystemRoot::FromEnvironment()), this);
    box.exec();
}

void CVarneDlg::PopUpWindowMenuAtCorner() {
    m_windowMenu.popup(mapToGlobal(QPoint(0, 0)));
}

void CVarneDlg::PopUpWindowMenuAtButton() {
    m_windowMenu.popup(m_windowMenuButton->mapToGlobal(m_windowMenuButton->rect().bottomLeft()));
}
