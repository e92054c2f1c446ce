// Answers every message box with a chosen button and notes what each one showed.
#pragma once

#include <QMessageBox>
#include <QString>
#include <vector>

#include "ModalWatcher.h"

class MessageBoxAnswerer {
public:
    struct Seen {
        QString caption;
        QString text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QMessageBox::StandardButtons buttons;
        bool hasWindowIcon = false;

        bool IsQuestion() const { return buttons.testFlag(QMessageBox::Yes); }
    };

    // OK answers a box that lacks the chosen button.
    explicit MessageBoxAnswerer(QMessageBox::StandardButton answer = QMessageBox::Ok);

    std::vector<Seen> seen;

private:
    void Answer(QMessageBox& box);

    QMessageBox::StandardButton m_answer;
    ModalWatcher m_watcher;
};
