// The program's string table: every text the user reads, keyed by number.
#include "MessageCatalogue.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace {

struct CatalogueEntry {
    TextId id;
    std::u16string_view text;
};

// Sorted by id so a lookup is a binary search.
constexpr std::array kCatalogue = {
    CatalogueEntry{kTextAboutMenuItem, u"&About Varne..."},
    CatalogueEntry{kTitleSelectFinger, u"Select Finger"},
    CatalogueEntry{kTitlePlaceFinger, u"Place Finger"},
    CatalogueEntry{kTitleReleaseFinger, u"Release Finger"},
    CatalogueEntry{kTitleEnrollmentSuccess, u"Enrollment Success"},
    CatalogueEntry{kTitleEnrollmentError, u"Enrollment Error"},
    CatalogueEntry{kTitleFullyEnrolled, u"Fully Enrolled"},
    CatalogueEntry{kTitleTimeout, u"Timeout"},
    CatalogueEntry{kTitleFingerError, u"Finger Error"},
    CatalogueEntry{kTitlePlaceFingerAgain, u"Place Finger Again"},
    CatalogueEntry{kTextDeleteQuestion,
                   u"Are you sure you want to delete the selected finger from enrollment?"},
    CatalogueEntry{kTextSelectFinger,
                   u"Select the finger you wish to enroll by clicking on the corresponding finger "
                   u"in the picture shown at the left. A green mark indicates that the finger is "
                   u"already enrolled. To delete an enrolled finger, click on the green mark."},
    CatalogueEntry{kTextPlaceFinger,
                   u"Place your finger on the sensor. We recommend you place your finger firmly "
                   u"and evenly in the middle of the sensor. Misplacing, moving, or pressing too "
                   u"hard or too lightly may cause an enrollment error."},
    CatalogueEntry{kTextReleaseFinger,
                   u"Lift your finger completely off the sensor and wait for the next "
                   u"instruction."},
    CatalogueEntry{kTextTimeout,
                   u"Enrollment has timed out because the sensor has received no appropriate "
                   u"action within the required time period.\n\nSelect the same finger to try "
                   u"again or select a different finger."},
    CatalogueEntry{kTextCompletedAll,
                   u"Enrollment is completed. To delete an enrolled finger, click on the green "
                   u"mark. To update or re-enroll a finger, first delete the finger, and then "
                   u"enroll again."},
    CatalogueEntry{kTextFailurePrefix,
                   u"Enrollment has failed due to an error during the enrollment process."},
    CatalogueEntry{kTextMismatch,
                   u"The fingerprint data currently captured does not match the other captured "
                   u"data in this enrollment. Place your finger on the sensor again, firmly and "
                   u"evenly in the middle of the sensor. Misplacing, moving, or pressing too hard "
                   u"or too lightly may cause an enrollment error."},
    CatalogueEntry{kTextEnrollmentSuccess,
                   u"Enrollment was successful. To enroll another finger, select the finger by "
                   u"clicking on the corresponding finger in the picture shown at the left. To "
                   u"delete an enrolled finger, click on the green mark. To update or re-enroll a "
                   u"finger, first delete the finger, and then enroll again."},
    CatalogueEntry{kTextAllEnrolled,
                   u"All fingers are currently enrolled. To delete an enrolled finger, click on "
                   u"the green mark. To update or re-enroll a finger, first delete the finger, "
                   u"and then enroll again."},
    CatalogueEntry{kTextSessionOpenFailed,
                   u"Failed to open WinBio session. The manager will be closed."},
    CatalogueEntry{kTextInvalidUnitId,
                   u"Since the specified unit ID is not valid, the manager cannot start."},
    CatalogueEntry{kTextDatabaseReadFailed,
                   u"Failed to retrieve data from database. The manager will be closed."},
    CatalogueEntry{kTextTemplateExists,
                   u"The specified template identity and sub factor already exist in the "
                   u"database."},
    CatalogueEntry{kTextDatabaseFull, u"The database is full and no further records can be added."},
    CatalogueEntry{kTextDatabaseLocked, u"The database is locked."},
    CatalogueEntry{kTextRecordAdditionFailed,
                   u"Record addition failed because of an unspecified problem."},
    CatalogueEntry{kTextCaptureTakenOver,
                   u"Another application has taken control of the capture device and enrollment "
                   u"has been stopped."},
    CatalogueEntry{kTextDuplicateEnrollment,
                   u"Enrollment has failed due to duplicate enrollments. The attempted enrollment "
                   u"was found to match another finger.\n\nSelect the same finger to try again or "
                   u"select a different finger."},
    CatalogueEntry{kTextCanceled,
                   u"The operation was canceled either by the caller, or an "
                   u"IOCTL_BIOMETRIC_RESET request."},
    CatalogueEntry{kTextNoMatch, u"No match found."},
    CatalogueEntry{kTextEnrollmentInProgress,
                   u"An enrollment operation is already in progress, and only one enrollment can "
                   u"occur at a given time."},
    CatalogueEntry{kTextCollectionPending, u"There is already a data collection IOCTL pending."},
    CatalogueEntry{kTextDeleteFailed, u"Failed to delete a template from the database."},
    CatalogueEntry{kTextUnitsFailed,
                   u"Failed to retrieve biometric units. The manager will be closed."},
    CatalogueEntry{kTextAccessDenied,
                   u"The system did not allow the change because the password was not given or "
                   u"was refused."},
    CatalogueEntry{kTextBlockedByPolicy,
                   u"The system's security policy does not allow this program to use the "
                   u"fingerprint reader. Ask your administrator to allow it."},
    CatalogueEntry{kTextSwipeFinger,
                   u"Swipe your finger across the sensor. We recommend you swipe it evenly and "
                   u"at a steady speed, over the middle of the sensor. Swiping too fast, too "
                   u"slowly or at an angle may cause an enrollment error."},
    CatalogueEntry{kTextSwipeDone,
                   u"Keep your finger off the sensor and wait for the next instruction before "
                   u"you swipe again."},
    CatalogueEntry{kTextSwipeMismatch,
                   u"The fingerprint data currently captured does not match the other captured "
                   u"data in this enrollment. Swipe your finger across the sensor again, evenly "
                   u"and at a steady speed, over the middle of the sensor. Swiping too fast, too "
                   u"slowly or at an angle may cause an enrollment error."},
    CatalogueEntry{kTextFingerprintLoginOff,
                   u"Fingerprint login is off: logging in and sudo still ask for your password. "
                   u"\"Fingerprint Login...\" in the window menu says how to turn it on."},
    CatalogueEntry{kTitleTestFinger, u"Test Finger"},
    CatalogueEntry{kTitleFingerRecognized, u"Finger Recognized"},
    CatalogueEntry{kTitleFingerNotRecognized, u"Finger Not Recognized"},
    CatalogueEntry{kTitleTestError, u"Test Failed"},
    CatalogueEntry{kTextTestTouch,
                   u"Touch the sensor with the marked finger, as you would to log in: flat, "
                   u"firmly and in the middle of the sensor."},
    CatalogueEntry{kTextTestSwipe,
                   u"Swipe the marked finger across the sensor, as you would to log in: evenly "
                   u"and at a steady speed, over the middle of the sensor."},
    CatalogueEntry{kTextTestRecognized,
                   u"The sensor recognized the finger you tested: its enrolled fingerprint "
                   u"works."},
    CatalogueEntry{kTextTestNotRecognized,
                   u"The fingerprint read does not match the one enrolled for the finger you "
                   u"tested. Try again, pressing the whole fingertip flat on the sensor. If it "
                   u"keeps failing, delete the finger and enroll it again."},
    CatalogueEntry{kTextTestTimeout,
                   u"The test has ended because the sensor was not touched in time.\n\nTest the "
                   u"finger again when you are ready to touch the sensor."},
    CatalogueEntry{kTextTestFailurePrefix, u"The finger could not be tested because of an error."},
    CatalogueEntry{kTextTestRetryTouch,
                   u"The sensor could not read the finger. Touch it again with the marked finger, "
                   u"flat and firmly in the middle of the sensor."},
    CatalogueEntry{kTextTestRetrySwipe,
                   u"The sensor could not read the finger. Swipe the marked finger across it "
                   u"again, evenly and at a steady speed."},
    CatalogueEntry{kTextTestNotCentered,
                   u"The finger was not in the middle of the sensor. Touch it again with the "
                   u"marked finger, centred on the sensor."},
    CatalogueEntry{kTextTestSwipeTooShort,
                   u"The swipe was too short. Swipe the marked finger again, from its first "
                   u"joint to its tip, across the whole sensor."},
    CatalogueEntry{kTextTestLiftAndTouch,
                   u"Lift the finger off the sensor, then touch the sensor again with the marked "
                   u"finger and hold it still until the result is shown."},
    CatalogueEntry{kTextTestSwipeTooFast,
                   u"The swipe was too fast. Swipe the marked finger across the sensor again, "
                   u"more slowly."},
    CatalogueEntry{kTextTestMenuItem, u"&Test This Finger"},
    CatalogueEntry{kTextDeleteMenuItem, u"&Delete This Finger..."},
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
    return std::u16string(found->text);
}
