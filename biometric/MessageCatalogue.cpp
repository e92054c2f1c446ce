// The program's string table: every text the user reads, keyed by number.
#include "MessageCatalogue.h"

#include <algorithm>
#include <array>

#include "TerminalText.h"
#include "Translation.h"

namespace {

struct CatalogueEntry {
    TextId id;
    const char* text;  // English, UTF-8
};

// Sorted by id so a lookup is a binary search.
constexpr std::array kCatalogue = {
    CatalogueEntry{kTextAboutMenuItem, N_("&About Varne...")},
    CatalogueEntry{kTitleSelectFinger, N_("Select Finger")},
    CatalogueEntry{kTitlePlaceFinger, N_("Place Finger")},
    CatalogueEntry{kTitleReleaseFinger, N_("Release Finger")},
    CatalogueEntry{kTitleEnrollmentSuccess, N_("Enrollment Success")},
    CatalogueEntry{kTitleEnrollmentError, N_("Enrollment Error")},
    CatalogueEntry{kTitleFullyEnrolled, N_("Fully Enrolled")},
    CatalogueEntry{kTitleTimeout, N_("Timeout")},
    CatalogueEntry{kTitleFingerError, N_("Finger Error")},
    CatalogueEntry{kTitlePlaceFingerAgain, N_("Place Finger Again")},
    CatalogueEntry{kTextDeleteQuestion,
                   N_("Are you sure you want to delete the selected finger from enrollment?")},
    CatalogueEntry{
        kTextSelectFinger,
        N_("Select the finger you wish to enroll by clicking on the corresponding finger "
           "in the picture shown at the left. A green mark indicates that the finger is "
           "already enrolled. To delete an enrolled finger, click on the green mark.")},
    CatalogueEntry{kTextPlaceFinger,
                   N_("Place your finger on the sensor. We recommend you place your finger firmly "
                      "and evenly in the middle of the sensor. Misplacing, moving, or pressing too "
                      "hard or too lightly may cause an enrollment error.")},
    CatalogueEntry{kTextReleaseFinger,
                   N_("Lift your finger completely off the sensor and wait for the next "
                      "instruction.")},
    CatalogueEntry{kTextTimeout,
                   N_("Enrollment has timed out because the sensor has received no appropriate "
                      "action within the required time period.\n\nSelect the same finger to try "
                      "again or select a different finger.")},
    CatalogueEntry{kTextCompletedAll,
                   N_("Enrollment is completed. To delete an enrolled finger, click on the green "
                      "mark. To update or re-enroll a finger, first delete the finger, and then "
                      "enroll again.")},
    CatalogueEntry{kTextFailurePrefix,
                   N_("Enrollment has failed due to an error during the enrollment process.")},
    CatalogueEntry{
        kTextMismatch,
        N_("The fingerprint data currently captured does not match the other captured "
           "data in this enrollment. Place your finger on the sensor again, firmly and "
           "evenly in the middle of the sensor. Misplacing, moving, or pressing too hard "
           "or too lightly may cause an enrollment error.")},
    CatalogueEntry{
        kTextEnrollmentSuccess,
        N_("Enrollment was successful. To enroll another finger, select the finger by "
           "clicking on the corresponding finger in the picture shown at the left. To "
           "delete an enrolled finger, click on the green mark. To update or re-enroll a "
           "finger, first delete the finger, and then enroll again.")},
    CatalogueEntry{kTextAllEnrolled,
                   N_("All fingers are currently enrolled. To delete an enrolled finger, click on "
                      "the green mark. To update or re-enroll a finger, first delete the finger, "
                      "and then enroll again.")},
    CatalogueEntry{kTextSessionOpenFailed,
                   N_("Failed to open WinBio session. The manager will be closed.")},
    CatalogueEntry{kTextInvalidUnitId,
                   N_("Since the specified unit ID is not valid, the manager cannot start.")},
    CatalogueEntry{kTextDatabaseReadFailed,
                   N_("Failed to retrieve data from database. The manager will be closed.")},
    CatalogueEntry{kTextTemplateExists,
                   N_("The specified template identity and sub factor already exist in the "
                      "database.")},
    CatalogueEntry{kTextDatabaseFull,
                   N_("The database is full and no further records can be added.")},
    CatalogueEntry{kTextDatabaseLocked, N_("The database is locked.")},
    CatalogueEntry{kTextRecordAdditionFailed,
                   N_("Record addition failed because of an unspecified problem.")},
    CatalogueEntry{kTextCaptureTakenOver,
                   N_("Another application has taken control of the capture device and enrollment "
                      "has been stopped.")},
    CatalogueEntry{
        kTextDuplicateEnrollment,
        N_("Enrollment has failed due to duplicate enrollments. The attempted enrollment "
           "was found to match another finger.\n\nSelect the same finger to try again or "
           "select a different finger.")},
    CatalogueEntry{kTextCanceled, N_("The operation was canceled either by the caller, or an "
                                     "IOCTL_BIOMETRIC_RESET request.")},
    CatalogueEntry{kTextNoMatch, N_("No match found.")},
    CatalogueEntry{kTextEnrollmentInProgress,
                   N_("An enrollment operation is already in progress, and only one enrollment can "
                      "occur at a given time.")},
    CatalogueEntry{kTextCollectionPending, N_("There is already a data collection IOCTL pending.")},
    CatalogueEntry{kTextDeleteFailed, N_("Failed to delete a template from the database.")},
    CatalogueEntry{kTextUnitsFailed,
                   N_("Failed to retrieve biometric units. The manager will be closed.")},
    CatalogueEntry{kTextAccessDenied,
                   N_("The system did not allow the change because the password was not given or "
                      "was refused.")},
    CatalogueEntry{kTextBlockedByPolicy,
                   N_("The system's security policy does not allow this program to use the "
                      "fingerprint reader. Ask your administrator to allow it.")},
    CatalogueEntry{kTextSwipeFinger,
                   N_("Swipe your finger across the sensor. We recommend you swipe it evenly and "
                      "at a steady speed, over the middle of the sensor. Swiping too fast, too "
                      "slowly or at an angle may cause an enrollment error.")},
    CatalogueEntry{kTextSwipeDone,
                   N_("Keep your finger off the sensor and wait for the next instruction before "
                      "you swipe again.")},
    CatalogueEntry{kTextSwipeMismatch,
                   N_("The fingerprint data currently captured does not match the other captured "
                      "data in this enrollment. Swipe your finger across the sensor again, evenly "
                      "and at a steady speed, over the middle of the sensor. Swiping too fast, too "
                      "slowly or at an angle may cause an enrollment error.")},
    CatalogueEntry{kTextFingerprintLoginOff,
                   N_("Fingerprint login is off: logging in and sudo still ask for your password. "
                      "\"Fingerprint Login...\" in the window menu says how to turn it on.")},
    CatalogueEntry{kTitleTestFinger, N_("Test Finger")},
    CatalogueEntry{kTitleFingerRecognized, N_("Finger Recognized")},
    CatalogueEntry{kTitleFingerNotRecognized, N_("Finger Not Recognized")},
    CatalogueEntry{kTitleTestError, N_("Test Failed")},
    CatalogueEntry{kTextTestTouch,
                   N_("Touch the sensor with the marked finger, as you would to log in: flat, "
                      "firmly and in the middle of the sensor.")},
    CatalogueEntry{kTextTestSwipe,
                   N_("Swipe the marked finger across the sensor, as you would to log in: evenly "
                      "and at a steady speed, over the middle of the sensor.")},
    CatalogueEntry{kTextTestRecognized,
                   N_("The sensor recognized the finger you tested: its enrolled fingerprint "
                      "works.")},
    CatalogueEntry{kTextTestNotRecognized,
                   N_("The fingerprint read does not match the one enrolled for the finger you "
                      "tested. Try again, pressing the whole fingertip flat on the sensor. If it "
                      "keeps failing, delete the finger and enroll it again.")},
    CatalogueEntry{kTextTestTimeout,
                   N_("The test has ended because the sensor was not touched in time.\n\nTest the "
                      "finger again when you are ready to touch the sensor.")},
    CatalogueEntry{kTextTestFailurePrefix,
                   N_("The finger could not be tested because of an error.")},
    CatalogueEntry{
        kTextTestRetryTouch,
        N_("The sensor could not read the finger. Touch it again with the marked finger, "
           "flat and firmly in the middle of the sensor.")},
    CatalogueEntry{kTextTestRetrySwipe,
                   N_("The sensor could not read the finger. Swipe the marked finger across it "
                      "again, evenly and at a steady speed.")},
    CatalogueEntry{kTextTestNotCentered,
                   N_("The finger was not in the middle of the sensor. Touch it again with the "
                      "marked finger, centred on the sensor.")},
    CatalogueEntry{kTextTestSwipeTooShort,
                   N_("The swipe was too short. Swipe the marked finger again, from its first "
                      "joint to its tip, across the whole sensor.")},
    CatalogueEntry{kTextTestLiftAndTouch,
                   N_("Lift the finger off the sensor, then touch the sensor again with the marked "
                      "finger and hold it still until the result is shown.")},
    CatalogueEntry{kTextTestSwipeTooFast,
                   N_("The swipe was too fast. Swipe the marked finger across the sensor again, "
                      "more slowly.")},
    CatalogueEntry{kTextTestMenuItem, N_("&Test This Finger")},
    CatalogueEntry{kTextDeleteMenuItem, N_("&Delete This Finger...")},
    CatalogueEntry{kTitleEnrollmentStopped, N_("Enrollment Stopped")},
    CatalogueEntry{kTextStoppedScreenLocked,
                   N_("The enrollment stopped because the screen was locked, so that the lock "
                      "screen can use the fingerprint reader. Nothing was saved. Select a finger "
                      "to start again.")},
    CatalogueEntry{kTextStoppedGoingToSleep,
                   N_("The enrollment stopped because the computer went to sleep. Nothing was "
                      "saved. Select a finger to start again.")},
    CatalogueEntry{kTitleTestStopped, N_("Test Stopped")},
    CatalogueEntry{kTextTestStoppedScreenLocked,
                   N_("The test stopped because the screen was locked, so that the lock screen can "
                      "use the fingerprint reader. Test the finger again when you are back.")},
    CatalogueEntry{kTextTestStoppedGoingToSleep,
                   N_("The test stopped because the computer went to sleep. Test the finger again "
                      "when you are back.")},
};

constexpr bool IsSortedById() {
    for (std::size_t i = 1; i < kCatalogue.size(); ++i) {
        if (kCatalogue[i - 1].id >= kCatalogue[i].id) {
            return false;
        }
    }
    return true;
}
static_assert(IsSortedById(), "the catalogue must stay sorted and without duplicate ids");

}  // namespace

std::u16string LoadCatalogueText(TextId id) {
    const auto found = std::lower_bound(
        kCatalogue.begin(), kCatalogue.end(), id,
        [](const CatalogueEntry& entry, TextId wanted) { return entry.id < wanted; });
    if (found == kCatalogue.end() || found->id != id) {
        return {};
    }
    return FromUtf8(Translate(found->text));
}
