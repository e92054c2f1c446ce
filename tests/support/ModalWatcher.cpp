// Hands every modal window to a handler as it shows, so a test can answer or close it.
#include "ModalWatcher.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPointer>
#include <QTimer>

ModalWatcher::ModalWatcher(std::function<void(QWidget&)> handler) : m_handler(std::move(handler)) {
    QCoreApplication::instance()->installEventFilter(this);
}

ModalWatcher::~ModalWatcher() {
    QCoreApplication::instance()->removeEventFilter(this);
}

bool ModalWatcher::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Show && watched->isWidgetType()) {
        auto* window = static_cast<QWidget*>(watched);
        if (window->isWindow() && window->isModal()) {
            QPointer<QWidget> shown(window);
            QTimer::singleShot(0, this, [this, shown] {
                if (shown != nullptr && shown->isVisible()) {
                    m_handler(*shown);
                }
            });
        }
    }
    return QObject::eventFilter(watched, event);
}
