// Dialog templates 102 and 100: ids, texts, styles and their pixel rectangles.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DialogTemplates.h"

namespace {

struct ExpectedControl {
    int id;
    ControlKind kind;
    std::u16string text;
    DialogUnitRect rect;
    std::uint32_t style;
};

void ExpectControls(const DialogTemplate& dialog, const std::vector<ExpectedControl>& expected) {
    ASSERT_EQ(dialog.controls.size(), expected.size());
    for (std::size_t index = 0; index < expected.size(); ++index) {
        SCOPED_TRACE(testing::Message() << "control #" << index);
        const ControlTemplate& actual = dialog.controls[index];
        const ExpectedControl& wanted = expected[index];
        EXPECT_EQ(actual.id, wanted.id);
        EXPECT_EQ(actual.kind, wanted.kind);
        EXPECT_TRUE(std::u16string(actual.text) == wanted.text);
        EXPECT_EQ(actual.rect.x, wanted.rect.x);
        EXPECT_EQ(actual.rect.y, wanted.rect.y);
        EXPECT_EQ(actual.rect.width, wanted.rect.width);
        EXPECT_EQ(actual.rect.height, wanted.rect.height);
        EXPECT_EQ(actual.style, wanted.style) << std::hex << actual.style;
    }
}

TEST(DialogTemplates, MainWindowControlsInTabOrder) {
    const DialogTemplate& dialog = MainDialogTemplate();
    EXPECT_EQ(dialog.id, 102);
    EXPECT_TRUE(std::u16string(dialog.title) == u"Varne");
    EXPECT_EQ(dialog.style, 0x90C800C8u);
    EXPECT_EQ(dialog.extendedStyle, 0x00040000u);
    EXPECT_EQ(dialog.rect.width, 528);
    EXPECT_EQ(dialog.rect.height, 196);
    ExpectControls(
        dialog,
        {
            {1001, ControlKind::kPicture, u"131", {13, 34, 260, 129}, 0x5000000E},
            {1002, ControlKind::kProgressBar, u"", {300, 124, 206, 14}, 0x50000001},
            {1004, ControlKind::kEdit, u"", {300, 112, 22, 12}, 0x40000984},
            {1006, ControlKind::kPushButton, u"Search Device", {300, 150, 65, 15}, 0x40010000},
            {2, ControlKind::kPushButton, u"Close", {456, 150, 50, 14}, 0x50010000},
            {1013,
             ControlKind::kStaticText,
             u"Click \"Search Device\" button and place your finger.",
             {300, 60, 206, 48},
             0x50020000},
            {1014, ControlKind::kStaticText, u"SEARCH DEVICE", {300, 40, 206, 19}, 0x50020000},
            {kNoControlId, ControlKind::kGroupBox, u"", {7, 3, 273, 187}, 0x50000007},
            {kNoControlId, ControlKind::kGroupBox, u"", {286, 3, 234, 187}, 0x50000007},
            {1015, ControlKind::kPushButton, u"Abort", {403, 150, 50, 14}, 0x58010000},
        });
    EXPECT_EQ(FindControl(dialog, kIdOk), nullptr) << "the main window has no OK button";
}

TEST(DialogTemplates, AboutBoxControls) {
    const DialogTemplate& dialog = AboutDialogTemplate();
    EXPECT_EQ(dialog.id, 100);
    EXPECT_TRUE(std::u16string(dialog.title) == u"About Varne");
    EXPECT_EQ(dialog.style, 0x80C800C8u);
    EXPECT_EQ(dialog.extendedStyle, 0u);
    ExpectControls(dialog,
                   {
                       {kNoControlId, ControlKind::kIcon, u"128", {14, 14, 21, 20}, 0x50000003},
                       {kNoControlId,
                        ControlKind::kStaticText,
                        u"Varne, Version 1.0",
                        {42, 14, 114, 8},
                        0x50020080},
                       {1, ControlKind::kPushButton, u"OK", {113, 41, 50, 14}, 0x50030001},
                   });
}

TEST(DialogTemplates, FindControlByIdOnly) {
    const DialogTemplate& dialog = MainDialogTemplate();
    ASSERT_NE(FindControl(dialog, kIdAbort), nullptr);
    EXPECT_EQ(FindControl(dialog, kIdAbort)->id, kIdAbort);
    // The frames share the "no id" value; asking for it must not hand out one of them.
    EXPECT_EQ(FindControl(dialog, kNoControlId), nullptr);
    EXPECT_EQ(FindControl(dialog, 1003), nullptr);
}

struct PixelCase {
    DialogUnitRect units;
    PixelRect pixels;
};

TEST(DialogTemplates, DialogUnitsRoundEachEdgeHalvesAwayFromZero) {
    const std::vector<PixelCase> cases = {
        {{0, 0, 528, 196}, {0, 0, 792, 319}},      // 318.5 rounds up
        {{13, 34, 260, 129}, {20, 55, 410, 265}},  // the hand picture: 390 x 210
        {{0, 0, 170, 62}, {0, 0, 255, 101}},       // About box: 100.75
        {{14, 14, 21, 20}, {21, 23, 53, 55}},      // About icon: 32 x 32
        {{1, 1, 0, 0}, {2, 2, 2, 2}},              // 1.5 and 1.625
        {{3, 4, 0, 0}, {5, 7, 5, 7}},              // 4.5 and 6.5 both round up
        {{-1, -4, 2, 8}, {-2, -7, 2, 7}},          // negative halves round down
        {{-13, -34, 26, 68}, {-20, -55, 20, 55}},  // symmetric about zero
    };
    for (const PixelCase& testCase : cases) {
        const PixelRect actual = DialogUnitsToPixels(testCase.units);
        SCOPED_TRACE(testing::Message()
                     << "units " << testCase.units.x << "," << testCase.units.y << " "
                     << testCase.units.width << "x" << testCase.units.height);
        EXPECT_EQ(actual.left, testCase.pixels.left);
        EXPECT_EQ(actual.top, testCase.pixels.top);
        EXPECT_EQ(actual.right, testCase.pixels.right);
        EXPECT_EQ(actual.bottom, testCase.pixels.bottom);
    }
}

}  // namespace
