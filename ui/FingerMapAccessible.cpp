// What assistive technology sees of the hand picture: a group of ten fingertips.
#include "FingerMapAccessible.h"

#include <QWidget>

#include "CSysColorStatic.h"
#include "FingerMap.h"
#include "FingerMapFocus.h"
#include "FingertipAccessible.h"

namespace {

QAccessibleInterface* CreateFingerMapAccessible(const QString& /*className*/, QObject* object) {
    auto* picture = qobject_cast<CSysColorStatic*>(object);
    return picture != nullptr ? new FingerMapAccessible(picture) : nullptr;
}

}  // namespace

void InstallFingerMapAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(&CreateFingerMapAccessible);
        return true;
    }();
    (void)installed;
}

FingerMapAccessible::FingerMapAccessible(QWidget* picture)
    : QAccessibleWidget(picture, QAccessible::Grouping) {}

FingerMapAccessible::~FingerMapAccessible() {
    for (const QAccessible::Id id : m_childIds) {
        if (id != 0) {
            QAccessible::deleteAccessibleInterface(id);
        }
    }
}

FingerMapFocus* FingerMapAccessible::Focus() const {
    return widget()->findChild<FingerMapFocus*>(QString(), Qt::FindDirectChildrenOnly);
}

int FingerMapAccessible::childCount() const {
    return Focus() != nullptr ? FingerMapFocus::kFingerCount : 0;
}

QAccessibleInterface* FingerMapAccessible::child(int index) const {
    if (index < 0 || index >= childCount()) {
        return nullptr;
    }
    QAccessible::Id& id = m_childIds[static_cast<std::size_t>(index)];
    if (id == 0) {
        id = QAccessible::registerAccessibleInterface(
            new FingertipAccessible(widget(), FingerMapFocus::Order()[index]));
    }
    return QAccessible::accessibleInterface(id);
}

int FingerMapAccessible::indexOfChild(const QAccessibleInterface* child) const {
    for (int index = 0; index < childCount(); ++index) {
        if (m_childIds[static_cast<std::size_t>(index)] != 0 &&
            QAccessible::accessibleInterface(m_childIds[static_cast<std::size_t>(index)]) ==
                child) {
            return index;
        }
    }
    return -1;
}

QAccessibleInterface* FingerMapAccessible::childAt(int x, int y) const {
    if (childCount() == 0) {
        return nullptr;
    }
    const QPoint inPicture = widget()->mapFromGlobal(QPoint(x, y));
    return child(FingerMapFocus::IndexOf(FindFingerAt(inPicture, QPoint(0, 0))));
}

QAccessibleInterface* FingerMapAccessible::focusChild() const {
    const FingerMapFocus* focus = Focus();
    if (focus == nullptr || !focus->RingShown()) {
        return nullptr;
    }
    return child(FingerMapFocus::IndexOf(focus->FocusedFinger()));
}
