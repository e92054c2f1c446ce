// Where the fingertips lie on the hand picture, which one a click hits, and their marks.
#pragma once

#include <QColor>
#include <QPoint>
#include <QRect>
#include <array>
#include <string>

class QPainter;

// Positions in pixels of the hand picture, indexed by sub-factor; entry 0 stands for no finger.
inline constexpr std::array<QPoint, 11> kFingertipTable = {{
    {0, 0},
    {213, 102},  // right thumb
    {260, 30},   // right index
    {299, 15},   // right middle
    {338, 26},   // right ring
    {378, 62},   // right little
    {183, 102},  // left thumb
    {136, 30},   // left index
    {97, 14},    // left middle
    {57, 25},    // left ring
    {17, 62},    // left little
}};

// Either way on each axis, bounds included.
constexpr int kHitTolerance = 5;

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

// The mark of a finger 1..10 in the picture's own coordinates; an empty rect for any other value.
QRect FingerMarkRect(int subFactor);

// The outer bounds of the ring around a finger's mark; an empty rect for no finger.
QRect SelectionRingRect(int subFactor);

// Green marks for the enrolled set in its order, then red for the selected finger with its ring,
// in the picture's coordinates. Characters that stand for no finger 1..10 get no mark.
void PaintFingerMarks(QPainter& painter, const std::u16string& enrolledSet, int selectedFinger);
