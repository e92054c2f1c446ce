// One fingertip of the hand picture as assistive technology sees it: a button to enroll, delete or
// test.
#include "FingertipAccessible.h"

#include <QWindow>

#include "FingerMap.h"
#include "FingerMapFocus.h"

FingertipAccessible::FingertipAccessible(QWidget* picture, int subFactor)
    : m_picture(picture), m_subFactor(subFactor) {}

QString FingertipAccessible::EnrollAction() {
    return QStringLiteral("Enroll");
}

QString FingertipAccessible::DeleteAction() {
    return QStringLiteral("Delete");
}

QString FingertipAccessible::TestAction() {
    return QStringLiteral("Test");
}

FingerMapFocus* FingertipAccessible::Focus() const {
    return m_picture ? m_picture->findChild<FingerMapFocus*>(QString(), Qt::FindDirectChildrenOnly)
                     : nullptr;
}

bool FingertipAccessible::isValid() const {
    return Focus() != nullptr;
}

QWindow* FingertipAccessible::window() const {
    return m_picture ? m_picture->window()->windowHandle() : nullptr;
}

QAccessibleInterface* FingertipAccessible::parent() const {
    return m_picture ? QAccessible::queryAccessibleInterface(m_picture.data()) : nullptr;
}

QString FingertipAccessible::text(QAccessible::Text type) const {
    const FingerMapFocus* focus = Focus();
    if (focus == nullptr) {
        return {};
    }
    switch (type) {
        case QAccessible::Name:
            return SpokenFingerName(m_subFactor);
        case QAccessible::Description:
            switch (focus->StateOf(m_subFactor)) {
                case FingerState::kEnrolled:
                    return QStringLiteral("Enrolled");
                case FingerState::kBeingEnrolled:
                    return QStringLiteral("Being enrolled");
                case FingerState::kBeingTested:
                    return QStringLiteral("Being tested");
                case FingerState::kNotEnrolled:
                    return QStringLiteral("Not enrolled");
            }
            return {};
        default:
            return {};
    }
}

QRect FingertipAccessible::rect() const {
    if (!m_picture || !m_picture->isVisible()) {
        return {};
    }
    const QRect ring = FingerMapFocus::RingRect(m_subFactor);
    return {m_picture->mapToGlobal(ring.topLeft()), ring.size()};
}

QAccessible::State FingertipAccessible::state() const {
    QAccessible::State state;
    const FingerMapFocus* focus = Focus();
    if (focus == nullptr) {
        state.invalid = true;
        return state;
    }
    state.focusable = true;
    state.focused = focus->RingShown() && focus->FocusedFinger() == m_subFactor;
    state.invisible = !m_picture->isVisible();
    // A click on a fingertip does nothing while an enrollment or a deletion is under way.
    state.disabled = !focus->CanAct() || !m_picture->isEnabled();
    return state;
}

void* FingertipAccessible::interface_cast(QAccessible::InterfaceType type) {
    return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this)
                                                : nullptr;
}

QStringList FingertipAccessible::actionNames() const {
    const FingerMapFocus* focus = Focus();
    if (focus == nullptr || state().disabled) {
        return {};
    }
    if (focus->StateOf(m_subFactor) == FingerState::kEnrolled) {
        return {DeleteAction(), TestAction()};
    }
    return {EnrollAction()};
}

QString FingertipAccessible::localizedActionName(const QString& name) const {
    return name;
}

QString FingertipAccessible::localizedActionDescription(const QString& name) const {
    if (name == EnrollAction()) {
        return QStringLiteral("Enroll this finger");
    }
    if (name == DeleteAction()) {
        return QStringLiteral("Delete this finger's enrollment after a question");
    }
    if (name == TestAction()) {
        return QStringLiteral("Check that the sensor recognizes this finger");
    }
    return {};
}

void FingertipAccessible::doAction(const QString& name) {
    if (!actionNames().contains(name)) {
        return;
    }
    // Queued: the action may open a modal question, which must not run inside the caller's
    // request (a screen reader waits for its answer).
    FingerMapFocus* focus = Focus();
    const bool test = name == TestAction();
    QMetaObject::invokeMethod(
        focus,
        [focus, test, finger = m_subFactor] {
            if (test) {
                focus->Test(finger);
            } else {
                focus->Act(finger);
            }
        },
        Qt::QueuedConnection);
}

QStringList FingertipAccessible::keyBindingsForAction(const QString& name) const {
    if (!actionNames().contains(name)) {
        return {};
    }
    // The test is reached through the fingertip's menu.
    return name == TestAction() ? QStringList{QStringLiteral("Shift+F10")}
                                : QStringList{QStringLiteral("Space")};
}
