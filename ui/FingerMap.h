// Where the fingertips lie on the hand picture, which one a click hits, and their marks.
#pragma once

#include <QColor>
#include <QPoint>
#include <QRect>
#include <QString>
#include <array>
#include <string>

#include "Translation.h"

class QPainter;

// Either way on each axis, bounds included.
constexpr int kHitTolerance = 5;

// One fingertip of the hand picture, in the picture's pixels.
struct Fingertip {
    QPoint position;
    // Where a click hits it: kHitTolerance either way of the position, bounds included.
    QRect hitSquare;
    // What a screen reader says for it.
    const char16_t* spokenName;
};

constexpr Fingertip MakeFingertip(int x, int y, const char16_t* spokenName) {
    return {QPoint(x, y),
            QRect(QPoint(x - kHitTolerance, y - kHitTolerance),
                  QPoint(x + kHitTolerance, y + kHitTolerance)),
            spokenName};
}

// Indexed by sub-factor. Entry 0 stands for no finger, yet takes part in hit-testing: a click
// at the picture's corner hits no finger.
inline constexpr std::array<Fingertip, 11> kFingertipTable = {{
    MakeFingertip(0, 0, u""),
    MakeFingertip(213, 102, N_(u"Right thumb")),
    MakeFingertip(260, 30, N_(u"Right index finger")),
    MakeFingertip(299, 15, N_(u"Right middle finger")),
    MakeFingertip(338, 26, N_(u"Right ring finger")),
    MakeFingertip(378, 62, N_(u"Right little finger")),
    MakeFingertip(183, 102, N_(u"Left thumb")),
    MakeFingertip(136, 30, N_(u"Left index finger")),
    MakeFingertip(97, 14, N_(u"Left middle finger")),
    MakeFingertip(57, 25, N_(u"Left ring finger")),
    MakeFingertip(17, 62, N_(u"Left little finger")),
}};

// A 6 x 6 mark, one pixel more below the fingertip than above it.
constexpr int kMarkLeftOffset = -3;
constexpr int kMarkTopOffset = -2;
constexpr int kMarkSize = 6;

// Around the selected finger's mark, clear of it: tells it from an enrolled one without colour.
constexpr int kSelectionRingGap = 1;
constexpr int kSelectionRingWidth = 1;

inline const QColor kEnrolledMarkColour{0, 255, 0};
inline const QColor kSelectedMarkColour{255, 0, 0};

// The sub-factor under point, both in the same coordinates, with the picture's top-left at
// origin; 0 when no fingertip is there. The first matching entry wins, entry 0 included.
int FindFingerAt(QPoint point, QPoint origin);

// The name of finger 1..10 as a screen reader says it ("Right thumb"); empty for any other value.
QString SpokenFingerName(int subFactor);

// The mark of a finger 1..10 in the picture's own coordinates; an empty rect for any other value.
QRect FingerMarkRect(int subFactor);

// The outer bounds of the ring around a finger's mark; an empty rect for no finger.
QRect SelectionRingRect(int subFactor);

// Green marks for the enrolled set in its order, then red for the selected finger with its ring,
// in the picture's coordinates. Characters that stand for no finger 1..10 get no mark.
void PaintFingerMarks(QPainter& painter, const std::u16string& enrolledSet, int selectedFinger);
