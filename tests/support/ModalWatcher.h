// Hands every modal window to a handler as it shows, so a test can answer or close it.
#pragma once

#include <QObject>
#include <QWidget>
#include <functional>

// Watches the whole application through an event filter rather than polling, so a box is seen
// however briefly it shows. The handler runs from the modal window's own event loop, once that
// loop runs, since a dialog closed before its loop starts would leave the loop waiting.
class ModalWatcher : public QObject {
public:
    explicit ModalWatcher(std::function<void(QWidget&)> handler);
    ~ModalWatcher() override;
    ModalWatcher(const ModalWatcher&) = delete;
    ModalWatcher& operator=(const ModalWatcher&) = delete;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<void(QWidget&)> m_handler;
};
