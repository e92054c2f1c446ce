// Counts one kind of event on the widgets it is installed on (paints by default).
#pragma once

#include <QEvent>
#include <QObject>

class EventCounter : public QObject {
public:
    explicit EventCounter(QEvent::Type type = QEvent::Paint) : m_type(type) {}
    int count = 0;

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
