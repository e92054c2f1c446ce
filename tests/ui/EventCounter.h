// Counts one kind of event on the widgets it is installed on (paints by default).
#pragma once

#include <QEvent>
#include <QObject>
#include <QWidget>

class EventCounter : public QObject {
public:
    explicit EventCounter(QEvent::Type type = QEvent::Paint) : m_type(type) {}
    int count = 0;

    // Counts on a widget and every widget inside it.
    void InstallOnTree(QWidget& root) {
        root.installEventFilter(this);
        for (QWidget* child : root.findChildren<QWidget*>()) {
            child->installEventFilter(this);
        }
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == m_type) {
            ++count;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QEvent::Type m_type;
};
