// The program's named texts are present, and the error-code line's own format; the texts
// themselves are checked against the transcription (TranscribedTextsTest).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "MessageCatalogue.h"
#include "StatusMessage.h"

namespace {

std::u16string Line(const char16_t* hex) {
    return std::u16string(u"\nError code = 0x") + hex;
}

}  // namespace

TEST(MessageCatalogue, EveryTextTheProgramUsesIsPresent) {
    const std::vector<TextId> used = {kTextAboutMenuItem,
                                      kTitleSelectFinger,
                                      kTitlePlaceFinger,
                                      kTitleReleaseFinger,
                                      kTitleEnrollmentSuccess,
                                      kTitleEnrollmentError,
                                      kTitleFullyEnrolled,
                                      kTitleTimeout,
                                      kTitleFingerError,
                                      kTitlePlaceFingerAgain,
                                      kTextDeleteQuestion,
                                      kTextSelectFinger,
                                      kTextPlaceFinger,
                                      kTextReleaseFinger,
                                      kTextTimeout,
                                      kTextCompletedAll,
                                      kTextFailurePrefix,
                                      kTextMismatch,
                                      kTextEnrollmentSuccess,
                                      kTextAllEnrolled,
                                      kTextSessionOpenFailed,
                                      kTextInvalidUnitId,
                                      kTextDatabaseReadFailed,
                                      kTextTemplateExists,
                                      kTextDatabaseFull,
                                      kTextDatabaseLocked,
                                      kTextRecordAdditionFailed,
                                      kTextCaptureTakenOver,
                                      kTextDuplicateEnrollment,
                                      kTextCanceled,
                                      kTextNoMatch,
                                      kTextEnrollmentInProgress,
                                      kTextCollectionPending,
                                      kTextDeleteFailed,
                                      kTextUnitsFailed,
                                      kTextAccessDenied,
                                      kTextBlockedByPolicy,
                                      kTextSwipeFinger,
                                      kTextSwipeDone,
                                      kTextSwipeMismatch,
                                      kTextFingerprintLoginOff};
    for (const TextId id : used) {
        EXPECT_FALSE(LoadCatalogueText(id).empty()) << "text " << id;
    }
}

// Numbers beyond the 16 bits that the transcription check walks.
TEST(MessageCatalogue, NumbersBeyondSixteenBitsAreAbsent) {
    for (const TextId absent : {65536u, 65536u + kTextSelectFinger, 4294967295u}) {
        EXPECT_TRUE(LoadCatalogueText(absent).empty()) << "text " << absent;
    }
}

TEST(StatusMessage, ErrorCodeLineIsLowercaseHexWithoutLeadingZeros) {
    const struct {
        StatusCode status;
        std::u16string expected;
    } rows[] = {
        {0, Line(u"0")},
        {1, Line(u"1")},
        {kMoreData, Line(u"90001")},
        {StatusFromBits(0x0000ABCD), Line(u"abcd")},
        {StatusFromBits(0x8009801F), Line(u"8009801f")},
        {StatusFromBits(0x80070057), Line(u"80070057")},
        {StatusFromBits(0xFFFFFFFF), Line(u"ffffffff")},
        {StatusFromBits(0x80000000), Line(u"80000000")},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(FormatErrorCodeLine(row.status), row.expected) << std::hex << row.status;
    }
}
