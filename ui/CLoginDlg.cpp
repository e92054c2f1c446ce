// The "Fingerprint Login" box: which PAM services use the fingerprint and the command to turn it
// on.
#include "CLoginDlg.h"

#include <QClipboard>
#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "ApplicationIdentity.h"
#include "TerminalText.h"
#include "UiText.h"

namespace {

constexpr int kServiceColumn = 0;
constexpr int kStateColumn = 1;
constexpr int kDetailColumn = 2;
constexpr int kMinimumWidth = 640;

// Values from the files are escaped as on the terminal: the box shows the same report.
QString Shown(const std::string& text) {
    return QString::fromStdString(EscapeForTerminal(text));
}

QString Summary(const LoginReport& report) {
    QStringList on;
    for (const ServiceLogin& login : report.services) {
        if (login.stack.usesFingerprint) {
            on << Shown(login.service);
        }
    }
    if (on.isEmpty()) {
        return UiText(
            "Fingerprint login is off: no login service here uses the "
            "fingerprint, so logging in and sudo ask for your password.");
    }
    return UiText("Fingerprint login is on for: %1.").arg(on.join(QStringLiteral(", ")));
}

}  // namespace

CLoginDlg::CLoginDlg(const LoginReport& report, QWidget* parent) : QDialog(parent) {
    setWindowTitle(UiText("Fingerprint Login - %1").arg(ApplicationName()));
    setMinimumWidth(kMinimumWidth);
    auto* layout = new QVBoxLayout(this);

    auto* summary = new QLabel(Summary(report), this);
    summary->setObjectName(QStringLiteral("loginSummary"));
    summary->setWordWrap(true);
    layout->addWidget(summary);

    m_services = new QTreeWidget(this);
    m_services->setObjectName(QStringLiteral("serviceList"));
    m_services->setAccessibleName(UiText("Login services"));
    m_services->setRootIsDecorated(false);
    m_services->setHeaderLabels({UiText("Service"), UiText("Fingerprint"), UiText("Detail")});
    for (const ServiceLogin& login : report.services) {
        auto* row = new QTreeWidgetItem(m_services);
        row->setText(kServiceColumn, Shown(login.service));
        // TRANSLATORS: whether a login service uses the fingerprint, in the login box's list.
        row->setText(kStateColumn, login.stack.usesFingerprint ? UiText("on") : UiText("off"));
        row->setText(kDetailColumn, Shown(ServiceDetail(login.stack)));
    }
    m_services->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_services->setCurrentItem(m_services->topLevelItem(0));
    layout->addWidget(m_services);

    auto* manager = new QLabel(UiText("Managed by %1 (%2). To turn fingerprint login on, run:")
                                   .arg(Shown(report.manager.name), Shown(report.manager.state)),
                               this);
    manager->setObjectName(QStringLiteral("managerLabel"));
    manager->setWordWrap(true);
    layout->addWidget(manager);

    m_command = new QLineEdit(QString::fromStdString(report.manager.command), this);
    m_command->setObjectName(QStringLiteral("commandField"));
    m_command->setReadOnly(true);
    m_command->setAccessibleName(UiText("Command that turns fingerprint login on"));
    m_command->setCursorPosition(0);
    manager->setBuddy(m_command);
    layout->addWidget(m_command);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    auto* copy = buttons->addButton(UiText("&Copy Command"), QDialogButtonBox::ActionRole);
    copy->setObjectName(QStringLiteral("copyButton"));
    copy->setAutoDefault(false);
    buttons->button(QDialogButtonBox::Close)->setObjectName(QStringLiteral("closeButton"));
    connect(copy, &QPushButton::clicked, this, &CLoginDlg::CopyCommand);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    setTabOrder(m_services, m_command);
    setTabOrder(m_command, copy);
}

void CLoginDlg::CopyCommand() {
    QGuiApplication::clipboard()->setText(m_command->text());
    m_command->selectAll();  // shows what was copied
}
