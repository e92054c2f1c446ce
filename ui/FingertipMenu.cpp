// The small menu of an enrolled fingertip: test it, or delete it after the question.
#include "FingertipMenu.h"

#include <QAction>
#include <utility>

#include "FingerMap.h"
#include "MessageCatalogue.h"

FingertipMenu::FingertipMenu(QWidget& window, FingerHandler test, FingerHandler askToDelete)
    : QObject(&window), m_menu(&window) {
    m_menu.setObjectName(QStringLiteral("fingertipMenu"));
    m_testAction =
        m_menu.addAction(QString::fromStdU16String(LoadCatalogueText(kTextTestMenuItem)));
    m_testAction->setObjectName(QStringLiteral("testFingerAction"));
    m_deleteAction =
        m_menu.addAction(QString::fromStdU16String(LoadCatalogueText(kTextDeleteMenuItem)));
    m_deleteAction->setObjectName(QStringLiteral("deleteFingerAction"));
    // Queued: the menu has closed by then, and the question it may bring up runs on its own.
    connect(
        m_testAction, &QAction::triggered, this, [this, test = std::move(test)] { test(m_finger); },
        Qt::QueuedConnection);
    connect(
        m_deleteAction, &QAction::triggered, this,
        [this, askToDelete = std::move(askToDelete)] { askToDelete(m_finger); },
        Qt::QueuedConnection);
}

void FingertipMenu::PopUp(int subFactor, QPoint globalPosition) {
    if (m_menu.isVisible()) {
        return;
    }
    m_finger = subFactor;
    m_menu.setTitle(SpokenFingerName(subFactor));  // what a screen reader names the menu
    m_menu.popup(globalPosition);
}
