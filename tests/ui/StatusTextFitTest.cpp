// Every text the window can show, in every language, at the default font and at 16 pt: no line
// is ever cut off.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "CAboutDlg.h"
#include "CLabel.h"
#include "CVarneDlg.h"
#include "DialogBuilder.h"
#include "DialogTemplates.h"
#include "MessageBoxAnswerer.h"
#include "MessageCatalogue.h"
#include "ModalWatcher.h"
#include "ScopedApplicationFont.h"
#include "ScopedUiLanguage.h"
#include "SimulatedWindowTest.h"
#include "StatusMessage.h"

namespace {

constexpr int kLargePointSize = 16;
constexpr int kLargerPointSize = 20;
const QSize kDefaultWindowSize(792, 319);
constexpr int kWrapFlags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap | Qt::TextExpandTabs;
constexpr int kTallEnough = 100000;

std::vector<TextId> AllTitles() {
    std::vector<TextId> titles;
    for (TextId id = kTitleSelectFinger; id <= kTitlePlaceFingerAgain; ++id) {
        titles.push_back(id);
    }
    return titles;
}

// The instruction texts of every step, the composed message of every named code and of codes
// nobody names, and the template's text shown before the first step.
std::vector<QString> AllInstructions() {
    std::vector<QString> texts = {
        WindowDriver::Text(kTextSelectFinger),
        WindowDriver::Text(kTextPlaceFinger),
        WindowDriver::Text(kTextReleaseFinger),
        WindowDriver::Text(kTextTimeout),
        WindowDriver::Text(kTextCompletedAll),
        WindowDriver::Text(kTextMismatch),
        WindowDriver::Text(kTextEnrollmentSuccess),
        WindowDriver::Text(kTextAllEnrolled),
        WindowDriver::Text(kTextDuplicateEnrollment),
        WindowDriver::Text(kTextSwipeFinger),
        WindowDriver::Text(kTextSwipeDone),
        WindowDriver::Text(kTextSwipeMismatch),
        ShownTemplateText(FindControl(MainDialogTemplate(), kIdInstructionLabel)->text),
    };
    for (std::uint32_t code = 0x80098001; code <= 0x8009803D; ++code) {
        texts.push_back(QString::fromStdU16String(ComposeStatusMessage(StatusFromBits(code))));
    }
    // Ours beside them: a refused password and the system's policy.
    for (const StatusCode own : {kAccessDenied, kBlockedByPolicy}) {
        texts.push_back(QString::fromStdU16String(ComposeStatusMessage(own)));
    }
    for (const std::uint32_t unknown : {0x80070057u, 0xFFFFFFFFu}) {
        texts.push_back(QString::fromStdU16String(ComposeStatusMessage(StatusFromBits(unknown))));
    }
    return texts;
}

// Height and width of every wrapped line of text in a given width, as QPainter lays it out.
QSize WrappedSize(const QFont& font, int width, const QString& text) {
    return QFontMetrics(font)
        .boundingRect(QRect(0, 0, width, kTallEnough), kWrapFlags, text)
        .size();
}

// Fails unless a button's contents rectangle holds its text.
void ExpectButtonShowsItsText(const QPushButton& button) {
    SCOPED_TRACE(button.text().toStdString());
    const QSize needed = ButtonSizeForText(button);
    EXPECT_GE(button.width(), needed.width());
    EXPECT_GE(button.height(), needed.height());
}

// English, and each language of po/ with its longer words.
class StatusTextFitTest : public SimulatedWindowTest,
                          public testing::WithParamInterface<const char*> {
protected:
    void SetUp() override { m_language.emplace(GetParam()); }
    void StartAndShow(const SimulatedConfig::Variables& variables = {{"VARNE_SIM_ENROLLED", "5"}}) {
        Start(variables);
    }

    // Shows every text under the title that leaves it the least room, and every title over the
    // tallest text, and checks that each line can be seen, at once or by scrolling; at the
    // default font nothing may need scrolling.
    void WalkEveryText(bool mustFitWithoutScrolling) {
        auto& title = Child<CLabel>("titleLabel");
        auto& instruction = Child<CLabel>("instructionLabel");
        const std::vector<TextId> titles = AllTitles();
        const std::vector<QString> texts = AllInstructions();
        const auto height = [](const CLabel& label, const QString& text) {
            return WrappedSize(label.font(), label.contentsRect().width(), text).height();
        };
        const TextId tallestTitle =
            *std::max_element(titles.begin(), titles.end(), [&](TextId a, TextId b) {
                return height(title, WindowDriver::Text(a)) < height(title, WindowDriver::Text(b));
            });
        const QString tallestText =
            *std::max_element(texts.begin(), texts.end(), [&](const QString& a, const QString& b) {
                return height(instruction, a) < height(instruction, b);
            });
        for (const QString& text : texts) {
            ShowAndCheck(tallestTitle, text, mustFitWithoutScrolling);
        }
        for (const TextId titleId : titles) {
            ShowAndCheck(titleId, tallestText, mustFitWithoutScrolling);
        }
        ExpectButtonShowsItsText(Child<QPushButton>("abortButton"));
        ExpectButtonShowsItsText(Child<QPushButton>("closeButton"));
        EXPECT_LT(Child<QPushButton>("abortButton").geometry().right(),
                  Child<QPushButton>("closeButton").geometry().left());
    }

    void ShowAndCheck(TextId titleId, const QString& text, bool mustFitWithoutScrolling) {
        SCOPED_TRACE((WindowDriver::Text(titleId) + QStringLiteral(" / ") + text).toStdString());
        auto& title = Child<CLabel>("titleLabel");
        auto& instruction = Child<CLabel>("instructionLabel");
        auto& area = Child<QScrollArea>("instructionArea");
        auto& progress = Child<QProgressBar>("progressBar");
        Dialog().ShowStatus(titleId, 0, text.toStdU16String(), kColorError, kColorError);
        QCoreApplication::processEvents();
        ExpectTitleWhole(title);
        ExpectInstructionReachable(instruction, area, mustFitWithoutScrolling);
        EXPECT_LT(title.geometry().bottom(), area.geometry().top());
        EXPECT_LT(area.geometry().bottom(), progress.geometry().top());
    }

    static void ExpectTitleWhole(const CLabel& title) {
        const QRect room = title.contentsRect();
        const QSize needed = WrappedSize(title.font(), room.width(), title.text());
        ASSERT_LE(needed.height(), room.height());
        ASSERT_LE(needed.width(), room.width());
    }

    static void ExpectInstructionReachable(const CLabel& label, const QScrollArea& area,
                                           bool mustFitWithoutScrolling) {
        const QRect room = label.contentsRect();
        const QSize needed = WrappedSize(label.font(), room.width(), label.text());
        // Measured as QPainter and as the label's own layout see it: both must fit.
        ASSERT_LE(needed.height(), room.height());
        ASSERT_LE(label.heightForWidth(label.width()), label.height());
        ASSERT_LE(needed.width(), room.width());
        ASSERT_LE(label.width(), area.viewport()->width()) << "nothing hides sideways";

        const int hidden = label.height() - area.viewport()->height();
        if (mustFitWithoutScrolling) {
            ASSERT_LE(hidden, 0);
            ASSERT_FALSE(area.verticalScrollBar()->isVisible());
        } else if (hidden > 0) {
            // What the viewport cannot show, the scroll bar reaches: down to the last line.
            ASSERT_TRUE(area.verticalScrollBar()->isVisible());
            ASSERT_EQ(area.verticalScrollBar()->maximum(), hidden);
            ASSERT_EQ(area.verticalScrollBar()->value(), 0) << "a new text starts at its top";
            const int lineStep = QFontMetrics(label.font()).lineSpacing();
            ASSERT_EQ(area.viewport()->height() % lineStep, 0) << "a line half in view";
        }
    }

private:
    std::optional<ScopedUiLanguage> m_language;
};

QRect TemplatePlace(int id) {
    const PixelRect place = DialogUnitsToPixels(FindControl(MainDialogTemplate(), id)->rect);
    return {place.left, place.top, place.Width(), place.Height()};
}

TEST_P(StatusTextFitTest, EveryStatusIsWholeAtTheDefaultFont) {
    StartAndShow();
    // An ordinary step keeps the template's places; its text may only reach further down.
    EXPECT_EQ(Child<CLabel>("titleLabel").geometry(), TemplatePlace(kIdTitleLabel));
    EXPECT_EQ(Child<QPushButton>("abortButton").geometry(), TemplatePlace(kIdAbort));
    EXPECT_EQ(Child<QPushButton>("closeButton").geometry(), TemplatePlace(kIdCancel));
    const QRect area = Child<QScrollArea>("instructionArea").geometry();
    EXPECT_EQ(area.topLeft(), TemplatePlace(kIdInstructionLabel).topLeft());
    EXPECT_EQ(area.width(), TemplatePlace(kIdInstructionLabel).width());
    WalkEveryText(true);
}

// Set while the window runs, as when the desktop's font setting changes, and set back: the
// window grows with the font, and nothing needs scrolling.
TEST_P(StatusTextFitTest, EveryStatusIsWholeWithoutScrollingAt16And20Points) {
    StartAndShow();
    auto& instruction = Child<CLabel>("instructionLabel");
    const int defaultSize = instruction.font().pixelSize();
    for (const int pointSize : {kLargePointSize, kLargerPointSize}) {
        SCOPED_TRACE(pointSize);
        ScopedApplicationFont large(pointSize);
        QCoreApplication::processEvents();
        EXPECT_GT(instruction.font().pixelSize(), defaultSize) << "the text grew";
        EXPECT_GT(Dialog().width(), kDefaultWindowSize.width());
        EXPECT_GT(Dialog().height(), kDefaultWindowSize.height());
        WalkEveryText(true);
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(instruction.font().pixelSize(), defaultSize);
    EXPECT_EQ(Dialog().size(), kDefaultWindowSize);
    WalkEveryText(true);
}

// Where the screen cannot hold the grown window, it stays on the screen and scrolls instead.
// Measured in English only: at 20 pt French titles and German compounds need more than the
// small screen holds.
class LastResortFitTest : public StatusTextFitTest {};

TEST_P(LastResortFitTest, OnATooSmallScreenTheTextScrollsAsTheLastResort) {
    StartAndShow();
    QScreen* small = QGuiApplication::screens().value(1);
    ASSERT_NE(small, nullptr) << "the tests' second, small screen";
    Dialog().setScreen(small);
    ScopedApplicationFont large(kLargerPointSize);
    QCoreApplication::processEvents();
    EXPECT_LE(Dialog().width(), small->availableSize().width());
    EXPECT_LE(Dialog().height(), small->availableSize().height());
    EXPECT_GT(Dialog().width(), kDefaultWindowSize.width()) << "as large as the screen allows";
    WalkEveryText(false);
}

TEST_P(StatusTextFitTest, LongestStatusShowsItsErrorCodeLineAtTheDefaultFont) {
    StartAndShow();
    const QString message = QString::fromStdU16String(ComposeStatusMessage(kDuplicateEnrollment));
    Dialog().ShowStatus(kTitleEnrollmentError, 0, message.toStdU16String(), kColorError,
                        kColorError);
    QCoreApplication::processEvents();
    // The lowest inked row of the label is on the text's last line, and the screen shows it.
    auto& label = Child<CLabel>("instructionLabel");
    auto& area = Child<QScrollArea>("instructionArea");
    const QImage whole = label.grab().toImage();
    const QImage shown = area.viewport()->grab().toImage();
    const auto inkInRow = [&label](const QImage& image, int y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixelColor(x, y) != label.BackgroundColour()) {
                return true;
            }
        }
        return false;
    };
    int lowestInk = whole.height() - 1;
    while (lowestInk >= 0 && !inkInRow(whole, lowestInk)) {
        --lowestInk;
    }
    const int lastLineTop =
        WrappedSize(label.font(), label.contentsRect().width(), message).height() -
        QFontMetrics(label.font()).height();
    EXPECT_GE(lowestInk, lastLineTop);
    ASSERT_LT(lowestInk, shown.height()) << "Error code line below the visible area";
    EXPECT_TRUE(inkInRow(shown, lowestInk));
    EXPECT_TRUE(
        message.endsWith(QString::fromStdU16String(FormatErrorCodeLine(kDuplicateEnrollment))));
}

// A message box, checked while it is up, then answered.
struct SeenBox {
    QString text;
    bool textWhole = false;
    bool buttonsWhole = false;
};

SeenBox InspectAndAnswer(QMessageBox& box, QMessageBox::StandardButton answer) {
    SeenBox seen{box.text()};
    if (auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))) {
        const QRect inBox(label->mapTo(&box, QPoint(0, 0)), label->size());
        seen.textWhole =
            label->height() >= label->heightForWidth(label->width()) && box.rect().contains(inBox);
    }
    seen.buttonsWhole = true;
    for (QAbstractButton* button : box.buttons()) {
        auto* push = qobject_cast<QPushButton*>(button);
        seen.buttonsWhole = seen.buttonsWhole && push != nullptr &&
                            push->width() >= ButtonSizeForText(*push).width() &&
                            push->height() >= ButtonSizeForText(*push).height();
    }
    QAbstractButton* button = box.button(answer) ? box.button(answer) : box.button(QMessageBox::Ok);
    button->click();
    return seen;
}

TEST_P(StatusTextFitTest, MessageBoxesAndAboutBoxGrowWithTheFont) {
    ScopedApplicationFont large(kLargePointSize);
    {
        CAboutDlg about;
        about.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&about));
        for (QLabel* label : about.findChildren<QLabel*>()) {
            if (label->text().isEmpty()) {
                continue;  // the icon
            }
            const QSize needed =
                QFontMetrics(label->font()).size(Qt::TextSingleLine, label->text());
            EXPECT_GE(label->width(), needed.width());
            EXPECT_GE(label->height(), needed.height());
            EXPECT_TRUE(about.rect().contains(label->geometry()));
            for (QPushButton* button : about.findChildren<QPushButton*>()) {
                ExpectButtonShowsItsText(*button);
                EXPECT_TRUE(about.rect().contains(button->geometry()));
                EXPECT_FALSE(button->geometry().intersects(label->geometry()));
            }
        }
        EXPECT_GE(about.width(), 255);
        EXPECT_GE(about.height(), 101);
    }

    // The question before a deletion, then the failed deletion's message with its code.
    StartAndShow({{"VARNE_SIM_ENROLLED", "5"}, {"VARNE_SIM_FAIL", "delete=0x8009801b"}});
    std::vector<SeenBox> boxes;
    ModalWatcher watcher([&](QWidget& modal) {
        if (auto* box = qobject_cast<QMessageBox*>(&modal)) {
            boxes.push_back(InspectAndAnswer(*box, QMessageBox::Yes));
        }
    });
    QTest::mouseClick(&Dialog(), Qt::LeftButton, {},
                      Child<QWidget>("picture").mapTo(&Dialog(), QPoint(378, 62)));
    ASSERT_EQ(boxes.size(), 2u);
    for (const SeenBox& box : boxes) {
        SCOPED_TRACE(box.text.toStdString());
        EXPECT_TRUE(box.textWhole);
        EXPECT_TRUE(box.buttonsWhole);
    }
    EXPECT_TRUE(boxes[1].text.endsWith(
        QString::fromStdU16String(FormatErrorCodeLine(StatusFromBits(0x8009801B)))));
}

INSTANTIATE_TEST_SUITE_P(English, LastResortFitTest, testing::Values("en"));
INSTANTIATE_TEST_SUITE_P(Languages, StatusTextFitTest, testing::Values("en", "de", "fr", "es"),
                         [](const testing::TestParamInfo<const char*>& language) {
                             return std::string(language.param);
                         });

}  // namespace
