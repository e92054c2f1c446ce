// The program's numbered texts; a number without a text yields an empty text.
#pragma once

#include <cstdint>
#include <string>

using TextId = std::uint32_t;

constexpr TextId kTextAboutMenuItem = 101;
constexpr TextId kTitleSelectFinger = 900;
constexpr TextId kTitlePlaceFinger = 901;
constexpr TextId kTitleReleaseFinger = 902;
constexpr TextId kTitleEnrollmentSuccess = 903;
constexpr TextId kTitleEnrollmentError = 904;
constexpr TextId kTitleFullyEnrolled = 905;
constexpr TextId kTitleTimeout = 906;
constexpr TextId kTitleFingerError = 907;
constexpr TextId kTitlePlaceFingerAgain = 908;
constexpr TextId kTextDeleteQuestion = 910;
constexpr TextId kTextSelectFinger = 1000;
constexpr TextId kTextPlaceFinger = 1002;
constexpr TextId kTextReleaseFinger = 1003;
constexpr TextId kTextTimeout = 1004;
constexpr TextId kTextCompletedAll = 1005;
constexpr TextId kTextFailurePrefix = 1006;
constexpr TextId kTextMismatch = 1007;
constexpr TextId kTextEnrollmentSuccess = 1011;
constexpr TextId kTextAllEnrolled = 1012;
constexpr TextId kTextSessionOpenFailed = 2001;
constexpr TextId kTextInvalidUnitId = 2002;
constexpr TextId kTextDatabaseReadFailed = 2003;
constexpr TextId kTextTemplateExists = 2004;
constexpr TextId kTextDatabaseFull = 2005;
constexpr TextId kTextDatabaseLocked = 2006;
constexpr TextId kTextRecordAdditionFailed = 2007;
constexpr TextId kTextCaptureTakenOver = 2008;
constexpr TextId kTextDuplicateEnrollment = 2009;
constexpr TextId kTextCanceled = 2010;
constexpr TextId kTextNoMatch = 2011;
constexpr TextId kTextEnrollmentInProgress = 2012;
constexpr TextId kTextCollectionPending = 2013;
constexpr TextId kTextDeleteFailed = 2014;
constexpr TextId kTextUnitsFailed = 2015;
// Our own texts: refusals the service's texts do not name, and instructions for swipe sensors
// beside the press sensor's 1002, 1003 and 1007.
constexpr TextId kTextAccessDenied = 3001;
constexpr TextId kTextBlockedByPolicy = 3002;
constexpr TextId kTextSwipeFinger = 3003;
constexpr TextId kTextSwipeDone = 3004;
constexpr TextId kTextSwipeMismatch = 3005;
// After an enrollment, when no PAM service loads the fingerprint module.
constexpr TextId kTextFingerprintLoginOff = 3040;
// Testing an enrolled finger: titles, then the texts for a press sensor and a swipe sensor.
constexpr TextId kTitleTestFinger = 3100;
constexpr TextId kTitleFingerRecognized = 3101;
constexpr TextId kTitleFingerNotRecognized = 3102;
constexpr TextId kTitleTestError = 3103;
constexpr TextId kTextTestTouch = 3110;
constexpr TextId kTextTestSwipe = 3111;
constexpr TextId kTextTestRecognized = 3112;
constexpr TextId kTextTestNotRecognized = 3113;
constexpr TextId kTextTestTimeout = 3114;
constexpr TextId kTextTestFailurePrefix = 3115;
constexpr TextId kTextTestRetryTouch = 3120;
constexpr TextId kTextTestRetrySwipe = 3121;
constexpr TextId kTextTestNotCentered = 3122;
constexpr TextId kTextTestSwipeTooShort = 3123;
constexpr TextId kTextTestLiftAndTouch = 3124;
constexpr TextId kTextTestSwipeTooFast = 3125;
// The menu of an enrolled fingertip.
constexpr TextId kTextTestMenuItem = 3130;
constexpr TextId kTextDeleteMenuItem = 3131;
// An enrollment or a test ended by the desktop: the screen locked or the computer went to sleep.
constexpr TextId kTitleEnrollmentStopped = 3201;
constexpr TextId kTextStoppedScreenLocked = 3202;
constexpr TextId kTextStoppedGoingToSleep = 3203;
constexpr TextId kTitleTestStopped = 3204;
constexpr TextId kTextTestStoppedScreenLocked = 3205;
constexpr TextId kTextTestStoppedGoingToSleep = 3206;

std::u16string LoadCatalogueText(TextId id);
