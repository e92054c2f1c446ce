// The "Fingerprint Login" box, the advice after an enrollment and the start-up box's details.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <cstdlib>
#include <optional>

#include "ApplicationIdentity.h"
#include "CLoginDlg.h"
#include "LoginReport.h"
#include "ModalWatcher.h"
#include "ScopedLanguage.h"
#include "SimulatedWindowTest.h"
#include "SystemTree.h"

namespace {

// Points the window's reading of the system at a tree for one test, then back.
class ScopedSystemRoot {
public:
    explicit ScopedSystemRoot(const SystemTree& tree) {
        if (const char* old = std::getenv(kSystemRootVariable)) {
            m_old = old;
        }
        setenv(kSystemRootVariable, tree.RootText().c_str(), 1);
    }
    ~ScopedSystemRoot() {
        if (m_old) {
            setenv(kSystemRootVariable, m_old->c_str(), 1);
        } else {
            unsetenv(kSystemRootVariable);
        }
    }
    ScopedSystemRoot(const ScopedSystemRoot&) = delete;
    ScopedSystemRoot& operator=(const ScopedSystemRoot&) = delete;

private:
    std::optional<std::string> m_old;
};

LoginReport DebianReport(bool fingerprintOn) {
    SystemTree tree;
    tree.WriteDebian(fingerprintOn);
    return ReadLoginReport(tree.Root());
}

template <typename Widget>
Widget& ChildOf(QWidget& parent, const char* name) {
    auto* widget = parent.findChild<Widget*>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return *widget;
}

}  // namespace

TEST(LoginBox, ShowsTheReportAndTheCommand) {
    const struct {
        const char* name;
        bool on;
        QString summary;
        QString firstState;
    } rows[] = {
        {"off", false,
         QStringLiteral("Fingerprint login is off: no login service here uses the fingerprint, "
                        "so logging in and sudo ask for your password."),
         QStringLiteral("off")},
        {"on", true, QStringLiteral("Fingerprint login is on for: sudo, su, login, polkit-1."),
         QStringLiteral("on")},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        CLoginDlg box(DebianReport(row.on));
        EXPECT_EQ(ChildOf<QLabel>(box, "loginSummary").text(), row.summary);
        auto& services = ChildOf<QTreeWidget>(box, "serviceList");
        ASSERT_EQ(services.topLevelItemCount(), 4);
        EXPECT_EQ(services.topLevelItem(0)->text(0), QStringLiteral("sudo"));
        EXPECT_EQ(services.topLevelItem(0)->text(1), row.firstState);
        EXPECT_EQ(services.topLevelItem(3)->text(0), QStringLiteral("polkit-1"));
        auto& command = ChildOf<QLineEdit>(box, "commandField");
        EXPECT_EQ(command.text(), QStringLiteral("sudo pam-auth-update --enable fprintd"));
        EXPECT_TRUE(command.isReadOnly());
        for (QWidget* widget :
             {static_cast<QWidget*>(&services), static_cast<QWidget*>(&command)}) {
            EXPECT_FALSE(widget->accessibleName().isEmpty()) << widget->objectName().toStdString();
        }
    }
}

// In French the box's sentences and states change; the service names and the command stay.
TEST(LoginBox, FrenchKeepsTheServiceNamesAndTheCommand) {
    const ScopedLanguage french("fr");
    CLoginDlg box(DebianReport(false));
    EXPECT_EQ(box.windowTitle(),
              QStringLiteral("Connexion par empreinte – %1").arg(ApplicationName()));
    EXPECT_EQ(ChildOf<QLabel>(box, "managerLabel").text(),
              QStringLiteral("Géré par pam-auth-update (profil fprintd désactivé). Pour activer la "
                             "connexion par empreinte digitale, exécutez :"));
    auto& services = ChildOf<QTreeWidget>(box, "serviceList");
    ASSERT_EQ(services.topLevelItemCount(), 4);
    EXPECT_EQ(services.topLevelItem(0)->text(0), QStringLiteral("sudo"));
    EXPECT_EQ(services.topLevelItem(0)->text(1), QStringLiteral("désactivée"));
    EXPECT_EQ(services.topLevelItem(0)->text(2),
              QStringLiteral("pam_fprintd.so n’est pas dans sa pile auth"));
    EXPECT_EQ(ChildOf<QLineEdit>(box, "commandField").text(),
              QStringLiteral("sudo pam-auth-update --enable fprintd"));
    EXPECT_EQ(ChildOf<QPushButton>(box, "copyButton").text(),
              QStringLiteral("&Copier la commande"));
}

TEST(LoginBox, TheCommandIsCopiedByKeyboardAndMouse) {
    CLoginDlg box(DebianReport(false));
    box.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
    auto& services = ChildOf<QTreeWidget>(box, "serviceList");
    auto& command = ChildOf<QLineEdit>(box, "commandField");
    auto& copy = ChildOf<QPushButton>(box, "copyButton");
    const QString expected = QStringLiteral("sudo pam-auth-update --enable fprintd");

    services.setFocus();
    QTest::keyClick(&services, Qt::Key_Tab);
    ASSERT_TRUE(command.hasFocus());
    // Selectable and copyable from the field itself, read-only as it is.
    QGuiApplication::clipboard()->clear();
    QTest::keyClick(&command, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(&command, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), expected);

    QGuiApplication::clipboard()->clear();
    QTest::keyClick(&command, Qt::Key_Tab);
    ASSERT_TRUE(copy.hasFocus());
    QTest::keyClick(&copy, Qt::Key_Space);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), expected);

    QGuiApplication::clipboard()->clear();
    QTest::mouseClick(&copy, Qt::LeftButton);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), expected);
    EXPECT_EQ(command.selectedText(), expected);

    QTest::keyClick(&box, Qt::Key_Escape);
    EXPECT_FALSE(box.isVisible());
}

class FingerprintLoginWindowTest : public SimulatedWindowTest {};

TEST_F(FingerprintLoginWindowTest, WindowMenuOpensTheLoginBox) {
    SystemTree tree;
    tree.WriteDebian(false);
    ScopedSystemRoot root(tree);
    Start({});
    QAction* action =
        Dialog().WindowMenu().findChild<QAction*>(QStringLiteral("fingerprintLoginAction"));
    ASSERT_NE(action, nullptr);
    EXPECT_EQ(action->text(), QStringLiteral("Fingerprint &Login..."));
    QString seenState;
    ModalWatcher watcher([&seenState](QWidget& box) {
        if (auto* login = qobject_cast<CLoginDlg*>(&box)) {
            const auto* services = login->findChild<QTreeWidget*>(QStringLiteral("serviceList"));
            seenState = services->topLevelItem(0)->text(1);
            QTest::keyClick(login, Qt::Key_Escape);
        }
    });
    action->trigger();
    EXPECT_EQ(seenState, QStringLiteral("off"));  // read from the tree as it is now
}

TEST_F(FingerprintLoginWindowTest, SuccessSaysWhenLoginDoesNotUseTheFingerprint) {
    SystemTree tree;
    tree.WriteDebian(false);
    ScopedSystemRoot root(tree);
    Start({{"VARNE_SIM_SCRIPT", "more@0,more@0,more@0,ok@0"}});
    ClickFinger(2);
    ASSERT_TRUE(WaitForTitle(kTitleEnrollmentSuccess)) << TitleLabel().text().toStdString();
    EXPECT_EQ(InstructionLabel().text(),
              Text(kTextEnrollmentSuccess) + QLatin1Char(' ') + Text(kTextFingerprintLoginOff));
}

TEST_F(FingerprintLoginWindowTest, StartupBoxExplainsAMissingReaderInItsDetails) {
    SystemTree tree;
    tree.WriteDebian(false);
    tree.WriteLibfprintList();
    tree.AddUsbDevice("3-1", "27c6", "5395", "Goodix USB2.0 MISC");
    ScopedSystemRoot root(tree);
    UseSensor({{"VARNE_SIM_FAIL", "units=0x80098034"}});
    QString text;
    QString details;
    bool detailsButton = false;
    ModalWatcher watcher([&](QWidget& widget) {
        if (auto* box = qobject_cast<QMessageBox*>(&widget)) {
            text = box->text();
            details = box->detailedText();
            for (QAbstractButton* button : box->buttons()) {
                detailsButton |= box->buttonRole(button) == QMessageBox::ActionRole;
            }
            box->close();
        }
    });
    EXPECT_FALSE(Initialise());
    // The message itself stays as it always was.
    EXPECT_EQ(text, Text(kTextUnitsFailed) + QStringLiteral("\nError code = 0x80098034"));
    EXPECT_EQ(details, QStringLiteral("the fingerprint reader 27c6:5395 \"Goodix USB2.0 MISC\" is "
                                      "connected, but libfprint has no driver for it\n"));
    EXPECT_TRUE(detailsButton);
}
