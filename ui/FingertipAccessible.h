// One fingertip of the hand picture as assistive technology sees it: a button to enroll, delete or
// test.
#pragma once

#include <QAccessible>
#include <QPointer>
#include <QWidget>

class FingerMapFocus;

class FingertipAccessible : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    FingertipAccessible(QWidget* picture, int subFactor);

    static QString EnrollAction();
    static QString DeleteAction();
    static QString TestAction();

    int SubFactor() const { return m_subFactor; }

    bool isValid() const override;
    QObject* object() const override { return nullptr; }
    QWindow* window() const override;
    QAccessibleInterface* parent() const override;
    QAccessibleInterface* child(int /*index*/) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface* /*child*/) const override { return -1; }
    QAccessibleInterface* childAt(int /*x*/, int /*y*/) const override { return nullptr; }
    QString text(QAccessible::Text type) const override;
    void setText(QAccessible::Text /*type*/, const QString& /*text*/) override {}
    QRect rect() const override;
    QAccessible::Role role() const override { return QAccessible::Button; }
    QAccessible::State state() const override;
    void* interface_cast(QAccessible::InterfaceType type) override;

    QStringList actionNames() const override;
    QString localizedActionName(const QString& name) const override;
    QString localizedActionDescription(const QString& name) const override;
    void doAction(const QString& name) override;
    QStringList keyBindingsForAction(const QString& name) const override;

private:
    FingerMapFocus* Focus() const;

    QPointer<QWidget> m_picture;
    int m_subFactor;
};
