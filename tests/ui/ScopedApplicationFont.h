// The application's font at another point size for one scope, as a desktop's font setting.
#pragma once

#include <QApplication>
#include <QFont>

class ScopedApplicationFont {
public:
    explicit ScopedApplicationFont(int pointSize) : m_original(QApplication::font()) {
        QFont font = m_original;
        font.setPointSize(pointSize);
        QApplication::setFont(font);
    }
    ~ScopedApplicationFont() { QApplication::setFont(m_original); }
    ScopedApplicationFont(const ScopedApplicationFont&) = delete;
    ScopedApplicationFont& operator=(const ScopedApplicationFont&) = delete;

private:
    QFont m_original;
};
