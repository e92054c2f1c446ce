// The window in German, French and Spanish: its own texts, the catalogue's, and Qt's buttons in
// the delete question, so no box mixes two languages.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAccessible>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <vector>

#include "CAboutDlg.h"
#include "CLabel.h"
#include "ModalWatcher.h"
#include "ScopedUiLanguage.h"
#include "SimulatedWindowTest.h"

namespace {

// The right little finger on the hand picture.
constexpr QPoint kLittleFingerTip(378, 62);

struct Expected {
    const char* language;
    const char* title;
    const char* abort;
    const char* close;
    const char* aboutEntry;
    const char* aboutTitle;
    const char* menuTip;
    const char* fingerName;  // of the right little finger, for a screen reader
    const char* yes;
    const char* no;
    const char* codeLine;
};

const Expected kLanguages[] = {
    {"de", "Finger auswählen", "Abbrechen", "Schließen", "&Über Varne …", "Über Varne",
     "Fenstermenü (F10)", "Rechter kleiner Finger", "Ja", "Nein", "Fehlercode = 0x8009801b"},
    {"fr", "Sélectionner un doigt", "Arrêter", "Fermer", "À &propos de Varne…", "À propos de Varne",
     "Menu de la fenêtre (F10)", "Auriculaire droit", "Oui", "Non", "Code d’erreur = 0x8009801b"},
    {"es", "Seleccionar un dedo", "Detener", "Cerrar", "&Acerca de Varne…", "Acerca de Varne",
     "Menú de la ventana (F10)", "Meñique derecho", "Sí", "No", "Código de error = 0x8009801b"},
};

QString Plain(const QString& text) {
    QString plain = text;
    return plain.remove(QLatin1Char('&'));
}

struct SeenBox {
    QString text;
    std::vector<QString> buttons;
};

class TranslatedWindowTest : public SimulatedWindowTest {};

TEST_F(TranslatedWindowTest, WindowTextsAndQtsButtonsSpeakTheLanguage) {
    for (const Expected& row : kLanguages) {
        SCOPED_TRACE(row.language);
        const ScopedUiLanguage language(row.language);
        Start({{"VARNE_SIM_ENROLLED", "5"}, {"VARNE_SIM_FAIL", "delete=0x8009801b"}});
        EXPECT_EQ(Child<CLabel>("titleLabel").text(), QString::fromUtf8(row.title));
        EXPECT_EQ(Child<QPushButton>("abortButton").text(), QString::fromUtf8(row.abort));
        EXPECT_EQ(Child<QPushButton>("closeButton").text(), QString::fromUtf8(row.close));
        EXPECT_EQ(Child<QToolButton>("windowMenuButton").toolTip(), QString::fromUtf8(row.menuTip));
        bool aboutFound = false;
        for (const QAction* action : Dialog().actions()) {
            aboutFound = aboutFound || action->text() == QString::fromUtf8(row.aboutEntry);
        }
        EXPECT_TRUE(aboutFound);
        QAccessibleInterface* picture =
            QAccessible::queryAccessibleInterface(&Child<QWidget>("picture"));
        ASSERT_NE(picture, nullptr);
        bool fingerNamed = false;
        for (int index = 0; index < picture->childCount(); ++index) {
            fingerNamed = fingerNamed || picture->child(index)->text(QAccessible::Name) ==
                                             QString::fromUtf8(row.fingerName);
        }
        EXPECT_TRUE(fingerNamed);

        // The question before the deletion, then the failure with its code line.
        std::vector<SeenBox> boxes;
        ModalWatcher watcher([&](QWidget& modal) {
            auto* box = qobject_cast<QMessageBox*>(&modal);
            if (box == nullptr) {
                return;
            }
            SeenBox seen{box->text(), {}};
            for (QAbstractButton* button : box->buttons()) {
                seen.buttons.push_back(Plain(button->text()));
            }
            boxes.push_back(seen);
            QAbstractButton* answer = box->button(QMessageBox::Yes) ? box->button(QMessageBox::Yes)
                                                                    : box->button(QMessageBox::Ok);
            answer->click();
        });
        QTest::mouseClick(&Dialog(), Qt::LeftButton, {},
                          Child<QWidget>("picture").mapTo(&Dialog(), kLittleFingerTip));
        ASSERT_EQ(boxes.size(), 2u);
        EXPECT_EQ(boxes[0].text, Text(kTextDeleteQuestion));
        EXPECT_NE(
            boxes[0].text,
            QStringLiteral("Are you sure you want to delete the selected finger from enrollment?"));
        EXPECT_EQ(boxes[0].buttons.size(), 2u);
        for (const char* answer : {row.yes, row.no}) {
            EXPECT_NE(std::find(boxes[0].buttons.begin(), boxes[0].buttons.end(),
                                QString::fromUtf8(answer)),
                      boxes[0].buttons.end())
                << answer;
        }
        EXPECT_TRUE(boxes[1].text.startsWith(Text(kTextDeleteFailed)));
        EXPECT_TRUE(boxes[1].text.endsWith(QLatin1Char('\n') + QString::fromUtf8(row.codeLine)));

        const CAboutDlg about;
        EXPECT_EQ(about.windowTitle(), QString::fromUtf8(row.aboutTitle));
        Stop();
    }
}

// Back in English, a new window and Qt's buttons are English again.
TEST_F(TranslatedWindowTest, EnglishReturnsWhenTheLanguageGoes) {
    ScopedUiLanguage("de");  // German for the statement's length only
    Start({{"VARNE_SIM_ENROLLED", "5"}});
    EXPECT_EQ(Child<CLabel>("titleLabel").text(), QStringLiteral("Select Finger"));
    EXPECT_EQ(Child<QPushButton>("abortButton").text(), QStringLiteral("Abort"));
    QStringList answers;
    ModalWatcher watcher([&](QWidget& modal) {
        if (auto* box = qobject_cast<QMessageBox*>(&modal)) {
            for (QAbstractButton* button : box->buttons()) {
                answers << Plain(button->text());
            }
            box->button(QMessageBox::No)->click();
        }
    });
    QTest::mouseClick(&Dialog(), Qt::LeftButton, {},
                      Child<QWidget>("picture").mapTo(&Dialog(), kLittleFingerTip));
    answers.sort();
    EXPECT_EQ(answers, (QStringList{QStringLiteral("No"), QStringLiteral("Yes")}));
}

}  // namespace
