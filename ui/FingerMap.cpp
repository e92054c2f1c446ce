// Hit-testing and mark painting for the hand picture.
#include "FingerMap.h"

#include <QPainter>

#include "EnrolledSet.h"
#include "UiText.h"
#include "WinBio.h"

namespace {

bool IsFinger(int subFactor) {
    return subFactor >= kFirstFinger && subFactor <= kLastFinger;
}

}  // namespace

int FindFingerAt(QPoint point, QPoint origin) {
    const QPoint offset = point - origin;
    for (int subFactor = 0; subFactor < static_cast<int>(kFingertipTable.size()); ++subFactor) {
        if (kFingertipTable[subFactor].hitSquare.contains(offset)) {
            return subFactor;
        }
    }
    return 0;
}

QString SpokenFingerName(int subFactor) {
    return IsFinger(subFactor) ? UiText(QString::fromUtf16(kFingertipTable[subFactor].spokenName))
                               : QString();
}

QRect FingerMarkRect(int subFactor) {
    if (!IsFinger(subFactor)) {
        return {};
    }
    const QPoint tip = kFingertipTable[subFactor].position;
    return {tip.x() + kMarkLeftOffset, tip.y() + kMarkTopOffset, kMarkSize, kMarkSize};
}

QRect SelectionRingRect(int subFactor) {
    const int reach = kSelectionRingGap + kSelectionRingWidth;
    return FingerMarkRect(subFactor).adjusted(-reach, -reach, reach, reach);
}

void PaintFingerMarks(QPainter& painter, const std::u16string& enrolledSet, int selectedFinger) {
    painter.save();
    // Exact pixels: the marks must not bleed into the picture.
    painter.setRenderHint(QPainter::Antialiasing, false);
    for (const SubFactor finger : EnrolledFingers(enrolledSet)) {
        painter.fillRect(FingerMarkRect(finger), kEnrolledMarkColour);
    }
    // Red after green, so a selected finger never looks enrolled.
    if (IsFinger(selectedFinger)) {
        painter.fillRect(FingerMarkRect(selectedFinger), kSelectedMarkColour);
        // Four filled edges rather than a pen: exact pixels whatever the pen's geometry.
        const QRect ring = SelectionRingRect(selectedFinger);
        const int edge = kSelectionRingWidth;
        painter.fillRect(QRect(ring.left(), ring.top(), ring.width(), edge), kSelectedMarkColour);
        painter.fillRect(QRect(ring.left(), ring.bottom() - edge + 1, ring.width(), edge),
                         kSelectedMarkColour);
        painter.fillRect(QRect(ring.left(), ring.top(), edge, ring.height()), kSelectedMarkColour);
        painter.fillRect(QRect(ring.right() - edge + 1, ring.top(), edge, ring.height()),
                         kSelectedMarkColour);
    }
    painter.restore();
}
