// The small menu of an enrolled fingertip: test it, or delete it after the question.
#pragma once

#include <QMenu>
#include <QPoint>
#include <functional>

class QAction;

class FingertipMenu : public QObject {
public:
    using FingerHandler = std::function<void(int subFactor)>;

    FingertipMenu(QWidget& window, FingerHandler test, FingerHandler askToDelete);

    // Pops the menu up for one fingertip at a global position; returns at once. Does nothing
    // while the menu is already open (the Menu key may also come as a context-menu event).
    void PopUp(int subFactor, QPoint globalPosition);
    QMenu& Menu() { return m_menu; }
    // The fingertip the open (or last) menu belongs to.
    int Finger() const { return m_finger; }

private:
    QMenu m_menu;
    QAction* m_testAction = nullptr;
    QAction* m_deleteAction = nullptr;
    int m_finger = 0;
};
