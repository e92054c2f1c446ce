// On a swipe sensor the workflow asks for swipes; on any other it keeps the press texts.
#include <gmock/gmock.h>

#include <string>

#include "WorkflowFixture.h"

namespace {

struct KindRow {
    const char* kind;
    std::uint32_t subType;
    TextId place;
    TextId lift;
    TextId mismatch;
};

const KindRow kKinds[] = {
    {"swipe", kSensorSubtypeSwipe, kTextSwipeFinger, kTextSwipeDone, kTextSwipeMismatch},
    {"press", kSensorSubtypeTouch, kTextPlaceFinger, kTextReleaseFinger, kTextMismatch},
    {"unknown", kSensorSubtypeUnknown, kTextPlaceFinger, kTextReleaseFinger, kTextMismatch},
};

std::string Status(TextId title, TextId text, int colour = 0) {
    return "status " + std::to_string(title) + " " + std::to_string(text) + " '' " +
           std::to_string(colour) + " " + std::to_string(colour);
}

class SwipeSensorTest : public WorkflowFixture, public ::testing::WithParamInterface<KindRow> {};

TEST_P(SwipeSensorTest, EveryInstructionSpeaksOfTheSensorsKind) {
    const KindRow& row = GetParam();
    context.sensorSubType = row.subType;
    Begin();
    EXPECT_THAT(display.Log(), ::testing::Contains(Status(kTitlePlaceFinger, row.place)));
    display.ClearLog();
    EXPECT_EQ(Step(kMoreData), kEventRelease);
    EXPECT_THAT(display.Log(), ::testing::Contains(Status(kTitleReleaseFinger, row.lift)));
    display.ClearLog();
    EXPECT_EQ(Step(kBadCapture, kRejectTooHigh), kEventPlace);
    EXPECT_THAT(display.Log(), ::testing::Contains(Status(kTitlePlaceFingerAgain, row.place)));
    display.ClearLog();
    EXPECT_EQ(Step(kBadCapture, kRejectMergeFailure), kEventMismatch);
    EXPECT_THAT(display.Log(),
                ::testing::Contains(Status(kTitleFingerError, row.mismatch, kColorError)));
}

std::string KindName(const ::testing::TestParamInfo<KindRow>& kind) {
    return kind.param.kind;
}

INSTANTIATE_TEST_SUITE_P(Kinds, SwipeSensorTest, ::testing::ValuesIn(kKinds), KindName);

// The swipe texts are new rows: the press sensor's texts are the transcribed ones, unchanged.
TEST(SwipeTexts, AreTheirOwnAndSpeakOfSwiping) {
    for (const TextId swipe : {kTextSwipeFinger, kTextSwipeDone, kTextSwipeMismatch}) {
        const std::string text = Narrow(LoadCatalogueText(swipe));
        EXPECT_NE(text.find("wipe"), std::string::npos) << swipe;  // "Swipe" or "swipe"
        EXPECT_EQ(text.find("Place your finger"), std::string::npos) << swipe;
    }
}

}  // namespace
