// Calls a function once a window's first frame is painted, for work that must not delay it.
#pragma once

#include <QObject>
#include <functional>

class QWidget;

class FirstFrameCall : public QObject {
    Q_OBJECT
public:
    // The call comes from the event loop after the window's first paint, once; never when this
    // object is gone first.
    FirstFrameCall(QWidget& window, std::function<void()> call);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget& m_window;
    std::function<void()> m_call;
};
