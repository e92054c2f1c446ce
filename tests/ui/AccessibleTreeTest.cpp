// What a screen reader finds in the main window: the fingertips with their names, states and
// actions, and the progress value. (Offscreen sends no events; the bus test sees those.)
#include <QAccessible>
#include <QProgressBar>
#include <QToolButton>

#include "FingerMap.h"
#include "FingertipAccessible.h"
#include "SimulatedWindowTest.h"

namespace {

const std::string kCaptureNeverAnswers = "more@600000";

class AccessibleTreeTest : public SimulatedWindowTest {
protected:
    QAccessibleInterface* PictureAccessible() {
        return QAccessible::queryAccessibleInterface(&Picture());
    }
    QAccessibleInterface* Fingertip(const QString& name) {
        QAccessibleInterface* picture = PictureAccessible();
        for (int index = 0; index < picture->childCount(); ++index) {
            if (picture->child(index)->text(QAccessible::Name) == name) {
                return picture->child(index);
            }
        }
        ADD_FAILURE() << "no fingertip " << name.toStdString();
        return nullptr;
    }
    static QStringList Actions(QAccessibleInterface* fingertip) {
        return fingertip->actionInterface()->actionNames();
    }
};

TEST_F(AccessibleTreeTest, PictureHoldsTheTenFingertipsLeftToRightWithTheirStates) {
    Start({{"VARNE_SIM_ENROLLED", "7,1"}});
    QAccessibleInterface* picture = PictureAccessible();
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->text(QAccessible::Name), QStringLiteral("Fingers"));
    EXPECT_FALSE(picture->text(QAccessible::Description).isEmpty());
    ASSERT_EQ(picture->childCount(), 10);

    const struct {
        const char* name;
        const char* description;
        QStringList actions;
    } rows[] = {
        {"Left little finger", "Not enrolled", {"Enroll"}},
        {"Left ring finger", "Not enrolled", {"Enroll"}},
        {"Left middle finger", "Not enrolled", {"Enroll"}},
        {"Left index finger", "Enrolled", {"Delete", "Test"}},
        {"Left thumb", "Not enrolled", {"Enroll"}},
        {"Right thumb", "Enrolled", {"Delete", "Test"}},
        {"Right index finger", "Not enrolled", {"Enroll"}},
        {"Right middle finger", "Not enrolled", {"Enroll"}},
        {"Right ring finger", "Not enrolled", {"Enroll"}},
        {"Right little finger", "Not enrolled", {"Enroll"}},
    };
    for (int index = 0; index < 10; ++index) {
        SCOPED_TRACE(rows[index].name);
        QAccessibleInterface* fingertip = picture->child(index);
        ASSERT_NE(fingertip, nullptr);
        EXPECT_TRUE(fingertip->isValid());
        EXPECT_EQ(fingertip->text(QAccessible::Name), QLatin1String(rows[index].name));
        EXPECT_EQ(fingertip->text(QAccessible::Description),
                  QLatin1String(rows[index].description));
        EXPECT_EQ(fingertip->role(), QAccessible::Button);
        EXPECT_TRUE(fingertip->state().focusable);
        EXPECT_FALSE(fingertip->state().disabled);
        EXPECT_EQ(Actions(fingertip), rows[index].actions);
        EXPECT_EQ(fingertip->parent(), picture);
        EXPECT_EQ(picture->indexOfChild(fingertip), index);
        // Where it is on screen, both ways.
        const int finger = static_cast<FingertipAccessible*>(fingertip)->SubFactor();
        const QPoint onScreen = Picture().mapToGlobal(kFingertipTable[finger].position);
        EXPECT_TRUE(fingertip->rect().contains(onScreen));
        EXPECT_EQ(picture->childAt(onScreen.x(), onScreen.y()), fingertip);
    }
    EXPECT_EQ(picture->childAt(Picture().mapToGlobal(QPoint(1, 1)).x(),
                               Picture().mapToGlobal(QPoint(1, 1)).y()),
              nullptr);
}

TEST_F(AccessibleTreeTest, ButtonsAndProgressBarSayWhatTheyAre) {
    Start({{"VARNE_SIM_SCRIPT", "more@0," + kCaptureNeverAnswers}});
    QAccessibleInterface* menuButton =
        QAccessible::queryAccessibleInterface(&Child<QToolButton>("windowMenuButton"));
    EXPECT_EQ(menuButton->text(QAccessible::Name), QStringLiteral("Window menu"));

    Fingertip(QStringLiteral("Right index finger"))
        ->actionInterface()
        ->doAction(QStringLiteral("Enroll"));
    ASSERT_TRUE(WaitForTitle(kTitleReleaseFinger));  // one accepted capture
    QAccessibleValueInterface* value =
        QAccessible::queryAccessibleInterface(&Child<QProgressBar>("progressBar"))
            ->valueInterface();
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->currentValue().toInt(), 1);
    EXPECT_EQ(value->maximumValue().toInt(), 3);
}

TEST_F(AccessibleTreeTest, ActionsDoWhatAClickDoes) {
    Start({{"VARNE_SIM_ENROLLED", "5"}, {"VARNE_SIM_SCRIPT", kCaptureNeverAnswers}});
    QAccessibleInterface* leftThumb = Fingertip(QStringLiteral("Left thumb"));
    // Queued: a question it may raise must not run inside the screen reader's request.
    leftThumb->actionInterface()->doAction(QStringLiteral("Enroll"));
    EXPECT_EQ(Dialog().Context().selectedFinger, 0);
    ASSERT_TRUE(WaitForTitle(kTitlePlaceFinger));
    EXPECT_EQ(Dialog().Context().selectedFinger, 6);

    EXPECT_EQ(leftThumb->text(QAccessible::Description), QStringLiteral("Being enrolled"));
    // Nothing can be chosen during the attempt.
    QAccessibleInterface* rightLittle = Fingertip(QStringLiteral("Right little finger"));
    EXPECT_TRUE(rightLittle->state().disabled);
    EXPECT_TRUE(Actions(rightLittle).isEmpty());
    EXPECT_TRUE(Actions(leftThumb).isEmpty());
    rightLittle->actionInterface()->doAction(QStringLiteral("Delete"));
    QTest::qWait(20);
    EXPECT_EQ(Dialog().Context().enrolledSet, u"5");
}

TEST_F(AccessibleTreeTest, FocusFollowsTheRing) {
    Start({});
    ASSERT_TRUE(TabIntoPicture());
    QTest::keyClick(&Picture(), Qt::Key_Right);
    EXPECT_EQ(PictureAccessible()->focusChild(), Fingertip(QStringLiteral("Left ring finger")));
    EXPECT_TRUE(Fingertip(QStringLiteral("Left ring finger"))->state().focused);
    EXPECT_FALSE(Fingertip(QStringLiteral("Left little finger"))->state().focused);
}

}  // namespace
