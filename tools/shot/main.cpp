// Screenshots of the main window (a dark palette, a larger font, a finger test) for the docs.
#include <QApplication>
#include <QImage>
#include <QMenu>
#include <QPalette>
#include <QStyleFactory>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <string>

#include "CAboutDlg.h"
#include "CLoginDlg.h"
#include "CVarneDlg.h"
#include "FingerMap.h"
#include "FingertipMenu.h"
#include "LoginReport.h"
#include "SimulatedService.h"
#include "SystemRoot.h"
#include "Translation.h"
#include "UiText.h"
#include "WinBio.h"

namespace {

constexpr int kSettleMs = 500;
constexpr int kTestPatienceMs = 10000;

const char* const kUsage =
    "Usage: varne_window_shot OUT.png [--dark] [--point-size N]\n"
    "                         [--click FINGER | --test FINGER | --about | --login]\n"
    "Shows the window on unit 1 of the simulated sensor (VARNE_SIM_* apply), clicks a\n"
    "fingertip if asked (or right-clicks an enrolled one and chooses Test This Finger, then\n"
    "waits for the scripted verdict), and saves what the window (or the About box, or the\n"
    "Fingerprint Login box read from VARNE_SYSTEM_ROOT) shows. The language follows LANGUAGE\n"
    "and the locale; VARNE_LOCALE_DIR=build/locale takes the build's.\n";

// Shows a box on its own until it has settled, and saves it.
int SaveBox(QDialog& box, const QString& out) {
    box.show();
    QTest::qWait(kSettleMs);
    return box.grab().toImage().save(out) ? 0 : 1;
}

QPalette DarkPalette() {
    QPalette dark;
    const QColor face(53, 53, 53);
    const QColor text(238, 238, 238);
    dark.setColor(QPalette::Window, face);
    dark.setColor(QPalette::Button, face);
    dark.setColor(QPalette::Base, QColor(35, 35, 35));
    dark.setColor(QPalette::AlternateBase, face);
    dark.setColor(QPalette::WindowText, text);
    dark.setColor(QPalette::Text, text);
    dark.setColor(QPalette::ButtonText, text);
    dark.setColor(QPalette::Light, QColor(90, 90, 90));
    dark.setColor(QPalette::Midlight, QColor(70, 70, 70));
    dark.setColor(QPalette::Mid, QColor(45, 45, 45));
    dark.setColor(QPalette::Dark, QColor(30, 30, 30));
    dark.setColor(QPalette::Shadow, QColor(10, 10, 10));
    dark.setColor(QPalette::Highlight, QColor(42, 130, 218));
    dark.setColor(QPalette::HighlightedText, Qt::black);
    dark.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(127, 127, 127));
    dark.setColor(QPalette::Disabled, QPalette::WindowText, QColor(127, 127, 127));
    return dark;
}

}  // namespace

QPoint FingertipInWindow(CVarneDlg& dialog, int finger) {
    auto* picture = dialog.findChild<QWidget*>(QStringLiteral("picture"));
    return picture->mapTo(&dialog, kFingertipTable[finger].position);
}

// Right-clicks through the window system, as a user would, and picks the menu's test item.
bool TestFinger(CVarneDlg& dialog, int finger) {
    QTest::mouseClick(dialog.windowHandle(), Qt::RightButton, {},
                      FingertipInWindow(dialog, finger));
    QMenu& menu = dialog.FingertipActions().Menu();
    if (!QTest::qWaitFor([&] { return menu.isVisible(); }, kSettleMs)) {
        std::fputs("varne_window_shot: the fingertip has no menu (is it enrolled?)\n", stderr);
        return false;
    }
    menu.actions().front()->trigger();
    menu.close();
    QCoreApplication::processEvents();  // the chosen item runs queued, after the menu closed
    return QTest::qWaitFor([&] { return dialog.Context().selectedFinger == 0; }, kTestPatienceMs);
}

int main(int argc, char** argv) {
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0) {
        std::fputs(kUsage, argc < 2 ? stderr : stdout);
        return argc < 2 ? 2 : 0;
    }
    InitTranslations();
    std::string error;
    auto backend = CreateSimulatedServiceFromEnvironment(&error);
    if (!backend) {
        std::fprintf(stderr, "varne_window_shot: %s\n", error.c_str());
        return 2;
    }
    InstallBiometricBackend(std::move(backend));
    Q_INIT_RESOURCE(varne);
    QApplication application(argc, argv);
    InstallQtTranslations();

    const QString out = QString::fromLocal8Bit(argv[1]);
    int finger = 0;
    bool test = false;
    bool about = false;
    bool login = false;
    for (int index = 2; index < argc; ++index) {
        const bool hasValue = index + 1 < argc;
        if (std::strcmp(argv[index], "--dark") == 0) {
            QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
            QApplication::setPalette(DarkPalette());
        } else if (std::strcmp(argv[index], "--point-size") == 0 && hasValue) {
            QFont font = QApplication::font();
            font.setPointSize(std::atoi(argv[++index]));
            QApplication::setFont(font);
        } else if (std::strcmp(argv[index], "--about") == 0) {
            about = true;
        } else if (std::strcmp(argv[index], "--login") == 0) {
            login = true;
        } else if (std::strcmp(argv[index], "--click") == 0 && hasValue) {
            finger = std::atoi(argv[++index]);
        } else if (std::strcmp(argv[index], "--test") == 0 && hasValue) {
            finger = std::atoi(argv[++index]);
            test = true;
        } else {
            std::fputs(kUsage, stderr);
            return 2;
        }
    }

    if (about) {
        CAboutDlg box;
        return SaveBox(box, out);
    }
    if (login) {
        CLoginDlg box(ReadLoginReport(SystemRoot::FromEnvironment()));
        return SaveBox(box, out);
    }
    int result = 1;
    {
        CVarneDlg dialog("1");
        if (!dialog.InitDialog()) {
            return 1;
        }
        dialog.show();
        if (!QTest::qWaitForWindowExposed(&dialog)) {
            return 1;
        }
        const bool onFinger = finger >= kFirstFinger && finger <= kLastFinger;
        if (onFinger && test) {
            if (!TestFinger(dialog, finger)) {
                return 1;
            }
        } else if (onFinger) {
            QTest::mouseClick(&dialog, Qt::LeftButton, {}, FingertipInWindow(dialog, finger));
        }
        QTest::qWait(kSettleMs);
        result = dialog.grab().toImage().save(out) ? 0 : 1;
    }
    InstallBiometricBackend(nullptr);
    return result;
}
