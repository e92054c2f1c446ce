// A window that records the mouse presses reaching it, to check that clicks fall through.
#pragma once

#include <QMouseEvent>
#include <QPoint>
#include <QWidget>

class PressRecorder : public QWidget {
public:
    int presses = 0;
    QPoint lastPress;

protected:
    void mousePressEvent(QMouseEvent* event) override {
        ++presses;
        lastPress = event->position().toPoint();
    }
};
