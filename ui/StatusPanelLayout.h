// Places the status panel's texts and buttons so that every text is shown whole or scrolls.
#pragma once

#include <QObject>
#include <QRect>
#include <QString>

class CLabel;
class QDialog;
class QFont;
class QProgressBar;
class QPushButton;
class QScrollArea;

// Everything keeps its template place, except that the instruction text may use the room down to
// the progress bar (and, for a text that needs it, the room the title's text leaves free).
// Larger fonts make the labels' fonts larger too, as the places grow with the dialog's units;
// where the screen holds the dialog back, the title grows downwards, the buttons grow to their
// texts, and the instruction text scrolls.
class StatusPanelLayout : public QObject {
    Q_OBJECT
public:
    struct Controls {
        CLabel* title = nullptr;
        CLabel* instruction = nullptr;
        QProgressBar* progressBar = nullptr;
        QPushButton* abortButton = nullptr;
        QPushButton* closeButton = nullptr;
    };

    // Puts the instruction label into a scroll area of the dialog at the label's place; the
    // title's, the label's and the buttons' current places are their template places.
    StatusPanelLayout(QDialog& dialog, const Controls& controls);

    // New template places (the dialog's units changed), then ApplyFonts.
    void SetTemplatePlaces(const QRect& title, const QRect& instruction, const QRect& abort,
                           const QRect& close);
    // The labels' fonts, scaled to the application's font, then the places.
    void ApplyFonts();
    // After a text change: the places for the texts now shown.
    void Update();

    QScrollArea* InstructionArea() const { return m_instructionArea; }

private:
    void PlaceButtons();

    Controls m_controls;
    QScrollArea* m_instructionArea = nullptr;
    QRect m_titlePlace;
    QRect m_instructionPlace;
    QRect m_abortPlace;
    QRect m_closePlace;
    QString m_instructionShown;
};

// How much larger than the default the labels' fonts are drawn: 1 up to the default font size,
// in proportion above it.
double StatusFontScale(const QFont& applicationFont);
