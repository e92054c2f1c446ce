// Places the status panel's texts and buttons so that every text is shown whole or scrolls.
#include "StatusPanelLayout.h"

#include <QApplication>
#include <QDialog>
#include <QFontInfo>
#include <QFontMetrics>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <algorithm>
#include <cmath>

#include "CLabel.h"
#include "DialogBuilder.h"
#include "DialogFontUnits.h"

namespace {

constexpr int kTitleFontWeight = 700;
constexpr int kTitleFontHeight = -20;
constexpr int kInstructionFontHeight = -10;

int Scaled(int height, double scale) {
    return static_cast<int>(std::lround(height * scale));
}

// Grows a button to its text, keeping its top and its right edge.
QRect GrownToText(const QPushButton& button, const QRect& place, int right) {
    const QSize needed = ButtonSizeForText(button).expandedTo(place.size());
    return {right - needed.width() + 1, place.top(), needed.width(), needed.height()};
}

}  // namespace

double StatusFontScale(const QFont& applicationFont) {
    return std::max(1.0, QFontInfo(applicationFont).pointSizeF() / kDefaultFontPointSize);
}

StatusPanelLayout::StatusPanelLayout(QDialog& dialog, const Controls& controls)
    : QObject(&dialog),
      m_controls(controls),
      m_titlePlace(controls.title->geometry()),
      m_instructionPlace(controls.instruction->geometry()),
      m_abortPlace(controls.abortButton->geometry()),
      m_closePlace(controls.closeButton->geometry()) {
    m_instructionArea = new QScrollArea(&dialog);
    m_instructionArea->setObjectName(QStringLiteral("instructionArea"));
    m_instructionArea->setFrameShape(QFrame::NoFrame);
    m_instructionArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_instructionArea->setFocusPolicy(Qt::NoFocus);
    m_instructionArea->viewport()->setBackgroundRole(QPalette::Button);
    m_instructionArea->setGeometry(m_instructionPlace);
    // Wrapped lines make the label as tall as its text; the area scrolls what it cannot show.
    m_instructionArea->setWidgetResizable(true);
    m_instructionArea->setWidget(controls.instruction);
    m_instructionArea->show();
}

void StatusPanelLayout::SetTemplatePlaces(const QRect& title, const QRect& instruction,
                                          const QRect& abort, const QRect& close) {
    m_titlePlace = title;
    m_instructionPlace = instruction;
    m_abortPlace = abort;
    m_closePlace = close;
    ApplyFonts();
}

void StatusPanelLayout::ApplyFonts() {
    const double scale = StatusFontScale(QApplication::font());
    m_controls.title->SetFontWeight(kTitleFontWeight);
    m_controls.title->SetFontHeight(Scaled(kTitleFontHeight, scale));
    m_controls.instruction->SetFontHeight(Scaled(kInstructionFontHeight, scale));
    Update();
}

void StatusPanelLayout::Update() {
    const int width = m_titlePlace.width();
    const int titleTextHeight = m_controls.title->heightForWidth(width);
    int titleHeight = std::max(m_titlePlace.height(), titleTextHeight);

    const int gap = m_instructionPlace.top() - m_titlePlace.bottom() - 1;
    const int bottom = m_controls.progressBar->geometry().top() - 1;
    int top = std::max(m_instructionPlace.top(), m_titlePlace.top() + titleHeight + gap);
    if (m_controls.instruction->heightForWidth(width) > bottom - top + 1) {
        // Rather than scroll, take the room below the title's last line.
        titleHeight = titleTextHeight;
        top = std::min(top, m_titlePlace.top() + titleHeight + gap);
    }
    const int lineStep = QFontMetrics(m_controls.instruction->font()).lineSpacing();
    if (top > bottom + 1 - lineStep) {
        // A screen too small for the font: the title gives up its last lines so that one line
        // of text stays in view above the bar.
        top = std::max(m_instructionPlace.top(), bottom + 1 - lineStep);
        titleHeight = std::max(0, top - gap - m_titlePlace.top());
    }
    m_controls.title->setGeometry(m_titlePlace.left(), m_titlePlace.top(), width, titleHeight);
    int height = bottom - top + 1;
    if (m_controls.instruction->heightForWidth(width) > height && lineStep > 0) {
        // Whole lines in view and a scroll step of one line: no line shows half.
        height -= height % lineStep;
        m_instructionArea->verticalScrollBar()->setSingleStep(lineStep);
    }
    m_instructionArea->setGeometry(m_instructionPlace.left(), top, width, height);

    if (m_controls.instruction->text() != m_instructionShown) {
        m_instructionShown = m_controls.instruction->text();
        m_instructionArea->verticalScrollBar()->setValue(0);  // a new text starts at its top
    }
    PlaceButtons();
}

void StatusPanelLayout::PlaceButtons() {
    const QRect close = GrownToText(*m_controls.closeButton, m_closePlace, m_closePlace.right());
    m_controls.closeButton->setGeometry(close);
    const int spacing = m_closePlace.left() - m_abortPlace.right() - 1;
    m_controls.abortButton->setGeometry(
        GrownToText(*m_controls.abortButton, m_abortPlace, close.left() - spacing - 1));
}
