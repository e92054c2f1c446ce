// Testing a finger through the window on the real fprintd: a finger enrolled through the window
// is tested through its menu, reached by the keyboard, and through the accessibility action.
#include <QMenu>
#include <QTest>
#include <string>
#include <vector>

#include "FingertipMenu.h"
#include "FprintdWindowFixture.h"

namespace {

const std::string kEnrolledPrint = "SCAN varne-right-index";
const std::string kOtherPrint = "SCAN somebody-else";

// How a test of the fingertip is started.
enum class Route { kMenuKey, kShiftF10, kAccessibilityAction };

class FingerTestOnFprintdTest : public FprintdWindowTest {
protected:
    QMenu& Menu() { return Dialog().FingertipActions().Menu(); }

    void StartTest(Route route) {
        if (route == Route::kAccessibilityAction) {
            ASSERT_NO_FATAL_FAILURE(TestRightIndexThroughAccessibility());
        } else {
            // The last menu may have taken the activation with it.
            Dialog().activateWindow();
            ASSERT_TRUE(QTest::qWaitForWindowActive(&Dialog()));
            ASSERT_TRUE(TabIntoPicture());
            Dialog().Fingertips().SetFocusedFinger(kRightIndex);
            if (route == Route::kMenuKey) {
                QTest::keyClick(&Picture(), Qt::Key_Menu);
            } else {
                QTest::keyClick(&Picture(), Qt::Key_F10, Qt::ShiftModifier);
            }
            ASSERT_TRUE(WaitFor([this] { return Menu().isVisible(); }));
            QTest::keyClick(&Menu(), Qt::Key_T);  // the item's mnemonic
        }
        ASSERT_TRUE(WaitForTitle(kTitleTestFinger)) << Title().toStdString();
        EXPECT_EQ(Context().selectedFinger, kRightIndex);
        EXPECT_TRUE(AbortButton().isEnabled());
    }

    // A retry: the panel asks again while fprintd keeps the reader for the next touch.
    void TouchForARetry(const std::string& command) {
        const QString before = InstructionLabel().text();
        ASSERT_TRUE(VirtualSensor::Send(command)) << command;
        ASSERT_TRUE(WaitFor([&] { return InstructionLabel().text() != before; })) << command;
        EXPECT_EQ(Title(), Text(kTitleTestFinger));
        EXPECT_FALSE(m_other.CanClaimReader()) << "released while the test still runs";
    }

    void ExpectEndedWithTheReaderFree() {
        EXPECT_EQ(Context().selectedFinger, 0);
        EXPECT_FALSE(AbortButton().isEnabled());
        EXPECT_TRUE(WaitUntilOthersCanClaim());
        EXPECT_EQ(Context().enrolledSet, u"2");  // a test never changes what is stored
        EXPECT_EQ(m_other.EnrolledFingers(UserName()), QStringList{kRightIndexName});
    }
};

TEST_F(FingerTestOnFprintdTest, AFingerEnrolledInTheWindowIsTestedByEachRoute) {
    ASSERT_NO_FATAL_FAILURE(EnrollRightIndex());
    ASSERT_TRUE(WaitUntilOthersCanClaim());
    const struct {
        const char* what;
        Route route;
        std::vector<std::string> retries;
        std::string lastTouch;
        TextId title;
    } rows[] = {
        {"Menu key, the enrolled print",
         Route::kMenuKey,
         {},
         kEnrolledPrint,
         kTitleFingerRecognized},
        {"Shift+F10, another print", Route::kShiftF10, {}, kOtherPrint, kTitleFingerNotRecognized},
        {"accessibility action, retries, then the enrolled print",
         Route::kAccessibilityAction,
         {"RETRY 0", "RETRY 1"},
         kEnrolledPrint,
         kTitleFingerRecognized},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        ASSERT_NO_FATAL_FAILURE(StartTest(row.route));
        for (const std::string& retry : row.retries) {
            ASSERT_NO_FATAL_FAILURE(TouchForARetry(retry));
        }
        ASSERT_TRUE(VirtualSensor::Send(row.lastTouch));
        ASSERT_TRUE(WaitForTitle(row.title)) << Title().toStdString();
        ExpectEndedWithTheReaderFree();
    }
}

TEST_F(FingerTestOnFprintdTest, AbortMidTestReturnsToSelectFingerAndFreesTheReader) {
    ASSERT_NO_FATAL_FAILURE(EnrollRightIndex());
    ASSERT_TRUE(WaitUntilOthersCanClaim());
    ASSERT_NO_FATAL_FAILURE(StartTest(Route::kMenuKey));
    ASSERT_NO_FATAL_FAILURE(TouchForARetry("RETRY 0"));
    ClickAbort();
    ASSERT_TRUE(WaitForTitle(kTitleSelectFinger)) << Title().toStdString();
    ExpectEndedWithTheReaderFree();
}

class FingerTestOnFprintdTimeoutTest : public FingerTestOnFprintdTest {
protected:
    // Short, so the case does not wait the real 30 s for nothing.
    int VerifyTimeoutMs() const override { return 500; }
};

TEST_F(FingerTestOnFprintdTimeoutTest, NoTouchEndsWithTimeoutAndFreesTheReader) {
    ASSERT_NO_FATAL_FAILURE(EnrollRightIndex());
    ASSERT_TRUE(WaitUntilOthersCanClaim());
    ASSERT_NO_FATAL_FAILURE(StartTest(Route::kAccessibilityAction));
    ASSERT_TRUE(WaitForTitle(kTitleTimeout)) << Title().toStdString();
    EXPECT_EQ(InstructionLabel().text(), Text(kTextTestTimeout));
    ExpectEndedWithTheReaderFree();
}

}  // namespace
