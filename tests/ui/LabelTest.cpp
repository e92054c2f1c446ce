// The label: repaints only on a real change, keeps its background, owns its font and colour.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QMouseEvent>
#include <QPalette>
#include <QTest>
#include <QWidget>
#include <memory>
#include <vector>

#include "CLabel.h"
#include "EventCounter.h"
#include "PressRecorder.h"
#include "ReadableColour.h"

namespace {

// A shown label whose paints are counted from the moment the first frame is done.
class LabelTest : public testing::Test {
protected:
    void SetUp() override {
        m_window.resize(300, 120);
        m_label = new CLabel(&m_window);
        m_label->setGeometry(10, 10, 280, 60);
        m_label->SetLabelText(QStringLiteral("Place Finger"));
        m_window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_window));
        QCoreApplication::processEvents();
        m_label->installEventFilter(&m_counter);
    }

    int PaintsAfterEventLoop() {
        QCoreApplication::processEvents();
        return m_counter.count;
    }

    PressRecorder m_window;
    CLabel* m_label = nullptr;
    EventCounter m_counter;
};

TEST_F(LabelTest, TextIsSetOnlyWhenItDiffersExactly) {
    struct Case {
        const char* text;
        bool changes;
    };
    const std::vector<Case> cases = {
        {"Place Finger", false},
        {"place finger", true},   // case counts
        {"Place Finger ", true},  // so does trailing space
        {"", true},
        {"Line one\nline two", true},
    };
    for (const Case& testCase : cases) {
        SCOPED_TRACE(testCase.text);
        m_label->SetLabelText(QStringLiteral("Place Finger"));
        QCoreApplication::processEvents();
        m_counter.count = 0;

        m_label->SetLabelText(QString::fromUtf8(testCase.text));
        EXPECT_EQ(m_label->text(), QString::fromUtf8(testCase.text));
        if (testCase.changes) {
            EXPECT_GE(PaintsAfterEventLoop(), 1);
        } else {
            EXPECT_EQ(PaintsAfterEventLoop(), 0);
        }
    }
}

TEST_F(LabelTest, NewColourRepaintsAtOnceSameColourNever) {
    m_label->SetLabelColor(kColorBlack);
    QCoreApplication::processEvents();
    m_counter.count = 0;

    m_label->SetLabelColor(kColorBlack);
    EXPECT_EQ(PaintsAfterEventLoop(), 0);

    m_label->SetLabelColor(kColorError);
    EXPECT_GE(m_counter.count, 1) << "a colour change paints before returning";
    EXPECT_EQ(m_label->LabelColor(), kColorError);

    const QImage frame = m_label->grab().toImage();
    bool textInErrorColour = false;
    for (int y = 0; y < frame.height() && !textInErrorColour; ++y) {
        for (int x = 0; x < frame.width() && !textInErrorColour; ++x) {
            textInErrorColour = frame.pixelColor(x, y) == QColor(176, 0, 0);
        }
    }
    EXPECT_TRUE(textInErrorColour);
}

TEST_F(LabelTest, FontChangesRepaintAtOnceAndKeepTheOtherAttributes) {
    const QFont standard = QApplication::font();
    m_label->SetFontWeight(700);
    EXPECT_GE(m_counter.count, 1);
    m_label->SetFontHeight(-20);
    EXPECT_EQ(m_label->font().weight(), QFont::Bold);
    EXPECT_EQ(m_label->font().pixelSize(), 20);
    EXPECT_EQ(m_label->font().family(), standard.family());
    EXPECT_EQ(m_label->font().italic(), standard.italic());

    m_label->SetFontHeight(-10);
    EXPECT_EQ(m_label->font().pixelSize(), 10);
    EXPECT_EQ(m_label->font().weight(), QFont::Bold) << "height changes leave the weight";
}

TEST_F(LabelTest, PositiveHeightIsTheCellHeight) {
    m_label->SetFontHeight(24);
    const int cellHeight = QFontMetrics(m_label->font()).height();
    EXPECT_NEAR(cellHeight, 24, 2);
    EXPECT_LE(m_label->font().pixelSize(), 24);
}

TEST_F(LabelTest, BackgroundFollowsAPaletteChangeAtOnce) {
    EXPECT_EQ(m_label->BackgroundColour(), m_window.palette().color(QPalette::Button));
    const auto shownBackground = [this] {
        const QImage frame = m_label->grab().toImage();
        return frame.pixelColor(frame.width() - 1, frame.height() - 1);
    };

    const QPalette applicationPalette = QApplication::palette();
    QPalette changed = applicationPalette;
    changed.setColor(QPalette::Button, QColor(10, 120, 200));
    QApplication::setPalette(changed);
    QCoreApplication::processEvents();
    EXPECT_EQ(m_label->BackgroundColour(), QColor(10, 120, 200));
    EXPECT_EQ(shownBackground(), QColor(10, 120, 200));

    // A palette given to the window beneath reaches the label too, and keeps doing so.
    for (const QColor& face : {QColor(200, 30, 30), QColor(30, 200, 30)}) {
        QPalette windowPalette = m_window.palette();
        windowPalette.setColor(QPalette::Button, face);
        m_window.setPalette(windowPalette);
        EXPECT_EQ(shownBackground(), face);
    }
    m_window.setPalette(QPalette());
    QApplication::setPalette(applicationPalette);
}

QPalette DarkPalette() {
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(53, 53, 53));
    dark.setColor(QPalette::Button, QColor(53, 53, 53));
    dark.setColor(QPalette::WindowText, QColor(238, 238, 238));
    return dark;
}

// Whether the colour shows in the label's pixels, exactly.
bool Shows(CLabel& label, const QColor& colour) {
    const QImage frame = label.grab().toImage();
    for (int y = 0; y < frame.height(); ++y) {
        for (int x = 0; x < frame.width(); ++x) {
            if (frame.pixelColor(x, y) == colour) {
                return true;
            }
        }
    }
    return false;
}

TEST_F(LabelTest, ColoursAreExactOnLightFacesAndReadableOnDarkOnes) {
    m_label->SetLabelText(QStringLiteral("Enrollment Error"));
    m_label->SetFontWeight(700);
    m_label->SetFontHeight(-20);  // strokes wide enough to show a pixel of the pure colour
    for (const bool selectable : {false, true}) {
        SCOPED_TRACE(selectable ? "selectable" : "plain");
        m_label->SetTextSelectable(selectable);
        m_window.setPalette(QPalette());
        ASSERT_FALSE(IsDarkBackground(m_label->BackgroundColour()));
        for (const Colorref colour : {kColorBlack, kColorError}) {
            m_label->SetLabelColor(colour);
            EXPECT_EQ(m_label->ShownTextColour(), ColorrefToQColor(colour));
            EXPECT_TRUE(Shows(*m_label, ColorrefToQColor(colour)));
        }

        m_window.setPalette(DarkPalette());  // while shown, in the error colour
        const QColor face = m_label->BackgroundColour();
        EXPECT_EQ(face, QColor(53, 53, 53));
        EXPECT_GE(ContrastRatio(m_label->ShownTextColour(), face), kMinimumTextContrast);
        EXPECT_TRUE(Shows(*m_label, m_label->ShownTextColour()));
        EXPECT_EQ(m_label->LabelColor(), kColorError) << "the request itself is kept";

        m_label->SetLabelColor(kColorBlack);
        EXPECT_EQ(m_label->ShownTextColour(), QColor(238, 238, 238)) << "the theme's text";
        EXPECT_TRUE(Shows(*m_label, QColor(238, 238, 238)));
    }
    m_window.setPalette(QPalette());
}

TEST_F(LabelTest, SelectableTextCanBeCopiedWithTheKeyboard) {
    const QString text = QStringLiteral("Device failure\nError code = 0x80098036");
    m_label->SetLabelText(text);
    m_label->SetTextSelectable(true);
    EXPECT_EQ(m_label->focusPolicy(), Qt::StrongFocus) << "reachable by Tab";
    EXPECT_FALSE(m_label->testAttribute(Qt::WA_TransparentForMouseEvents));
    m_label->setFocus();
    QApplication::clipboard()->clear();
    QTest::keyClick(m_label, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(m_label, Qt::Key_C, Qt::ControlModifier);
    EXPECT_TRUE(m_label->hasSelectedText());
    EXPECT_EQ(QApplication::clipboard()->text(), text);

    m_label->SetTextSelectable(false);
    EXPECT_TRUE(m_label->testAttribute(Qt::WA_TransparentForMouseEvents));
    EXPECT_EQ(m_label->focusPolicy(), Qt::NoFocus);
}

TEST_F(LabelTest, UnconfiguredLabelUsesWindowTextAndDefaultFont) {
    CLabel fresh;
    EXPECT_EQ(ColorrefToQColor(fresh.LabelColor()), fresh.palette().color(QPalette::WindowText));
    EXPECT_EQ(fresh.font(), QApplication::font());
    EXPECT_EQ(fresh.textFormat(), Qt::PlainText);
}

TEST_F(LabelTest, ClicksReachTheWindowBeneath) {
    EventCounter pressesOnControl(QEvent::MouseButtonPress);
    m_label->installEventFilter(&pressesOnControl);
    QTest::mouseClick(m_window.windowHandle(), Qt::LeftButton, {}, QPoint(40, 30));
    EXPECT_EQ(m_window.presses, 1);
    EXPECT_EQ(m_window.lastPress, QPoint(40, 30)) << "in the window's own coordinates";
    EXPECT_EQ(pressesOnControl.count, 0) << "the control never sees the press";
}

TEST(Colorref, ConvertsBothWays) {
    struct Case {
        Colorref colour;
        QColor expected;
    };
    const std::vector<Case> cases = {
        {0x000000, QColor(0, 0, 0)},   {0x0000B0, QColor(176, 0, 0)},
        {0x00FF00, QColor(0, 255, 0)}, {0x0000FF, QColor(255, 0, 0)},
        {0xFF0000, QColor(0, 0, 255)}, {0x123456, QColor(0x56, 0x34, 0x12)},
    };
    for (const Case& testCase : cases) {
        EXPECT_EQ(ColorrefToQColor(testCase.colour), testCase.expected)
            << std::hex << testCase.colour;
        EXPECT_EQ(QColorToColorref(testCase.expected), testCase.colour);
    }
    // Colours in other specs convert through RGB.
    EXPECT_EQ(QColorToColorref(QColor(176, 0, 0).toHsv()), 0x0000B0u);
}

}  // namespace
