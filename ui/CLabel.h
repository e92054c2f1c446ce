// A static text whose colour, font and background are chosen by its owner.
#pragma once

#include <QColor>
#include <QFont>
#include <QLabel>

#include "WorkflowDisplay.h"

// Repaints only on a real change: same colour or same text costs nothing.
class CLabel : public QLabel {
    Q_OBJECT
public:
    explicit CLabel(QWidget* parent = nullptr);

    void SetLabelColor(Colorref colour);
    // 1 to 1000 as in OpenType (400 normal, 700 bold), clamped; 0: the default font's weight.
    void SetFontWeight(int weight);
    // Negative: character height in pixels. Positive: height of the whole character cell,
    // leading included, in pixels. 0: the default font's size.
    void SetFontHeight(int height);
    void SetLabelText(const QString& text);

    Colorref LabelColor() const { return m_textColour; }
    QColor BackgroundColour() const { return m_backgroundColour; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void ApplyFont();

    Colorref m_textColour;
    QColor m_backgroundColour;  // button face at construction
    QFont m_fontDescription;
};

QColor ColorrefToQColor(Colorref colour);
Colorref QColorToColorref(const QColor& colour);
