// Keyboard access to the hand picture: a focus ring on one fingertip, and what a screen reader
// reads.
#pragma once

#include <QObject>
#include <QRect>
#include <QString>
#include <array>
#include <functional>
#include <utility>

struct EnrollmentContext;
class EnrollmentWorkflow;
class QContextMenuEvent;
class QKeyEvent;
class QPainter;
class QWidget;

enum class FingerState { kNotEnrolled, kEnrolled, kBeingEnrolled, kBeingTested };

// The picture is one focus stop. While it has focus, the arrow keys (and Home, End) move a ring
// over the fingertips from the left little finger to the right little finger, and Space or
// Return acts on the ringed fingertip through the same handler as a click on it; the Menu key or
// Shift+F10 asks for the ringed fingertip's menu, as a right-click does for the one under it.
class FingerMapFocus : public QObject {
    Q_OBJECT
public:
    static constexpr int kFingerCount = 10;
    using ActOnFinger = std::function<void(int subFactor)>;
    using ShowFingerMenu = std::function<void(int subFactor, QPoint globalPosition)>;

    // Lives as a child of the picture; the context and the workflow belong to the window and
    // outlive it.
    FingerMapFocus(QWidget& picture, const EnrollmentContext& context,
                   const EnrollmentWorkflow& workflow, ActOnFinger act);

    // Sub-factors as the fingertips lie on the picture, left to right.
    static const std::array<int, kFingerCount>& Order();
    static int IndexOf(int subFactor);  // in Order(), or -1
    // The ring's place around a fingertip, in the picture's coordinates.
    static QRect RingRect(int subFactor);

    QWidget& Picture() const { return m_picture; }
    int FocusedFinger() const { return m_focusedFinger; }
    void SetFocusedFinger(int subFactor);
    bool RingShown() const;
    FingerState StateOf(int subFactor) const;
    // False while an enrollment, the delete question or a deletion is under way: clicks on
    // fingertips then do nothing.
    bool CanAct() const;
    void Act(int subFactor);
    // The accessibility action "Test" and the fingertip's menu go to these.
    void SetTestHandler(ActOnFinger test) { m_test = std::move(test); }
    void SetMenuHandler(ShowFingerMenu showMenu) { m_showMenu = std::move(showMenu); }
    void Test(int subFactor);
    void PaintRing(QPainter& painter) const;
    // Reports fingertips whose state changed since the last call to assistive technology.
    void NotifyChanges();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool HandleKeyPress(const QKeyEvent& event);
    bool HandleKeyRelease(const QKeyEvent& event);
    bool HandleContextMenu(const QContextMenuEvent& event);
    void ShowMenu(int subFactor, QPoint pictureLocalPosition);
    void MoveRingTo(int index);
    void ShowKeyboardFocus();
    void NotifyFocus() const;

    QWidget& m_picture;
    const EnrollmentContext& m_context;
    const EnrollmentWorkflow& m_workflow;
    ActOnFinger m_act;
    ActOnFinger m_test;
    ShowFingerMenu m_showMenu;
    int m_focusedFinger;
    // Space or Return pressed here and not yet released; acting on the release keeps a held key
    // from answering the question that the first press brought up.
    int m_armedKey = 0;
    std::array<FingerState, kFingerCount> m_reportedStates{};
    bool m_reportedCanAct = true;
};
