// Testing a finger through the window: the fingertip's menu by mouse and keyboard, the
// accessibility action, and what the panel shows.
#include <QAccessible>
#include <QMenu>

#include "EnrolledSet.h"
#include "FingerMapFocus.h"
#include "FingertipAccessible.h"
#include "FingertipMenu.h"
#include "MessageBoxAnswerer.h"
#include "SimulatedWindowTest.h"

namespace {

constexpr int kEnrolledFinger = 5;  // right little finger
constexpr int kBareFinger = 4;
// Long enough that a verification stays unanswered for the whole test.
const std::string kNeverTouched = "match@600000";

class FingerTestWindowTest : public SimulatedWindowTest {
protected:
    void StartWithScript(const std::string& script) {
        Start({{"VARNE_SIM_ENROLLED", std::to_string(kEnrolledFinger)},
               {"VARNE_SIM_SCRIPT", script}});
    }
    QMenu& Menu() { return Dialog().FingertipActions().Menu(); }
    // Through the window system, as a real click comes: only that path makes the context-menu
    // event (a click sent to a widget is a bare mouse event).
    void RightClickFinger(int finger) {
        QTest::mouseClick(Dialog().windowHandle(), Qt::RightButton, {}, FingertipInWindow(finger));
    }
    bool WaitForMenu() {
        return WaitFor([this] { return Menu().isVisible(); });
    }
    // Picks the menu's item by its mnemonic, as a keyboard user would.
    void ChooseFromMenu(Qt::Key mnemonic) { QTest::keyClick(&Menu(), mnemonic); }
    void RingOn(int finger) {
        ASSERT_TRUE(TabIntoPicture());
        Dialog().Fingertips().SetFocusedFinger(finger);
    }
    QAccessibleInterface* Fingertip(int finger) {
        QAccessibleInterface* picture = QAccessible::queryAccessibleInterface(&Picture());
        return picture->child(FingerMapFocus::IndexOf(finger));
    }
    void ExpectEndedFree() {
        EXPECT_EQ(Context().selectedFinger, 0);
        EXPECT_FALSE(AbortButton().isEnabled());
        EXPECT_EQ(Context().enrolledSet, MakeEnrolledSet({kEnrolledFinger}));
    }
};

TEST_F(FingerTestWindowTest, RightClickTestsTheFingerThroughRetriesToAMatch) {
    StartWithScript("poor,match");
    QStringList instructions;
    QObject::connect(&Dialog(), &CVarneDlg::StatusShown,
                     [&] { instructions.append(InstructionLabel().text()); });
    RightClickFinger(kEnrolledFinger);
    ASSERT_TRUE(WaitForMenu());
    EXPECT_EQ(Dialog().FingertipActions().Finger(), kEnrolledFinger);
    const auto items = Menu().actions();
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(items[0]->text(), QStringLiteral("&Test This Finger"));
    EXPECT_EQ(items[1]->text(), QStringLiteral("&Delete This Finger..."));

    ChooseFromMenu(Qt::Key_T);
    ASSERT_TRUE(WaitForTitle(kTitleFingerRecognized));
    EXPECT_EQ(instructions, (QStringList{Text(kTextTestTouch), Text(kTextTestRetryTouch),
                                         Text(kTextTestRecognized)}));
    EXPECT_EQ(Title(), QStringLiteral("Finger Recognized"));
    EXPECT_EQ(InstructionLabel().text(), Text(kTextTestRecognized));
    ExpectEndedFree();
}

TEST_F(FingerTestWindowTest, MenuKeyOnTheRingedFingertipAndANonMatch) {
    StartWithScript("nomatch@0");
    RingOn(kEnrolledFinger);
    QTest::keyClick(&Picture(), Qt::Key_Menu);
    ASSERT_TRUE(WaitForMenu());
    ChooseFromMenu(Qt::Key_T);
    ASSERT_TRUE(WaitForTitle(kTitleFingerNotRecognized));
    EXPECT_EQ(Title(), QStringLiteral("Finger Not Recognized"));
    EXPECT_EQ(TitleLabel().LabelColor(), kColorError);
    EXPECT_EQ(InstructionLabel().text(), Text(kTextTestNotRecognized));
    ExpectEndedFree();
}

TEST_F(FingerTestWindowTest, ShiftF10OffersTheDeleteQuestion) {
    StartWithScript(kNeverTouched);
    RingOn(kEnrolledFinger);
    QTest::keyClick(&Picture(), Qt::Key_F10, Qt::ShiftModifier);
    ASSERT_TRUE(WaitForMenu());
    MessageBoxAnswerer answerer(QMessageBox::No);
    ChooseFromMenu(Qt::Key_D);
    ASSERT_TRUE(WaitFor([&] { return !answerer.seen.empty(); }));
    EXPECT_EQ(answerer.seen[0].text, Text(kTextDeleteQuestion));
    EXPECT_EQ(Context().enrolledSet, MakeEnrolledSet({kEnrolledFinger}));
    EXPECT_EQ(Context().selectedFinger, 0);
}

// A bare fingertip has no menu; a left click and Space still begin its enrollment, and an
// enrolled one's left click still asks to delete it.
TEST_F(FingerTestWindowTest, BareFingertipHasNoMenuAndLeftClicksAreUnchanged) {
    StartWithScript(kNeverTouched);
    RightClickFinger(kBareFinger);
    RingOn(kBareFinger);
    QTest::keyClick(&Picture(), Qt::Key_Menu);
    QTest::keyClick(&Picture(), Qt::Key_F10, Qt::ShiftModifier);
    QApplication::processEvents();
    EXPECT_FALSE(Menu().isVisible());
    EXPECT_EQ(Title(), Text(kTitleSelectFinger));

    {
        MessageBoxAnswerer answerer(QMessageBox::No);
        ClickFinger(kEnrolledFinger);
        ASSERT_EQ(answerer.seen.size(), 1u);
        EXPECT_TRUE(answerer.seen[0].IsQuestion());
    }
    EXPECT_FALSE(Menu().isVisible());
    ClickFinger(kBareFinger);
    ASSERT_TRUE(WaitForTitle(kTitlePlaceFinger));
    EXPECT_EQ(Context().selectedFinger, kBareFinger);
    // Busy: no menu even on the enrolled fingertip.
    RightClickFinger(kEnrolledFinger);
    QApplication::processEvents();
    EXPECT_FALSE(Menu().isVisible());
}

TEST_F(FingerTestWindowTest, AccessibilityActionTestsAndAbortReturnsToRest) {
    StartWithScript(kNeverTouched);
    QAccessibleInterface* fingertip = Fingertip(kEnrolledFinger);
    ASSERT_NE(fingertip, nullptr);
    QAccessibleActionInterface* actions = fingertip->actionInterface();
    EXPECT_EQ(actions->actionNames(), (QStringList{FingertipAccessible::DeleteAction(),
                                                   FingertipAccessible::TestAction()}));
    EXPECT_EQ(Fingertip(kBareFinger)->actionInterface()->actionNames(),
              QStringList{FingertipAccessible::EnrollAction()});

    actions->doAction(FingertipAccessible::TestAction());
    ASSERT_TRUE(WaitForTitle(kTitleTestFinger));
    EXPECT_EQ(Title(), QStringLiteral("Test Finger"));
    EXPECT_EQ(InstructionLabel().text(), Text(kTextTestTouch));
    EXPECT_EQ(Context().selectedFinger, kEnrolledFinger);
    EXPECT_TRUE(AbortButton().isEnabled());
    EXPECT_EQ(fingertip->text(QAccessible::Description), QStringLiteral("Being tested"));
    EXPECT_TRUE(fingertip->state().disabled);
    EXPECT_TRUE(actions->actionNames().isEmpty());

    ClickAbort();
    ASSERT_TRUE(WaitForTitle(kTitleSelectFinger));
    ExpectEndedFree();
    EXPECT_EQ(fingertip->text(QAccessible::Description), QStringLiteral("Enrolled"));
}

TEST_F(FingerTestWindowTest, NoTouchInTimeEndsWithTimeout) {
    StartWithScript("notouch@0");
    RightClickFinger(kEnrolledFinger);
    ASSERT_TRUE(WaitForMenu());
    ChooseFromMenu(Qt::Key_T);
    ASSERT_TRUE(WaitForTitle(kTitleTimeout));
    EXPECT_EQ(InstructionLabel().text(), Text(kTextTestTimeout));
    ExpectEndedFree();
}

}  // namespace
