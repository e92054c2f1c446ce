// Helpers for the main window's tests: answering modal boxes and counting paints.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <vector>

// Polls for modal windows and hands each newly active one to a handler, which may close it.
class ModalWatcher {
public:
    explicit ModalWatcher(std::function<void(QWidget&)> handler) : m_handler(std::move(handler)) {
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { Poll(); });
        m_timer.start();
    }

private:
    void Poll() {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || modal == m_last) {
            return;
        }
        m_last = modal;
        m_handler(*modal);
    }

    std::function<void(QWidget&)> m_handler;
    QTimer m_timer;
    QPointer<QWidget> m_last;
};

// Answers every message box with the given button (OK where that button is missing).
class MessageBoxAnswerer {
public:
    struct Seen {
        QString caption;
        QString text;
        QMessageBox::Icon icon;
        QMessageBox::StandardButtons buttons;
        bool hasWindowIcon;
    };

    explicit MessageBoxAnswerer(QMessageBox::StandardButton answer = QMessageBox::Ok)
        : m_watcher([this, answer](QWidget& modal) {
              auto* box = qobject_cast<QMessageBox*>(&modal);
              if (box == nullptr) {
                  return;
              }
              seen.push_back({box->windowTitle(), box->text(), box->icon(), box->standardButtons(),
                              !box->windowIcon().isNull()});
              QAbstractButton* button = box->button(answer);
              if (button == nullptr) {
                  button = box->button(QMessageBox::Ok);
              }
              if (button != nullptr) {
                  button->click();
              }
          }) {}

    std::vector<Seen> seen;

private:
    ModalWatcher m_watcher;
};

// Counts paint events of a widget and all its children.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget& root) {
        root.installEventFilter(this);
        for (QWidget* child : root.findChildren<QWidget*>()) {
            child->installEventFilter(this);
        }
    }
    int count = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++count;
        }
        return QObject::eventFilter(watched, event);
    }
};
