// Keyboard access to the hand picture: a focus ring on one fingertip, and what a screen reader
// reads.
#include "FingerMapFocus.h"

#include <QAccessible>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QWidget>
#include <algorithm>

#include "EnrolledSet.h"
#include "EnrollmentContext.h"
#include "EnrollmentWorkflow.h"
#include "FingerMap.h"

namespace {

// Clear of the fingertip's white disc, well short of the next fingertip.
constexpr int kRingRadius = 9;
constexpr double kRingWidth = 2.0;

std::array<int, FingerMapFocus::kFingerCount> LeftToRight() {
    std::array<int, FingerMapFocus::kFingerCount> order{};
    for (int index = 0; index < FingerMapFocus::kFingerCount; ++index) {
        order[index] = index + 1;
    }
    std::sort(order.begin(), order.end(), [](int left, int right) {
        return kFingertipTable[left].position.x() < kFingertipTable[right].position.x();
    });
    return order;
}

bool IsActivationKey(int key) {
    return key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter;
}

bool IsMenuKey(const QKeyEvent& event) {
    const Qt::KeyboardModifiers modifiers = event.modifiers() & ~Qt::KeypadModifier;
    return (event.key() == Qt::Key_Menu && modifiers == Qt::NoModifier) ||
           (event.key() == Qt::Key_F10 && modifiers == Qt::ShiftModifier);
}

}  // namespace

FingerMapFocus::FingerMapFocus(QWidget& picture, const EnrollmentContext& context,
                               const EnrollmentWorkflow& workflow, ActOnFinger act)
    : QObject(&picture),
      m_picture(picture),
      m_context(context),
      m_workflow(workflow),
      m_act(std::move(act)),
      m_focusedFinger(Order().front()) {
    m_picture.setFocusPolicy(Qt::TabFocus);
    m_picture.installEventFilter(this);
    for (int index = 0; index < kFingerCount; ++index) {
        m_reportedStates[index] = StateOf(Order()[index]);
    }
    m_reportedCanAct = CanAct();
}

const std::array<int, FingerMapFocus::kFingerCount>& FingerMapFocus::Order() {
    static const std::array<int, kFingerCount> order = LeftToRight();
    return order;
}

int FingerMapFocus::IndexOf(int subFactor) {
    const auto& order = Order();
    const auto found = std::find(order.begin(), order.end(), subFactor);
    return found == order.end() ? -1 : static_cast<int>(found - order.begin());
}

QRect FingerMapFocus::RingRect(int subFactor) {
    if (IndexOf(subFactor) < 0) {
        return {};
    }
    const QPoint tip = kFingertipTable[subFactor].position;
    return {tip.x() - kRingRadius, tip.y() - kRingRadius, 2 * kRingRadius + 1, 2 * kRingRadius + 1};
}

void FingerMapFocus::SetFocusedFinger(int subFactor) {
    const int index = IndexOf(subFactor);
    if (index >= 0 && subFactor != m_focusedFinger) {
        MoveRingTo(index);
    }
}

bool FingerMapFocus::RingShown() const {
    return m_picture.hasFocus();
}

FingerState FingerMapFocus::StateOf(int subFactor) const {
    if (subFactor == m_context.selectedFinger) {
        return m_workflow.TestUnderWay() ? FingerState::kBeingTested : FingerState::kBeingEnrolled;
    }
    return IsEnrolled(m_context.enrolledSet, subFactor) ? FingerState::kEnrolled
                                                        : FingerState::kNotEnrolled;
}

bool FingerMapFocus::CanAct() const {
    return m_workflow.CanActOnFinger();
}

void FingerMapFocus::Act(int subFactor) {
    if (IndexOf(subFactor) >= 0 && m_act) {
        m_act(subFactor);
    }
}

void FingerMapFocus::Test(int subFactor) {
    if (IndexOf(subFactor) >= 0 && m_test) {
        m_test(subFactor);
    }
}

void FingerMapFocus::ShowMenu(int subFactor, QPoint pictureLocalPosition) {
    if (IndexOf(subFactor) >= 0 && m_showMenu) {
        m_showMenu(subFactor, m_picture.mapToGlobal(pictureLocalPosition));
    }
}

void FingerMapFocus::PaintRing(QPainter& painter) const {
    if (!RingShown()) {
        return;
    }
    QStyleOptionFocusRect option;
    option.initFrom(&m_picture);
    // As the styles draw focus frames: once the keyboard has been used in the window.
    if (!(option.state & QStyle::State_KeyboardFocusChange)) {
        return;
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(QPen(option.palette.color(QPalette::Highlight), kRingWidth));
    painter.setBrush(Qt::NoBrush);
    const QRectF ring =
        QRectF(RingRect(m_focusedFinger))
            .adjusted(kRingWidth / 2, kRingWidth / 2, -kRingWidth / 2, -kRingWidth / 2);
    painter.drawEllipse(ring);
    painter.restore();
}

void FingerMapFocus::NotifyChanges() {
    const bool canAct = CanAct();
    for (int index = 0; index < kFingerCount; ++index) {
        const FingerState state = StateOf(Order()[index]);
        if (state != m_reportedStates[index]) {
            m_reportedStates[index] = state;
            QAccessibleEvent event(&m_picture, QAccessible::DescriptionChanged);
            event.setChild(index);
            QAccessible::updateAccessibility(&event);
        }
        if (canAct != m_reportedCanAct) {
            QAccessible::State changed;
            changed.disabled = true;
            QAccessibleStateChangeEvent event(&m_picture, changed);
            event.setChild(index);
            QAccessible::updateAccessibility(&event);
        }
    }
    m_reportedCanAct = canAct;
}

bool FingerMapFocus::eventFilter(QObject* watched, QEvent* event) {
    if (watched != &m_picture) {
        return false;
    }
    switch (event->type()) {
        case QEvent::KeyPress:
            return HandleKeyPress(static_cast<const QKeyEvent&>(*event));
        case QEvent::KeyRelease:
            return HandleKeyRelease(static_cast<const QKeyEvent&>(*event));
        case QEvent::ContextMenu:
            return HandleContextMenu(static_cast<const QContextMenuEvent&>(*event));
        case QEvent::FocusIn:
            m_picture.update();
            // After the widget's own focus report, which would otherwise name the picture last.
            QMetaObject::invokeMethod(this, &FingerMapFocus::NotifyFocus, Qt::QueuedConnection);
            return false;
        case QEvent::FocusOut:
            m_armedKey = 0;
            m_picture.update();
            return false;
        default:
            return false;
    }
}

bool FingerMapFocus::HandleKeyPress(const QKeyEvent& event) {
    if (IsMenuKey(event)) {
        ShowKeyboardFocus();
        ShowMenu(m_focusedFinger, RingRect(m_focusedFinger).center());
        return true;
    }
    const Qt::KeyboardModifiers modifiers = event.modifiers() & ~Qt::KeypadModifier;
    if (modifiers != Qt::NoModifier) {
        return false;  // leaves Alt+Space, Ctrl+... to the window
    }
    const int index = IndexOf(m_focusedFinger);
    switch (event.key()) {
        case Qt::Key_Left:
        case Qt::Key_Up:
            MoveRingTo(std::max(index - 1, 0));
            return true;
        case Qt::Key_Right:
        case Qt::Key_Down:
            MoveRingTo(std::min(index + 1, kFingerCount - 1));
            return true;
        case Qt::Key_Home:
            MoveRingTo(0);
            return true;
        case Qt::Key_End:
            MoveRingTo(kFingerCount - 1);
            return true;
        default:
            break;
    }
    if (IsActivationKey(event.key())) {
        if (!event.isAutoRepeat()) {
            m_armedKey = event.key();
            ShowKeyboardFocus();
        }
        return true;
    }
    return false;
}

bool FingerMapFocus::HandleKeyRelease(const QKeyEvent& event) {
    if (!IsActivationKey(event.key())) {
        return false;
    }
    if (event.isAutoRepeat() || event.key() != m_armedKey) {
        return true;
    }
    m_armedKey = 0;
    Act(m_focusedFinger);
    return true;
}

bool FingerMapFocus::HandleContextMenu(const QContextMenuEvent& event) {
    // The picture lets the mouse through to the window, which takes right-clicks; what comes
    // here is the platform's own report of the Menu key, beside the key itself.
    if (event.reason() == QContextMenuEvent::Mouse) {
        return false;
    }
    ShowMenu(m_focusedFinger, RingRect(m_focusedFinger).center());
    return true;
}

void FingerMapFocus::MoveRingTo(int index) {
    ShowKeyboardFocus();
    const int finger = Order()[index];
    if (finger == m_focusedFinger) {
        return;
    }
    m_focusedFinger = finger;
    m_picture.update();
    if (m_picture.hasFocus()) {
        NotifyFocus();
    }
}

void FingerMapFocus::ShowKeyboardFocus() {
    // What Qt does when Tab moves the focus: the style then draws focus frames.
    if (m_picture.hasFocus() && !m_picture.window()->testAttribute(Qt::WA_KeyboardFocusChange)) {
        m_picture.window()->setAttribute(Qt::WA_KeyboardFocusChange);
        m_picture.update();
    }
}

void FingerMapFocus::NotifyFocus() const {
    if (!m_picture.hasFocus()) {
        return;
    }
    QAccessibleEvent event(&m_picture, QAccessible::Focus);
    event.setChild(IndexOf(m_focusedFinger));
    QAccessible::updateAccessibility(&event);
}
