// Answers every message box with a chosen button and notes what each one showed.
#include "MessageBoxAnswerer.h"

#include <QAbstractButton>

MessageBoxAnswerer::MessageBoxAnswerer(QMessageBox::StandardButton answer)
    : m_answer(answer), m_watcher([this](QWidget& modal) {
          if (auto* box = qobject_cast<QMessageBox*>(&modal)) {
              Answer(*box);
          }
      }) {}

void MessageBoxAnswerer::Answer(QMessageBox& box) {
    seen.push_back({box.windowTitle(), box.text(), box.icon(), box.standardButtons(),
                    !box.windowIcon().isNull()});
    QAbstractButton* button = box.button(m_answer);
    if (button == nullptr) {
        button = box.button(QMessageBox::Ok);
    }
    if (button != nullptr) {
        button->click();
    }
}
