// A static text whose colour, font and background are chosen by its owner.
#pragma once

#include <QColor>
#include <QFont>
#include <QLabel>

#include "WorkflowDisplay.h"

// Repaints only on a real change: same colour or same text costs nothing. The background is the
// palette's button face and follows palette changes; on a dark face the requested colours are
// shown in readable stand-ins (see ReadableTextColour).
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
    // Lets mouse and keyboard select the text for copying; the label then takes the mouse
    // input over it instead of passing it to the window beneath.
    void SetTextSelectable(bool selectable);

    // The colour as requested, and as drawn on the current background.
    Colorref LabelColor() const { return m_textColour; }
    QColor ShownTextColour() const { return m_shownColour; }
    QColor BackgroundColour() const { return m_backgroundColour; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void ApplyFont();
    void FollowPalette();

    Colorref m_textColour;
    QColor m_backgroundColour;
    QColor m_shownColour;
    QFont m_fontDescription;
    bool m_settingOwnPalette = false;
};

QColor ColorrefToQColor(Colorref colour);
Colorref QColorToColorref(const QColor& colour);
