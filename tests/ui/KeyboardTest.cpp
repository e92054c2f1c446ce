// The main window by keyboard alone: the picture's focus ring, acting on fingertips, Return on
// buttons, and the shortcuts.
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>
#include <vector>

#include "CAboutDlg.h"
#include "DevicePixels.h"
#include "FingerMap.h"
#include "FingerMapFocus.h"
#include "MainWindowTestSupport.h"
#include "StartedWindow.h"

namespace {

// Long enough that a capture stays unanswered for the whole test.
const std::string kCaptureNeverAnswers = "more@600000";

class KeyboardTest : public StartedWindow {
protected:
    int RingFinger() { return Dialog().Fingertips().FocusedFinger(); }
    void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(QApplication::focusWidget(), key, modifiers);
    }
    // Pixels of the highlight colour inside a fingertip's ring square, as painted now.
    int HighlightPixelsAround(int finger) {
        const QImage shown = Picture().grab().toImage();
        const QColor highlight = Picture().palette().color(QPalette::Highlight);
        const QRect ring = DeviceRect(shown, FingerMapFocus::RingRect(finger));
        int count = 0;
        for (int y = ring.top(); y <= ring.bottom(); ++y) {
            for (int x = ring.left(); x <= ring.right(); ++x) {
                count += shown.pixelColor(x, y) == highlight ? 1 : 0;
            }
        }
        return count;
    }
};

TEST_F(KeyboardTest, TabStopsAtThePictureOnceInTheTemplatesOrder) {
    Start({});
    TabIntoPicture();
    std::vector<QString> visited;
    for (int step = 0; step < 5; ++step) {
        visited.push_back(QApplication::focusWidget()->objectName());
        Key(Qt::Key_Tab);
    }
    // Abort is disabled and skipped; Search Device is hidden; the instruction text takes focus
    // for copying.
    EXPECT_EQ(visited, (std::vector<QString>{"picture", "closeButton", "instructionLabel",
                                             "windowMenuButton", "picture"}));
    Key(Qt::Key_Backtab);  // from the Close button
    EXPECT_EQ(QApplication::focusWidget()->objectName(), QStringLiteral("picture"));
    Key(Qt::Key_Backtab);
    EXPECT_EQ(QApplication::focusWidget()->objectName(), QStringLiteral("windowMenuButton"));
}

TEST_F(KeyboardTest, ArrowsMoveTheRingFromLeftLittleToRightLittleFinger) {
    Start({});
    TabIntoPicture();
    EXPECT_EQ(RingFinger(), 10);
    std::vector<int> visited{RingFinger()};
    for (int step = 0; step < 10; ++step) {  // one more than needed: stays at the end
        Key(Qt::Key_Right);
        visited.push_back(RingFinger());
    }
    EXPECT_EQ(visited, (std::vector<int>{10, 9, 8, 7, 6, 1, 2, 3, 4, 5, 5}));

    const struct {
        Qt::Key key;
        int finger;
    } rows[] = {
        {Qt::Key_Left, 4},  {Qt::Key_Up, 3},    {Qt::Key_Down, 4},
        {Qt::Key_Home, 10}, {Qt::Key_Left, 10}, {Qt::Key_End, 5},
    };
    for (const auto& row : rows) {
        Key(row.key);
        EXPECT_EQ(RingFinger(), row.finger) << QKeySequence(row.key).toString().toStdString();
    }
    EXPECT_TRUE(Picture().hasFocus());  // arrows never leave the picture
}

TEST_F(KeyboardTest, RingIsDrawnOnlyAroundTheFocusedFingertipWhileThePictureHasFocus) {
    Start({{"VARNE_SIM_ENROLLED", "8"}});
    TabIntoPicture();
    Key(Qt::Key_Right);
    Key(Qt::Key_Right);  // left middle finger, enrolled: the ring sits around its green mark
    EXPECT_GT(HighlightPixelsAround(8), 20);
    EXPECT_EQ(HighlightPixelsAround(10), 0);
    EXPECT_EQ(HighlightPixelsAround(7), 0);
    // The marks stay as they are inside the ring.
    EXPECT_EQ(PixelAt(Picture().grab().toImage(), kFingertipTable[8].position),
              kEnrolledMarkColour);

    Key(Qt::Key_Tab);
    EXPECT_FALSE(Picture().hasFocus());
    EXPECT_EQ(HighlightPixelsAround(8), 0);
}

TEST_F(KeyboardTest, SpaceAndReturnActOnTheRingedFingertipAsAClickWould) {
    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
    } keys[] = {
        {Qt::Key_Space, Qt::NoModifier},
        {Qt::Key_Return, Qt::NoModifier},
        {Qt::Key_Enter, Qt::KeypadModifier},
    };
    for (const auto& key : keys) {
        SCOPED_TRACE(QKeySequence(key.key).toString().toStdString());
        // Not enrolled: the enrollment begins.
        Start({{"VARNE_SIM_ENROLLED", "9"}, {"VARNE_SIM_SCRIPT", kCaptureNeverAnswers}});
        TabIntoPicture();
        Key(key.key, key.modifiers);
        EXPECT_EQ(Dialog().Context().selectedFinger, 10);
        EXPECT_EQ(Title(), Text(kTitlePlaceFinger));
        // As with clicks, nothing else can be chosen until the attempt ends.
        Key(Qt::Key_Right);
        Key(key.key, key.modifiers);
        EXPECT_EQ(Dialog().Context().selectedFinger, 10);
        TearDown();

        // Enrolled: the question comes first, and Yes deletes.
        Start({{"VARNE_SIM_ENROLLED", "9"}});
        TabIntoPicture();
        Key(Qt::Key_Right);
        MessageBoxAnswerer answerer(QMessageBox::Yes);
        Key(key.key, key.modifiers);
        ASSERT_EQ(answerer.seen.size(), 1u);
        EXPECT_EQ(answerer.seen[0].text, Text(kTextDeleteQuestion));
        EXPECT_EQ(Dialog().Context().enrolledSet, u"");
        TearDown();
    }
}

TEST_F(KeyboardTest, OnlyAKeyPressedAndReleasedOnThePictureActs) {
    Start({{"VARNE_SIM_ENROLLED", "10"}});
    TabIntoPicture();
    MessageBoxAnswerer answerer(QMessageBox::No);
    // A held key repeats its press; the question waits for the release, so the repeats can
    // never answer it.
    QTest::keyPress(&Picture(), Qt::Key_Return);
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"), true);
    QApplication::sendEvent(&Picture(), &repeat);
    EXPECT_TRUE(answerer.seen.empty());
    QTest::keyRelease(&Picture(), Qt::Key_Return);
    EXPECT_EQ(answerer.seen.size(), 1u);

    // A release whose press went elsewhere (e.g. the Return that closed a message box).
    QTest::keyRelease(&Picture(), Qt::Key_Space);
    QTest::keyRelease(&Picture(), Qt::Key_Return);
    EXPECT_EQ(answerer.seen.size(), 1u);
    EXPECT_EQ(Dialog().Context().enrolledSet, u":");
}

TEST_F(KeyboardTest, ReturnPressesTheFocusedButtonAndNothingElse) {
    Start({{"VARNE_SIM_SCRIPT", kCaptureNeverAnswers}});
    // Focus on no button: Return and Enter do nothing.
    for (QWidget* focus : {static_cast<QWidget*>(m_dialog.get()),
                           static_cast<QWidget*>(&Child<QProgressBar>("progressBar"))}) {
        focus->setFocus();
        QTest::keyClick(focus, Qt::Key_Return);
        QTest::keyClick(focus, Qt::Key_Enter, Qt::KeypadModifier);
        EXPECT_TRUE(Dialog().isVisible());
    }

    auto& menuButton = Child<QToolButton>("windowMenuButton");
    menuButton.setFocus(Qt::TabFocusReason);
    Key(Qt::Key_Return);
    EXPECT_TRUE(QTest::qWaitFor([&] { return Dialog().WindowMenu().isVisible(); }, kWaitMs));
    Dialog().WindowMenu().close();
    Dialog().activateWindow();  // offscreen hands activation back to nobody
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_dialog.get()));

    TabIntoPicture();
    Key(Qt::Key_Space);  // begins an enrollment, which enables Abort
    auto& abortButton = Child<QPushButton>("abortButton");
    ASSERT_TRUE(abortButton.isEnabled());
    abortButton.setFocus(Qt::TabFocusReason);
    Key(Qt::Key_Return);
    ASSERT_TRUE(WaitForTitle(kTitleSelectFinger));
    EXPECT_EQ(Dialog().Context().selectedFinger, 0);
    EXPECT_TRUE(Dialog().isVisible());

    Child<QPushButton>("closeButton").setFocus(Qt::TabFocusReason);
    ASSERT_EQ(QApplication::focusWidget(), &Child<QPushButton>("closeButton"));
    Key(Qt::Key_Return);
    EXPECT_FALSE(Dialog().isVisible());
    EXPECT_EQ(Dialog().result(), QDialog::Rejected);
}

TEST_F(KeyboardTest, F1OpensTheAboutBoxAndF10TheWindowMenu) {
    Start({});
    TabIntoPicture();
    int aboutBoxes = 0;
    ModalWatcher closer([&](QWidget& modal) {
        if (qobject_cast<CAboutDlg*>(&modal) != nullptr) {
            ++aboutBoxes;
            static_cast<QDialog&>(modal).reject();
        }
    });
    Key(Qt::Key_F1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return aboutBoxes == 1; }, kWaitMs));
    EXPECT_TRUE(Dialog().isVisible());

    Dialog().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_dialog.get()));
    Key(Qt::Key_F10);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Dialog().WindowMenu().isVisible(); }, kWaitMs));
    // The menu names the About entry's shortcut.
    auto* about = Dialog().findChild<QAction*>(QStringLiteral("aboutAction"));
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(about->shortcut(), QKeySequence(Qt::Key_F1));
    Dialog().WindowMenu().close();
}

}  // namespace
