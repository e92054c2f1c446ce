// The main window on the simulated sensor: finger map, status panel, keys, menu, start-up.
#include <gtest/gtest.h>

#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QToolButton>
#include <filesystem>
#include <fstream>
#include <memory>

#include "CAboutDlg.h"
#include "CLabel.h"
#include "CSysColorStatic.h"
#include "CVarneDlg.h"
#include "DevicePixels.h"
#include "EventCounter.h"
#include "FakeBackend.h"
#include "FingerMap.h"
#include "MessageBoxAnswerer.h"
#include "MessageCatalogue.h"
#include "ModalWatcher.h"
#include "ReadableColour.h"
#include "SimulatedIdentity.h"
#include "SimulatedService.h"
#include "SimulatedStore.h"
#include "SimulatedWindowTest.h"
#include "TemporaryDirectory.h"

namespace {

const QColor kGreen(0, 255, 0);
const QColor kRed(255, 0, 0);
// Long enough that a capture stays unanswered for the whole test.
const std::string kCaptureNeverAnswers = "more@600000";

class MainWindowTest : public SimulatedWindowTest {
protected:
    // The window's pixels as last painted on screen, marks included: a fresh grab() would
    // paint anew and hide a repaint that never happened. The offscreen platform grabs only
    // the window's size in device pixels when scaled, so there the window paints itself anew.
    QImage ShownFrame() {
        QCoreApplication::processEvents();
        const QImage shown = Dialog().screen()->grabWindow(Dialog().winId()).toImage();
        if (shown.deviceIndependentSize() == QSizeF(Dialog().size())) {
            return shown;
        }
        return Dialog().grab().toImage();
    }
    QColor MarkColour(int finger) { return PixelAt(ShownFrame(), FingertipInWindow(finger)); }
};

TEST_F(MainWindowTest, ShowsTheTemplatesWindowReadyToSelect) {
    Start({{"VARNE_SIM_ENROLLED", "3,10"}});
    EXPECT_EQ(Dialog().windowTitle(), QStringLiteral("Varne"));
    EXPECT_EQ(Dialog().size(), QSize(792, 319));
    EXPECT_EQ(Dialog().minimumSize(), Dialog().maximumSize());
    EXPECT_FALSE(Dialog().windowFlags() &
                 (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(Picture().geometry(), QRect(QPoint(20, 55), QSize(390, 210)));
    EXPECT_EQ(Picture().BitmapId(), 131);
    EXPECT_EQ(Picture().CurrentImage().deviceIndependentSize(), QSizeF(390, 210));
    // Set right after the first frame, which does not need it.
    EXPECT_TRUE(QTest::qWaitFor([&] { return !Dialog().windowIcon().isNull(); }, kWaitMs));
    EXPECT_EQ(TitleLabel().text(), Text(kTitleSelectFinger));
    EXPECT_EQ(InstructionLabel().text(), Text(kTextSelectFinger));
    EXPECT_EQ(TitleLabel().LabelColor(), kColorBlack);
    EXPECT_FALSE(AbortButton().isEnabled());
    EXPECT_EQ(ProgressBar().maximum(), 3);
    EXPECT_EQ(ProgressBar().value(), 0);
    EXPECT_FALSE(ProgressBar().isTextVisible());
    EXPECT_FALSE(CaptureCounter().isVisible());
    EXPECT_FALSE(SearchDeviceButton().isVisible());
    EXPECT_EQ(MarkColour(3), kGreen);
    EXPECT_EQ(MarkColour(10), kGreen);
    EXPECT_NE(MarkColour(2), kGreen);
}

TEST_F(MainWindowTest, MarksCoverTheirRectangleInDeviceIndependentPixels) {
    Start({{"VARNE_SIM_ENROLLED", "3"}});
    const QImage shown = ShownFrame();
    const QRect mark = FingerMarkRect(3).translated(Picture().mapTo(&Dialog(), QPoint()));
    const QRect inside = DeviceRect(shown, mark);
    EXPECT_EQ(inside.size(), mark.size() * Dialog().devicePixelRatioF());
    // Every device pixel of the mark is green, and none of the ring just around it.
    const QRect around = inside.adjusted(-1, -1, 1, 1);
    for (int y = around.top(); y <= around.bottom(); ++y) {
        for (int x = around.left(); x <= around.right(); ++x) {
            EXPECT_EQ(shown.pixelColor(x, y) == kGreen, inside.contains(x, y)) << x << "," << y;
        }
    }
}

TEST_F(MainWindowTest, FindsFingersFromThePicturesPlaceInTheWindow) {
    Start({});
    const QPoint tip = FingertipInWindow(2);
    EXPECT_EQ(tip, QPoint(20 + 260, 55 + 30));
    EXPECT_EQ(Dialog().FindFingerAt(tip + QPoint(5, -5)), 2);
    EXPECT_EQ(Dialog().FindFingerAt(tip + QPoint(-6, 0)), 0);
    EXPECT_EQ(Dialog().FindFingerAt(tip + QPoint(0, 6)), 0);
    EXPECT_EQ(Dialog().FindFingerAt(QPoint(20 + 4, 55 + 5)), 0);
}

TEST_F(MainWindowTest, EnrollsAFingerUpToAGreenMark) {
    Start({{"VARNE_SIM_SCRIPT", "more@0,more@0,more@0,ok@0"}});
    ClickFinger(2);
    ASSERT_TRUE(WaitForTitle(kTitleEnrollmentSuccess)) << TitleLabel().text().toStdString();
    EXPECT_EQ(InstructionLabel().text(), Text(kTextEnrollmentSuccess));
    EXPECT_EQ(Dialog().Context().enrolledSet, u"2");
    EXPECT_EQ(Dialog().Context().selectedFinger, 0);
    EXPECT_EQ(ProgressBar().value(), 3);
    EXPECT_FALSE(AbortButton().isEnabled());
    EXPECT_EQ(MarkColour(2), kGreen);
    // Written from the service's thread before the last result moved anything.
    EXPECT_EQ(CaptureCounter().text(), QStringLiteral("3/3"));
    EXPECT_FALSE(CaptureCounter().isVisible());
}

TEST_F(MainWindowTest, SelectedFingerIsRedAndFurtherClicksAreIgnored) {
    Start({{"VARNE_SIM_ENROLLED", "5"}, {"VARNE_SIM_SCRIPT", kCaptureNeverAnswers}});
    MessageBoxAnswerer answerer(QMessageBox::Yes);
    ClickFinger(2);
    EXPECT_EQ(MarkColour(2), kRed);
    EXPECT_EQ(TitleLabel().text(), Text(kTitlePlaceFinger));
    EXPECT_TRUE(AbortButton().isEnabled());

    ClickFinger(3);
    ClickFinger(5);  // enrolled: would ask to delete if clicks were not ignored
    QTest::qWait(50);
    EXPECT_TRUE(answerer.seen.empty());
    EXPECT_EQ(Dialog().Context().selectedFinger, 2);
    EXPECT_NE(MarkColour(3), kRed);
    EXPECT_EQ(MarkColour(5), kGreen);
}

TEST_F(MainWindowTest, ClickThroughThePictureReachesTheWindow) {
    Start({{"VARNE_SIM_SCRIPT", kCaptureNeverAnswers}});
    // Hit-tested like a real click: lands on whatever widget is under the point.
    QTest::mouseClick(Dialog().windowHandle(), Qt::LeftButton, {}, FingertipInWindow(7));
    EXPECT_TRUE(QTest::qWaitFor([&] { return Dialog().Context().selectedFinger == 7; }, kWaitMs));
}

TEST_F(MainWindowTest, RightClickDoesNothing) {
    Start({{"VARNE_SIM_ENROLLED", "5"}});
    MessageBoxAnswerer answerer(QMessageBox::Yes);
    ClickFinger(2, Qt::RightButton);
    ClickFinger(5, Qt::RightButton);
    QTest::qWait(50);
    EXPECT_TRUE(answerer.seen.empty());
    EXPECT_EQ(Dialog().Context().selectedFinger, 0);
    EXPECT_EQ(TitleLabel().text(), Text(kTitleSelectFinger));
}

TEST_F(MainWindowTest, DeleteConfirmedRemovesTheMark) {
    Start({{"VARNE_SIM_ENROLLED", "5,8"}});
    TitleLabel().SetLabelText(QStringLiteral("stale"));  // event 0 must put it back
    MessageBoxAnswerer answerer(QMessageBox::Yes);
    ClickFinger(5);
    ASSERT_EQ(answerer.seen.size(), 1u);
    EXPECT_EQ(answerer.seen[0].text, Text(kTextDeleteQuestion));
    EXPECT_EQ(answerer.seen[0].caption, QStringLiteral("ui_tests"));
    EXPECT_EQ(answerer.seen[0].icon, QMessageBox::Question);
    EXPECT_EQ(answerer.seen[0].buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(Dialog().Context().enrolledSet, u"8");
    EXPECT_NE(MarkColour(5), kGreen);
    EXPECT_EQ(MarkColour(8), kGreen);
    EXPECT_EQ(TitleLabel().text(), Text(kTitleSelectFinger));
}

TEST_F(MainWindowTest, DeleteDeclinedChangesNothing) {
    Start({{"VARNE_SIM_ENROLLED", "5"}});
    TitleLabel().SetLabelText(QStringLiteral("unchanged"));
    MessageBoxAnswerer answerer(QMessageBox::No);
    ClickFinger(5);
    ASSERT_EQ(answerer.seen.size(), 1u);
    EXPECT_EQ(Dialog().Context().enrolledSet, u"5");
    EXPECT_EQ(MarkColour(5), kGreen);
    EXPECT_EQ(TitleLabel().text(), QStringLiteral("unchanged"));
}

TEST_F(MainWindowTest, FailedDeletionIsShownAndTheFingerStays) {
    Start({{"VARNE_SIM_ENROLLED", "5"}, {"VARNE_SIM_FAIL", "delete=0x8009801b"}});
    TitleLabel().SetLabelText(QStringLiteral("unchanged"));
    MessageBoxAnswerer answerer(QMessageBox::Yes);
    ClickFinger(5);
    ASSERT_EQ(answerer.seen.size(), 2u);
    EXPECT_EQ(answerer.seen[1].text,
              QStringLiteral("Failed to delete a template from the database.\n"
                             "Error code = 0x8009801b"));
    EXPECT_EQ(answerer.seen[1].icon, QMessageBox::NoIcon);
    EXPECT_EQ(answerer.seen[1].caption, QStringLiteral("ui_tests"));
    EXPECT_EQ(Dialog().Context().enrolledSet, u"5");
    EXPECT_EQ(MarkColour(5), kGreen);
    EXPECT_EQ(TitleLabel().text(), QStringLiteral("unchanged"));
}

// Another program removed the finger after the window listed it: the deletion fails as it
// must, and the window then shows what the store really holds instead of a mark that no
// retry could remove.
TEST_F(MainWindowTest, FailedDeletionOfAFingerGoneElsewhereRemovesItsMark) {
    const auto user = *SimulatedStore::IdentityOf(SimulatedCurrentUserIdentity());
    std::vector<SimulatedStore::Record> records;
    for (SubFactor finger = kFirstFinger; finger <= kLastFinger; ++finger) {
        records.push_back({1, user, finger});
    }
    TemporaryDirectory directory;
    const std::string path = directory.File("fingers.store");
    const auto writeStore = [&path](const std::vector<SimulatedStore::Record>& content) {
        std::ofstream(path, std::ios::binary) << SimulatedStore::Format(content);
    };
    writeStore(records);
    Start({{"VARNE_SIM_STORE", path}, {"VARNE_SIM_SCRIPT", kCaptureNeverAnswers}});
    ASSERT_EQ(TitleLabel().text(), Text(kTitleFullyEnrolled));
    ASSERT_EQ(MarkColour(5), kGreen);

    records.erase(records.begin() + 4);
    writeStore(records);
    MessageBoxAnswerer answerer(QMessageBox::Yes);
    ClickFinger(5);
    ASSERT_EQ(answerer.seen.size(), 2u);
    EXPECT_EQ(answerer.seen[1].text,
              QStringLiteral("Failed to delete a template from the database.\n"
                             "Error code = 0x8009801b"));
    EXPECT_EQ(answerer.seen[1].icon, QMessageBox::NoIcon);
    EXPECT_EQ(Dialog().Context().enrolledSet, u"12346789:");
    EXPECT_NE(MarkColour(5), kGreen);
    EXPECT_EQ(MarkColour(6), kGreen);
    EXPECT_EQ(TitleLabel().text(), Text(kTitleSelectFinger));

    // The finger is bare now: a click enrolls it instead of failing again.
    ClickFinger(5);
    EXPECT_EQ(answerer.seen.size(), 2u);
    EXPECT_EQ(Dialog().Context().selectedFinger, 5);
}

TEST_F(MainWindowTest, AbortMidCaptureReturnsToSelectFinger) {
    Start({{"VARNE_SIM_SCRIPT", "more@0," + kCaptureNeverAnswers}});
    ClickFinger(4);
    ASSERT_TRUE(WaitForTitle(kTitleReleaseFinger));
    EXPECT_EQ(ProgressBar().value(), 1);
    QTest::mouseClick(&AbortButton(), Qt::LeftButton);
    ASSERT_TRUE(WaitForTitle(kTitleSelectFinger));
    EXPECT_EQ(TitleLabel().LabelColor(), kColorBlack);
    EXPECT_EQ(InstructionLabel().LabelColor(), kColorBlack);
    EXPECT_EQ(ProgressBar().value(), 0);
    EXPECT_FALSE(AbortButton().isEnabled());
    EXPECT_EQ(Dialog().Context().selectedFinger, 0);
    EXPECT_NE(MarkColour(4), kRed);
}

// Results keep coming from the service's thread while the window goes: the late ones find
// nothing, and the store holds nothing of the attempt.
TEST_F(MainWindowTest, ClosingMidEnrollmentEndsCleanly) {
    TemporaryDirectory directory;
    const std::string path = directory.File("fingers.store");
    std::string script = "more@0";
    for (int capture = 1; capture < 200; ++capture) {
        script += capture % 2 == 0 ? ",more@0" : ",fast@0";
    }
    Start({{"VARNE_SIM_STORE", path}, {"VARNE_SIM_SCRIPT", script}});
    ClickFinger(3);
    ASSERT_TRUE(WaitForTitle(kTitleReleaseFinger));
    QTest::keyClick(&Dialog(), Qt::Key_Escape);
    EXPECT_FALSE(Dialog().isVisible());
    Stop();  // waits for the service's thread
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(MainWindowTest, FailuresShowTheirTitleInTheErrorColour) {
    const struct {
        const char* failure;
        const char* codeLine;
    } rows[] = {
        {"begin=0x80098036", "Error code = 0x80098036"},
        {"capture=0x80098010", "Error code = 0x80098010"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.failure);
        Start({{"VARNE_SIM_FAIL", row.failure}});
        ClickFinger(6);
        ASSERT_TRUE(WaitForTitle(kTitleEnrollmentError));
        EXPECT_EQ(TitleLabel().LabelColor(), kColorError);
        EXPECT_EQ(InstructionLabel().LabelColor(), kColorError);
        EXPECT_TRUE(InstructionLabel().text().contains(QLatin1String(row.codeLine)))
            << InstructionLabel().text().toStdString();
        EXPECT_EQ(Dialog().Context().selectedFinger, 0);
        // The colour reaches the screen, not just the label's state.
        const QImage title = TitleLabel().grab().toImage().convertToFormat(QImage::Format_RGB32);
        bool errorColourShown = false;
        for (int y = 0; y < title.height() && !errorColourShown; ++y) {
            for (int x = 0; x < title.width() && !errorColourShown; ++x) {
                errorColourShown = title.pixel(x, y) == qRgb(176, 0, 0);
            }
        }
        EXPECT_TRUE(errorColourShown);
        TearDown();
    }
}

TEST_F(MainWindowTest, ADarkThemeWhileRunningReachesEveryPartOfThePanel) {
    Start({{"VARNE_SIM_FAIL", "begin=0x80098036"}});
    ClickFinger(6);
    ASSERT_TRUE(WaitForTitle(kTitleEnrollmentError));
    EXPECT_EQ(TitleLabel().ShownTextColour(), QColor(176, 0, 0));

    const QPalette original = QApplication::palette();
    QPalette dark = original;
    const QColor face(45, 45, 48);
    dark.setColor(QPalette::Window, face);
    dark.setColor(QPalette::Button, face);
    dark.setColor(QPalette::WindowText, QColor(230, 230, 230));
    QApplication::setPalette(dark);
    QCoreApplication::processEvents();

    // On screen, not just in the labels' state: the title's corner and the instruction text's
    // last row, beside the picture's background.
    const QImage shown = Dialog().screen()->grabWindow(Dialog().winId()).toImage();
    const auto at = [&](const QWidget& widget, QPoint point) {
        return shown.pixelColor(widget.mapTo(&Dialog(), point));
    };
    EXPECT_EQ(at(TitleLabel(), QPoint(TitleLabel().width() - 1, 0)), face);
    EXPECT_EQ(at(InstructionLabel(), QPoint(InstructionLabel().width() - 1, 0)), face);
    EXPECT_EQ(at(Picture(), QPoint(1, 1)), face);
    for (CLabel* label : {&TitleLabel(), &InstructionLabel()}) {
        EXPECT_EQ(label->BackgroundColour(), face);
        EXPECT_GE(ContrastRatio(label->ShownTextColour(), face), kMinimumTextContrast);
    }

    QApplication::setPalette(original);
    QCoreApplication::processEvents();
    EXPECT_EQ(TitleLabel().ShownTextColour(), QColor(176, 0, 0)) << "light again: exact";
    EXPECT_EQ(InstructionLabel().BackgroundColour(), original.color(QPalette::Button));
}

TEST_F(MainWindowTest, EnterAwayFromButtonsKeepsTheWindowOpenAndEscapeClosesIt) {
    Start({});
    // Return on a focused button presses it (the keyboard tests). The instruction text takes
    // focus for copying; there Enter means nothing either, and Escape still closes.
    for (QWidget* focus :
         {static_cast<QWidget*>(&Dialog()), static_cast<QWidget*>(&InstructionLabel())}) {
        focus->setFocus();
        QTest::keyClick(focus, Qt::Key_Return);
        QTest::keyClick(focus, Qt::Key_Enter);
        EXPECT_TRUE(Dialog().isVisible());
    }
    QTest::keyClick(&InstructionLabel(), Qt::Key_Escape);
    EXPECT_FALSE(Dialog().isVisible());
    EXPECT_EQ(Dialog().result(), QDialog::Rejected);
}

TEST_F(MainWindowTest, CloseButtonAndCloseBoxEndTheWindow) {
    Start({});
    QTest::mouseClick(&CloseButton(), Qt::LeftButton);
    EXPECT_FALSE(Dialog().isVisible());
    EXPECT_EQ(Dialog().result(), QDialog::Rejected);

    // The title bar's close button.
    Dialog().setResult(QDialog::Accepted);
    Dialog().show();
    EXPECT_TRUE(Dialog().close());
    EXPECT_EQ(Dialog().result(), QDialog::Rejected);
}

TEST_F(MainWindowTest, WindowMenuHoldsCloseAndAbout) {
    Start({});
    QStringList texts;
    for (QAction* action : Dialog().WindowMenu().actions()) {
        texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
    }
    EXPECT_EQ(texts, QStringList({QStringLiteral("&Close"), QStringLiteral("-"),
                                  QStringLiteral("Fingerprint &Login..."), QStringLiteral("-"),
                                  QStringLiteral("&About Varne...")}));
    auto& button = Child<QToolButton>("windowMenuButton");
    EXPECT_TRUE(button.isVisible());
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return Dialog().WindowMenu().isVisible(); }, kWaitMs));
    Dialog().WindowMenu().close();
    // Top-right, inside the status panel's frame and clear of the title.
    EXPECT_GT(button.geometry().left(), TitleLabel().geometry().center().x());
    EXPECT_LT(button.geometry().bottom(), TitleLabel().geometry().top());
}

TEST_F(MainWindowTest, AltSpaceOpensTheMenuAndItsAboutEntryTheAboutBox) {
    Start({});
    int aboutBoxes = 0;
    ModalWatcher closer([&](QWidget& modal) {
        if (qobject_cast<CAboutDlg*>(&modal) != nullptr) {
            ++aboutBoxes;
            EXPECT_EQ(modal.parentWidget(), &Dialog());
            static_cast<QDialog&>(modal).reject();
        }
    });
    QTest::keyClick(&Dialog(), Qt::Key_Space, Qt::AltModifier);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Dialog().WindowMenu().isVisible(); }, kWaitMs));
    QTest::keyClick(&Dialog().WindowMenu(), Qt::Key_A);
    EXPECT_TRUE(QTest::qWaitFor([&] { return aboutBoxes == 1; }, kWaitMs));
    EXPECT_FALSE(Dialog().WindowMenu().isVisible());
    EXPECT_TRUE(Dialog().isVisible());
}

TEST_F(MainWindowTest, EnrollmentGoesOnBehindTheAboutBox) {
    Start({{"VARNE_SIM_SCRIPT", "more@20,more@20,more@20,ok@20"}});
    bool finishedBehindTheBox = false;
    ModalWatcher closer([&](QWidget& modal) {
        if (qobject_cast<CAboutDlg*>(&modal) != nullptr) {
            finishedBehindTheBox = WaitForTitle(kTitleEnrollmentSuccess);
            static_cast<QDialog&>(modal).reject();
        }
    });
    ClickFinger(9);
    QTest::keyClick(&Dialog(), Qt::Key_Space, Qt::AltModifier);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Dialog().WindowMenu().isVisible(); }, kWaitMs));
    QTest::keyClick(&Dialog().WindowMenu(), Qt::Key_A);
    EXPECT_TRUE(finishedBehindTheBox);
    EXPECT_EQ(Dialog().Context().enrolledSet, u"9");
}

TEST_F(MainWindowTest, IdleWindowPaintsNothing) {
    Start({{"VARNE_SIM_ENROLLED", "1,2"}});
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Dialog()));
    QTest::qWait(100);  // let the first frames settle
    EventCounter paints;
    paints.InstallOnTree(Dialog());
    QTest::qWait(300);
    EXPECT_EQ(paints.count, 0);
}

TEST(MainWindowStartupTest, FailuresShowTheirTextAndNeverShowTheWindow) {
    const struct {
        const char* failure;
        const char* commandLine;
        TextId text;
    } rows[] = {
        {"open=0x80004005", "1", kTextSessionOpenFailed},
        {"", "", kTextInvalidUnitId},
        {"", "unit:0", kTextInvalidUnitId},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.commandLine);
        SimulatedConfig::Variables variables;
        if (*row.failure != '\0') {
            variables["VARNE_SIM_FAIL"] = row.failure;
        }
        ScopedSimulatedService sensor(variables);
        ASSERT_TRUE(sensor.Installed());

        WindowDriver window;
        auto dialog = std::make_unique<CVarneDlg>(row.commandLine);
        EventCounter paints;
        paints.InstallOnTree(*dialog);
        MessageBoxAnswerer answerer;
        EXPECT_FALSE(window.Initialise(std::move(dialog)));
        ASSERT_EQ(answerer.seen.size(), 1u);
        EXPECT_EQ(answerer.seen[0].text, WindowDriver::Text(row.text));
        EXPECT_EQ(answerer.seen[0].icon, QMessageBox::Warning);
        EXPECT_EQ(answerer.seen[0].caption, QStringLiteral("ui_tests"));
        // The window was never painted, yet its box carries the program's icon.
        EXPECT_TRUE(answerer.seen[0].hasWindowIcon);
        EXPECT_FALSE(window.Dialog().isVisible());
        EXPECT_EQ(paints.count, 0);
    }
}

TEST(MainWindowStartupTest, UnknownUnitEndsWithoutAMessage) {
    ScopedFakeBackend backend;
    backend->units = {WINBIO_UNIT_SCHEMA{}};
    backend->units[0].UnitId = 1;
    WindowDriver window;
    MessageBoxAnswerer answerer;
    EXPECT_FALSE(window.Initialise("7"));
    EXPECT_TRUE(answerer.seen.empty());
}

TEST(MainWindowStartupTest, SearchDeviceCommandRereadsTheEnrolledSet) {
    ScopedFakeBackend backend;
    backend->units = {WINBIO_UNIT_SCHEMA{}};
    backend->units[0].UnitId = 1;
    WindowDriver window;
    ASSERT_TRUE(window.Start());
    backend->enrollments = {4, 9};
    window.SearchDeviceButton().click();  // hidden, so only its command can reach it
    EXPECT_FALSE(window.SearchDeviceButton().isVisible());
    EXPECT_EQ(window.Context().enrolledSet, u"49");
    EXPECT_TRUE(window.Dialog().isVisible());
}

TEST(MainWindowStartupTest, AThousandBadCapturesEndInTimeoutAtTheFortyFirst) {
    constexpr int kBadCaptures = 1000;
    ScopedFakeBackend backend;
    backend->units = {WINBIO_UNIT_SCHEMA{}};
    backend->units[0].UnitId = 1;
    WindowDriver window;
    ASSERT_TRUE(window.Start());
    window.ClickFinger(2);
    int delivered = 0;
    while (delivered < kBadCaptures) {
        // The next capture is asked for only once the last result's event has run.
        ASSERT_TRUE(window.WaitFor(
            [&] { return backend->HasPendingCapture() || window.Context().selectedFinger == 0; }));
        if (!backend->HasPendingCapture()) {
            break;
        }
        backend->DeliverCapture(kBadCapture, kRejectPoorQuality);
        ++delivered;
    }
    EXPECT_EQ(delivered, kBadCaptureLimit + 1);
    EXPECT_EQ(window.Title(), WindowDriver::Text(kTitleTimeout));
    EXPECT_FALSE(window.AbortButton().isEnabled());
    QTest::qWait(50);
    EXPECT_FALSE(backend->HasPendingCapture());
}

TEST(MainWindowStartupTest, BarAndCounterFollowTheBackEndsStageCount) {
    ScopedFakeBackend backend;
    backend->units = {WINBIO_UNIT_SCHEMA{}};
    backend->units[0].UnitId = 1;
    backend->stageCountStatus = kOk;
    backend->stageCount = 5;
    WindowDriver window;
    ASSERT_TRUE(window.Start());
    QProgressBar& bar = window.ProgressBar();
    EXPECT_EQ(bar.maximum(), 3);  // nothing asked before an enrollment
    window.ClickFinger(2);
    EXPECT_EQ(bar.maximum(), 5);
    EXPECT_EQ(bar.value(), 0);
    for (int accepted = 1; accepted <= 4; ++accepted) {
        ASSERT_TRUE(backend->HasPendingCapture());
        backend->DeliverCapture(kMoreData);
        ASSERT_TRUE(window.WaitFor([&] { return bar.value() == accepted; }));
    }
    EXPECT_EQ(window.CaptureCounter().text(), QStringLiteral("3/5"));
    backend->enrollments = {2};
    backend->DeliverCapture(kOk);
    ASSERT_TRUE(window.WaitFor([&] { return window.Context().enrolledSet == u"2"; }));
    EXPECT_EQ(bar.value(), 5);  // full exactly when the enrollment completes
    EXPECT_EQ(bar.maximum(), 5);
    EXPECT_EQ(window.CaptureCounter().text(), QStringLiteral("4/5"));
}

TEST(MainWindowStartupTest, DestroyingTheWindowCancelsOnlyAnOpenSession) {
    {
        ScopedFakeBackend backend;
        backend->units = {WINBIO_UNIT_SCHEMA{}};
        backend->units[0].UnitId = 1;
        {
            WindowDriver window;
            ASSERT_TRUE(window.Start());
            window.ClickFinger(2);
            ASSERT_TRUE(backend->HasPendingCapture());
            backend->ClearCalls();
        }
        EXPECT_EQ(backend->Calls(), std::vector<std::string>{"cancel 7"});
        // The late result finds no window and changes nothing.
        backend->DeliverCapture(kCanceled);
    }
    {
        ScopedFakeBackend backend;
        backend->results["open"] = kUnspecifiedFailure;
        MessageBoxAnswerer answerer;
        {
            WindowDriver window;
            EXPECT_FALSE(window.Initialise("1"));
        }
        EXPECT_FALSE(backend->Called("cancel"));
    }
}

}  // namespace
