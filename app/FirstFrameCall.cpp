// Calls a function once a window's first frame is painted, for work that must not delay it.
#include "FirstFrameCall.h"

#include <QEvent>
#include <QWidget>

FirstFrameCall::FirstFrameCall(QWidget& window, std::function<void()> call)
    : m_window(window), m_call(std::move(call)) {
    m_window.installEventFilter(this);
}

bool FirstFrameCall::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &m_window && event->type() == QEvent::Paint) {
        m_window.removeEventFilter(this);
        // Queued: it runs once the whole frame, children included, has been painted.
        QMetaObject::invokeMethod(this, m_call, Qt::QueuedConnection);
    }
    return QObject::eventFilter(watched, event);
}
