// The catalogue's texts and the status message built from a failing code.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "MessageCatalogue.h"
#include "StatusMessage.h"

namespace {

const std::u16string kPrefix =
    u"Enrollment has failed due to an error during the enrollment process.\n\n";

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
                                      kTextSwipeMismatch};
    for (const TextId id : used) {
        EXPECT_FALSE(LoadCatalogueText(id).empty()) << "text " << id;
    }
}

TEST(MessageCatalogue, SpotChecksAndAbsentNumbers) {
    EXPECT_EQ(LoadCatalogueText(kTextAboutMenuItem), u"&About Varne...");
    EXPECT_EQ(LoadCatalogueText(kTitlePlaceFingerAgain), u"Place Finger Again");
    EXPECT_EQ(LoadCatalogueText(kTextTimeout),
              u"Enrollment has timed out because the sensor has received no appropriate action "
              u"within the required time period.\n\nSelect the same finger to try again or select "
              u"a different finger.");
    EXPECT_EQ(LoadCatalogueText(kTextUnitsFailed),
              u"Failed to retrieve biometric units. The manager will be closed.");
    // Gaps between the numbers and both ends of the range.
    for (const TextId absent : {0u, 100u, 909u, 1001u, 1008u, 2000u, 2016u, 65535u, 4294967295u}) {
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

TEST(StatusMessage, FullTexts) {
    EXPECT_EQ(ComposeStatusMessage(kNoMatch), kPrefix + u"No match found." + Line(u"80098005"));
    EXPECT_EQ(ComposeStatusMessage(kInvalidArgument),
              kPrefix + u"Unknown error" + Line(u"80070057"));
    EXPECT_EQ(ComposeStatusMessage(kDatabaseNoResults),
              kPrefix + u"Database no results" + Line(u"8009801f"));
    // The duplicate text brings a blank line of its own.
    EXPECT_EQ(ComposeStatusMessage(kDuplicateEnrollment),
              kPrefix +
                  u"Enrollment has failed due to duplicate enrollments. The attempted enrollment "
                  u"was found to match another finger.\n\nSelect the same finger to try again or "
                  u"select a different finger." +
                  Line(u"8009802b"));
    EXPECT_EQ(ComposeStatusMessage(kAccessDenied),
              kPrefix +
                  u"The system did not allow the change because the password was not given or "
                  u"was refused." +
                  Line(u"80070005"));
    EXPECT_EQ(ComposeStatusMessage(kInvalidUnit),
              kPrefix + LoadCatalogueText(kTextInvalidUnitId) + Line(u"80098002"));
}

// Every known code, and codes next to and inside the range that have no text of their own.
TEST(StatusMessage, EveryCodeGetsItsSpecificTextAndItsCode) {
    const struct {
        std::uint32_t code;
        std::u16string specific;
    } rows[] = {
        {0x80098001, u"Unsupported factor"},
        {0x80098002, LoadCatalogueText(kTextInvalidUnitId)},
        {0x80098003, u"Unknown ID"},
        {0x80098004, LoadCatalogueText(kTextCanceled)},
        {0x80098005, LoadCatalogueText(kTextNoMatch)},
        {0x80098006, LoadCatalogueText(kTextCaptureTakenOver)},
        {0x80098007, LoadCatalogueText(kTextEnrollmentInProgress)},
        {0x80098008, u"Bad capture"},
        {0x80098009, u"Invalid control code"},
        {0x8009800A, u"Factor not present"},
        {0x8009800B, LoadCatalogueText(kTextCollectionPending)},
        {0x8009800C, u"Unsupported data format"},
        {0x8009800D, u"Unsupported data type"},
        {0x8009800E, u"Unsupported purpose"},
        {0x8009800F, u"Invalid device state"},
        {0x80098010, u"Device busy"},
        {0x80098011, u"Database cannot create"},
        {0x80098012, u"Database cannot open"},
        {0x80098013, u"Database cannot close"},
        {0x80098014, u"Database cannot erase"},
        {0x80098015, u"Database cannot find"},
        {0x80098016, u"Database already exists"},
        {0x80098017, u"Database invalid name"},
        {0x80098018, LoadCatalogueText(kTextDatabaseFull)},
        {0x80098019, LoadCatalogueText(kTextDatabaseLocked)},
        {0x8009801A, u"Database corrupted"},
        {0x8009801B, u"Database no such record"},
        {0x8009801C, LoadCatalogueText(kTextTemplateExists)},
        {0x8009801D, u"Database read error"},
        {0x8009801E, LoadCatalogueText(kTextRecordAdditionFailed)},
        {0x8009801F, u"Database no results"},
        {0x80098020, u"Database no more records"},
        {0x80098021, u"Database EOF"},
        {0x80098022, u"Database bad index vector"},
        {0x80098023, u"Invalid identity"},
        {0x80098024, u"Incorrect BSP"},
        {0x80098025, u"Incorrect sensor pool"},
        {0x80098026, u"No capture data"},
        {0x80098027, u"Invalid sensor mode"},
        {0x80098028, u"Unknown error"},
        {0x80098029, u"Unknown error"},
        {0x8009802A, u"Lock violation"},
        {0x8009802B, LoadCatalogueText(kTextDuplicateEnrollment)},
        {0x8009802C, u"Invalid operation"},
        {0x8009802D, u"Session busy"},
        {0x8009802E, u"Async operation in progress"},
        {0x8009802F, u"Invalid async operation"},
        {0x80098030, u"Credential provider disabled"},
        {0x80098031, u"Credential provider no credential"},
        {0x80098032, u"Disabled"},
        {0x80098033, u"Configuration failure"},
        {0x80098034, u"Sensor unavailable"},
        {0x80098035, u"SAS enabled"},
        {0x80098036, u"Device failure"},
        {0x80098037, u"Fast user switch disabled"},
        {0x80098038, u"Not active console"},
        {0x80098039, u"Event monitor active"},
        {0x8009803A, u"Invalid property type"},
        {0x8009803B, u"Invalid property ID"},
        {0x8009803C, u"Unsupported property"},
        {0x8009803D, u"Adapter integrity failure"},
        // Ours: a refused password, and the system's policy refusing the program.
        {0x80070005, LoadCatalogueText(kTextAccessDenied)},
        {0x800704EC, LoadCatalogueText(kTextBlockedByPolicy)},
        {0x800704EB, u"Unknown error"},
        {0x800704ED, u"Unknown error"},
        {0x80070004, u"Unknown error"},
        {0x80070006, u"Unknown error"},
        {0x80098000, u"Unknown error"},
        {0x8009803E, u"Unknown error"},
        {0x80070057, u"Unknown error"},
        {0x80004005, u"Unknown error"},
        {0x00000000, u"Unknown error"},
        {0x00090001, u"Unknown error"},
        {0x00098001, u"Unknown error"},
    };
    for (const auto& row : rows) {
        const std::u16string message = ComposeStatusMessage(StatusFromBits(row.code));
        const std::u16string codeLine = FormatErrorCodeLine(StatusFromBits(row.code));
        EXPECT_EQ(message, kPrefix + row.specific + codeLine) << std::hex << row.code;
    }
}
