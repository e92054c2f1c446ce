// What assistive technology sees of the hand picture: a group of ten fingertips.
#pragma once

#include <QAccessible>
#include <QAccessibleWidget>
#include <array>

class FingerMapFocus;

// The picture's interface. Its children are the fingertips, left to right as the keyboard
// visits them; until the window gives the picture its keyboard access it has none.
class FingerMapAccessible : public QAccessibleWidget {
public:
    explicit FingerMapAccessible(QWidget* picture);
    ~FingerMapAccessible() override;
    FingerMapAccessible(const FingerMapAccessible&) = delete;
    FingerMapAccessible& operator=(const FingerMapAccessible&) = delete;

    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;
    QAccessibleInterface* focusChild() const override;

private:
    FingerMapFocus* Focus() const;

    // Registered on first use; the registry owns them until this interface goes.
    mutable std::array<QAccessible::Id, 10> m_childIds{};
};

// Gives every hand picture the interface above; safe to call more than once.
void InstallFingerMapAccessibility();
