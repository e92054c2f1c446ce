// A static text whose colour, font and background are chosen by its owner.
#include "CLabel.h"

#include <QApplication>
#include <QEvent>
#include <QFontMetrics>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <algorithm>
#include <cmath>

#include "ReadableColour.h"

namespace {

constexpr int kWeightDontCare = 0;  // the font's own weight
constexpr int kLightestWeight = 1;
constexpr int kHeaviestWeight = 1000;
constexpr int kTextFlags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap | Qt::TextExpandTabs;
constexpr Qt::TextInteractionFlags kSelectable =
    Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard;

}  // namespace

QColor ColorrefToQColor(Colorref colour) {
    return QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

Colorref QColorToColorref(const QColor& colour) {
    const QColor rgb = colour.toRgb();
    return static_cast<Colorref>(rgb.red()) | (static_cast<Colorref>(rgb.green()) << 8) |
           (static_cast<Colorref>(rgb.blue()) << 16);
}

CLabel::CLabel(QWidget* parent)
    : QLabel(parent),
      m_textColour(QColorToColorref(palette().color(QPalette::WindowText))),
      m_fontDescription(QApplication::font()) {
    setTextFormat(Qt::PlainText);
    setWordWrap(true);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // Clicks over the label belong to the window beneath.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_OpaquePaintEvent);  // paintEvent fills every pixel
    setFont(m_fontDescription);
    FollowPalette();
}

void CLabel::SetLabelColor(Colorref colour) {
    if (colour == m_textColour) {
        return;
    }
    m_textColour = colour;
    FollowPalette();
    repaint();
}

void CLabel::SetFontWeight(int weight) {
    if (weight == kWeightDontCare) {
        m_fontDescription.setWeight(QApplication::font().weight());
    } else {
        m_fontDescription.setWeight(
            static_cast<QFont::Weight>(std::clamp(weight, kLightestWeight, kHeaviestWeight)));
    }
    ApplyFont();
}

void CLabel::SetFontHeight(int height) {
    if (height < 0) {
        m_fontDescription.setPixelSize(-height);
    } else if (height == 0) {
        // Zero asks for the default size.
        const QFont standard = QApplication::font();
        if (standard.pixelSize() > 0) {
            m_fontDescription.setPixelSize(standard.pixelSize());
        } else {
            m_fontDescription.setPointSizeF(standard.pointSizeF());
        }
    } else {
        // Positive: the height of the whole character cell, leading included, in pixels.
        m_fontDescription.setPixelSize(height);
        const int cellHeight = QFontMetrics(m_fontDescription).height();
        if (cellHeight > 0 && cellHeight != height) {
            const int scaled = static_cast<int>(std::lround(double(height) * height / cellHeight));
            m_fontDescription.setPixelSize(std::max(1, scaled));
        }
    }
    ApplyFont();
}

void CLabel::SetLabelText(const QString& text) {
    if (text == QLabel::text()) {
        return;
    }
    setText(text);
}

void CLabel::SetTextSelectable(bool selectable) {
    setTextInteractionFlags(selectable ? kSelectable : Qt::NoTextInteraction);
    setAttribute(Qt::WA_TransparentForMouseEvents, !selectable);
    // Reachable by Tab too, so the text can be copied without a mouse.
    setFocusPolicy(selectable ? Qt::StrongFocus : Qt::NoFocus);
}

void CLabel::ApplyFont() {
    setFont(m_fontDescription);
    repaint();
}

void CLabel::FollowPalette() {
    // What the label stands on: its own palette holds nothing but the shown text colour.
    const QPalette inherited =
        parentWidget() != nullptr ? parentWidget()->palette() : QApplication::palette(this);
    m_backgroundColour = inherited.color(QPalette::Button);
    m_shownColour = ReadableTextColour(ColorrefToQColor(m_textColour), m_backgroundColour,
                                       inherited.color(QPalette::WindowText));
    if (palette().color(QPalette::WindowText) == m_shownColour) {
        return;
    }
    // The selectable text is drawn by QLabel, which takes its colour from the palette.
    QPalette own;
    own.setColor(QPalette::WindowText, m_shownColour);
    m_settingOwnPalette = true;
    setPalette(own);
    m_settingOwnPalette = false;
}

void CLabel::changeEvent(QEvent* event) {
    QLabel::changeEvent(event);
    const bool paletteChanged =
        event->type() == QEvent::PaletteChange || event->type() == QEvent::ApplicationPaletteChange;
    if (paletteChanged && !m_settingOwnPalette) {
        FollowPalette();
        update();
    }
}

void CLabel::focusInEvent(QFocusEvent* event) {
    QLabel::focusInEvent(event);
    update();
}

void CLabel::focusOutEvent(QFocusEvent* event) {
    QLabel::focusOutEvent(event);
    update();
}

void CLabel::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.fillRect(rect(), m_backgroundColour);
    if (textInteractionFlags() & kSelectable) {
        if (hasFocus()) {
            // A keyboard user needs to see where the copy keys will act.
            QStyleOptionFocusRect focus;
            focus.initFrom(this);
            focus.backgroundColor = m_backgroundColour;
            style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
        }
        painter.end();
        QLabel::paintEvent(event);  // draws the selection too
        return;
    }
    painter.setFont(m_fontDescription);
    painter.setPen(m_shownColour);
    painter.drawText(contentsRect(), kTextFlags, text());
}
