// Every service operation against every kind of outcome, as the window and its store show it.
#include <gtest/gtest.h>

#include <chrono>
#include <iostream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "MessageBoxAnswerer.h"
#include "ScopedSimulatedService.h"
#include "StatusMessage.h"
#include "StoredFingers.h"
#include "WindowDriver.h"

namespace {

constexpr StatusCode kUnknownCode = kInvalidArgument;  // no text of its own
constexpr int kEnrolledAtStart = 5;
constexpr int kFingerToEnroll = 2;
constexpr int kFingerAfterwards = 7;
const std::string kThreeAcceptedThenReady = "more,more,more,ok";
// Long enough that the capture is still pending when the test presses Abort.
const std::string kHangs = "more@600000";

enum class Action {
    kStart,           // only start the window
    kEnroll,          // click a bare finger and let the attempt run to its end
    kEnrollAndAbort,  // click a bare finger, wait for the pending capture, press Abort
    kDelete,          // click the green finger and answer Yes
};

struct Expected {
    bool starts = true;
    std::vector<QString> boxes;  // texts of the message boxes, in order
    TextId title = kTitleSelectFinger;
    TextId text = kTextSelectFinger;  // 0: the status message for code
    StatusCode code = kOk;
    Colorref colour = kColorBlack;
    bool abortEnabled = false;
    int selected = 0;
    int progress = 0;
    std::u16string enrolled = u"5";
    std::u16string stored = u"missing";  // nothing was written
    // A second enrollment afterwards still works (the injected fault is not permanent).
    bool recovers = false;
    // False where the injected listing hides what the store holds.
    bool listingShowsStore = true;
};

struct Case {
    const char* name;
    std::string fail;    // VARNE_SIM_FAIL
    std::string script;  // VARNE_SIM_SCRIPT
    Action action;
    TextId pendingTitle;  // the title showing while the capture to abort is pending
    Expected expected;
};

QString TextWithCode(TextId id, StatusCode code) {
    return QString::fromStdU16String(LoadCatalogueText(id) + FormatErrorCodeLine(code));
}

std::string Repeated(const std::string& item, int times) {
    std::string script;
    for (int i = 0; i < times; ++i) {
        script += (i == 0 ? "" : ",") + item;
    }
    return script;
}

Expected StartFails(std::vector<QString> boxes) {
    Expected expected;
    expected.starts = false;
    expected.boxes = std::move(boxes);
    return expected;
}

Expected Ready(std::u16string enrolled = u"5", bool recovers = true) {
    Expected expected;
    expected.enrolled = std::move(enrolled);
    expected.recovers = recovers;
    return expected;
}

// The listing answers "none", whatever the store holds.
Expected NothingListed() {
    Expected expected = Ready(u"", false);
    expected.listingShowsStore = false;
    return expected;
}

Expected EnrollmentError(StatusCode code, bool recovers = false) {
    Expected expected;
    expected.title = kTitleEnrollmentError;
    expected.text = 0;
    expected.code = code;
    expected.colour = kColorError;
    expected.recovers = recovers;
    return expected;
}

Expected Enrolled() {
    Expected expected;
    expected.title = kTitleEnrollmentSuccess;
    expected.text = kTextEnrollmentSuccess;
    expected.progress = kProgressMaximum;
    expected.enrolled = u"52";
    expected.stored = u"52";
    expected.recovers = true;
    return expected;
}

Expected TimedOut() {
    Expected expected;
    expected.title = kTitleTimeout;
    expected.text = kTextTimeout;
    expected.recovers = true;
    return expected;
}

Expected CommitRefused(StatusCode code) {
    Expected expected = EnrollmentError(code);
    if (code == kDuplicateEnrollment) {
        expected.text = kTextDuplicateEnrollment;  // alone, without prefix and code line
    }
    return expected;
}

Expected DeleteFailed(StatusCode code) {
    Expected expected = Ready();
    expected.boxes = {WindowDriver::Text(kTextDeleteQuestion),
                      TextWithCode(kTextDeleteFailed, code)};
    return expected;
}

Expected Deleted() {
    Expected expected = Ready(u"");
    expected.boxes = {WindowDriver::Text(kTextDeleteQuestion)};
    expected.stored = u"";
    return expected;
}

std::vector<Case> Cases() {
    return {
        // Opening the session, listing the units and the enrolled fingers at start-up.
        {"open fails", "open=0x80098036", "", Action::kStart, 0,
         StartFails({WindowDriver::Text(kTextSessionOpenFailed)})},
        {"open fails, unknown code", "open=0x80004005", "", Action::kStart, 0,
         StartFails({WindowDriver::Text(kTextSessionOpenFailed)})},
        {"units fail", "units=0x80098036", "", Action::kStart, 0,
         StartFails({TextWithCode(kTextUnitsFailed, kDeviceFailure)})},
        {"units fail, unknown code", "units=0x80070057", "", Action::kStart, 0,
         StartFails({TextWithCode(kTextUnitsFailed, kUnknownCode)})},
        {"handing the unit list back fails", "free=0x80098036", "", Action::kStart, 0,
         StartFails({TextWithCode(kTextUnitsFailed, kDeviceFailure)})},
        {"closing the session fails too", "units=0x80098036,close=0x80098036", "", Action::kStart,
         0, StartFails({TextWithCode(kTextUnitsFailed, kDeviceFailure)})},
        {"enrolled fingers fail", "enum=0x8009801d", "", Action::kStart, 0,
         StartFails({TextWithCode(kTextDatabaseReadFailed, kDatabaseReadError)})},
        {"enrolled fingers fail, unknown code", "enum=0x80070057", "", Action::kStart, 0,
         StartFails({TextWithCode(kTextDatabaseReadFailed, kUnknownCode)})},
        // Answers that mean "none enrolled": the window runs with no marks.
        {"no enrolled fingers (no results)", "enum=0x8009801f", "", Action::kStart, 0,
         NothingListed()},
        {"no enrolled fingers (unknown identity)", "enum=0x80098003", "", Action::kStart, 0,
         NothingListed()},
        {"locating fails, never asked", "locate=0x80098036", kThreeAcceptedThenReady,
         Action::kStart, 0, Ready()},

        // Beginning the enrollment and asking for captures.
        {"enrollment succeeds", "", kThreeAcceptedThenReady + "," + kThreeAcceptedThenReady,
         Action::kEnroll, 0, Enrolled()},
        {"begin fails", "begin=0x80098036", "", Action::kEnroll, 0,
         EnrollmentError(kDeviceFailure)},
        {"begin fails, unknown code", "begin=0x80070057", "", Action::kEnroll, 0,
         EnrollmentError(kUnknownCode)},
        {"begin fails, enrollment in progress", "begin=0x80098007", "", Action::kEnroll, 0,
         EnrollmentError(kEnrollmentInProgress)},
        {"capture refused", "capture=0x8009800b", "", Action::kEnroll, 0,
         EnrollmentError(kDataCollectionInProgress)},
        {"capture refused, unknown code", "capture=0x80004005", "", Action::kEnroll, 0,
         EnrollmentError(kUnspecifiedFailure)},

        // Capture results.
        {"capture ends in device failure", "", "0x80098036," + kThreeAcceptedThenReady,
         Action::kEnroll, 0, EnrollmentError(kDeviceFailure, true)},
        {"capture ends in an unknown code", "", "more,0x80070057," + kThreeAcceptedThenReady,
         Action::kEnroll, 0, EnrollmentError(kUnknownCode, true)},
        {"capture cancelled by someone else", "", "more,0x80098004," + kThreeAcceptedThenReady,
         Action::kEnroll, 0, EnrollmentError(kCanceled, true)},
        {"capture answers a positive code", "", "0x00000005," + kThreeAcceptedThenReady,
         Action::kEnroll, 0, TimedOut()},
        {"positive code after an accepted capture", "",
         "more,0x7fffffff," + kThreeAcceptedThenReady, Action::kEnroll, 0, TimedOut()},
        {"bad captures of every kind, then ready", "",
         "poor,fast,merge,reject:3,reject:4294967295," + kThreeAcceptedThenReady + "," +
             kThreeAcceptedThenReady,
         Action::kEnroll, 0, Enrolled()},
        {"41 captures too fast", "", Repeated("fast", 41) + "," + kThreeAcceptedThenReady,
         Action::kEnroll, 0, TimedOut()},
        {"41 captures that do not merge", "", Repeated("merge", 41) + "," + kThreeAcceptedThenReady,
         Action::kEnroll, 0, TimedOut()},

        // Storing the finished enrollment.
        {"commit refused as a duplicate", "commit=0x8009802b", kThreeAcceptedThenReady,
         Action::kEnroll, 0, CommitRefused(kDuplicateEnrollment)},
        {"commit fails", "commit=0x80098036", kThreeAcceptedThenReady, Action::kEnroll, 0,
         CommitRefused(kDeviceFailure)},
        {"commit fails, unknown code", "commit=0x80070057", kThreeAcceptedThenReady,
         Action::kEnroll, 0, CommitRefused(kUnknownCode)},
        {"commit cannot write", "commit=0x8009801e", kThreeAcceptedThenReady, Action::kEnroll, 0,
         CommitRefused(kDatabaseWriteError)},
        // The open enrollment is left behind; what the next begin says is the service's.
        {"discarding fails", "discard=0x80098036", "0x80098036", Action::kEnroll, 0,
         EnrollmentError(kDeviceFailure)},

        // A capture nobody answers, ended by Abort.
        {"first capture hangs until Abort", "", kHangs + "," + kThreeAcceptedThenReady,
         Action::kEnrollAndAbort, kTitlePlaceFinger, Ready()},
        {"later capture hangs until Abort", "", "more," + kHangs + "," + kThreeAcceptedThenReady,
         Action::kEnrollAndAbort, kTitleReleaseFinger, Ready()},

        // Deleting the green finger.
        {"delete succeeds", "", kThreeAcceptedThenReady, Action::kDelete, 0, Deleted()},
        {"delete finds no record", "delete=0x8009801b", kThreeAcceptedThenReady, Action::kDelete, 0,
         DeleteFailed(kDatabaseNoSuchRecord)},
        {"delete fails, unknown code", "delete=0x80070057", kThreeAcceptedThenReady,
         Action::kDelete, 0, DeleteFailed(kUnknownCode)},
        {"delete cannot write", "delete=0x8009801e", kThreeAcceptedThenReady, Action::kDelete, 0,
         DeleteFailed(kDatabaseWriteError)},
    };
}

void RunAction(WindowDriver& window, const Case& row) {
    switch (row.action) {
        case Action::kStart:
            break;
        case Action::kEnroll:
            window.ClickFinger(kFingerToEnroll);
            EXPECT_TRUE(window.WaitUntilIdle());
            break;
        case Action::kEnrollAndAbort:
            window.ClickFinger(kFingerToEnroll);
            // The title of a pending capture shows once its event ran and asked for it.
            ASSERT_TRUE(window.WaitForTitle(row.pendingTitle));
            EXPECT_TRUE(window.AbortButton().isEnabled());
            window.ClickAbort();
            EXPECT_TRUE(window.WaitUntilIdle());
            break;
        case Action::kDelete:
            window.ClickFinger(kEnrolledAtStart);
            break;
    }
}

void CheckWindow(WindowDriver& window, const Expected& expected) {
    const QString instruction =
        expected.text != 0 ? WindowDriver::Text(expected.text)
                           : QString::fromStdU16String(ComposeStatusMessage(expected.code));
    EXPECT_EQ(window.TitleLabel().text().toStdString(),
              WindowDriver::Text(expected.title).toStdString());
    EXPECT_EQ(window.InstructionLabel().text().toStdString(), instruction.toStdString());
    EXPECT_EQ(window.TitleLabel().LabelColor(), expected.colour);
    EXPECT_EQ(window.InstructionLabel().LabelColor(), expected.colour);
    EXPECT_EQ(window.AbortButton().isEnabled(), expected.abortEnabled);
    EXPECT_EQ(window.Context().selectedFinger, expected.selected);
    EXPECT_EQ(window.ProgressBar().value(), expected.progress);
    EXPECT_EQ(window.Context().enrolledSet, expected.enrolled);
    // The user can always leave, and nothing hidden ever shows.
    EXPECT_TRUE(window.CloseButton().isVisible() && window.CloseButton().isEnabled());
    EXPECT_FALSE(window.SearchDeviceButton().isVisible());
    EXPECT_FALSE(window.Child<QLineEdit>("captureCounter").isVisible());
}

// The map shows what the store holds (the seed stands in while no file was written).
void CheckStoreMatchesWindow(WindowDriver& window, const TemporaryDirectory& store) {
    const std::u16string stored = StoredFingers(store);
    EXPECT_EQ(stored == u"missing" ? u"5" : stored, window.Context().enrolledSet);
    EXPECT_TRUE(StoreStrays(store).empty()) << StoreStrays(store).front();
}

std::string Narrow(const std::u16string& text) {
    return QString::fromStdU16String(text).toStdString();
}

}  // namespace

TEST(FaultMatrix, EveryOperationAndOutcomeLeavesAUsableWindowAndAnIntactStore) {
    const std::vector<Case> cases = Cases();
    std::cout << "fault matrix: " << cases.size() << " cases" << std::endl;
    for (const Case& row : cases) {
        SCOPED_TRACE(row.name);
        const Expected& expected = row.expected;
        TemporaryDirectory store;
        SimulatedConfig::Variables variables = {
            {"VARNE_SIM_ENROLLED", std::to_string(kEnrolledAtStart)},
            {"VARNE_SIM_STORE", store.File(kStoreFileName)},
            {"VARNE_SIM_SCRIPT", row.script},
        };
        if (!row.fail.empty()) {
            variables["VARNE_SIM_FAIL"] = row.fail;
        }
        ScopedSimulatedService sensor(variables);
        ASSERT_TRUE(sensor.Installed());
        WindowDriver window;

        MessageBoxAnswerer answerer(QMessageBox::Yes);
        const bool started = window.Start();
        ASSERT_EQ(started, expected.starts);
        if (started) {
            RunAction(window, row);
        }
        std::vector<QString> boxes;
        for (const auto& seen : answerer.seen) {
            boxes.push_back(seen.text);
        }
        ASSERT_EQ(boxes.size(), expected.boxes.size());
        for (std::size_t i = 0; i < boxes.size(); ++i) {
            EXPECT_EQ(boxes[i].toStdString(), expected.boxes[i].toStdString());
        }
        EXPECT_EQ(Narrow(StoredFingers(store)), Narrow(expected.stored));
        if (!started) {
            EXPECT_TRUE(StoreStrays(store).empty());
            continue;
        }
        CheckWindow(window, expected);
        if (expected.listingShowsStore) {
            CheckStoreMatchesWindow(window, store);
        }

        if (expected.recovers) {
            window.ClickFinger(kFingerAfterwards);
            EXPECT_TRUE(window.WaitUntilIdle());
            EXPECT_EQ(window.TitleLabel().text().toStdString(),
                      WindowDriver::Text(kTitleEnrollmentSuccess).toStdString());
            EXPECT_NE(window.Context().enrolledSet.find(u'7'), std::u16string::npos);
            CheckStoreMatchesWindow(window, store);
        }
        QTest::mouseClick(&window.CloseButton(), Qt::LeftButton);
        EXPECT_FALSE(window.Dialog().isVisible());
    }
}

// A cancel the service refuses leaves the capture pending: Abort stays pressed, the finger
// stays selected, and the user's way out is closing the window, which must still work.
TEST(FaultMatrix, RefusedCancelLeavesTheWindowClosableAndTheStoreUntouched) {
    TemporaryDirectory store;
    ScopedSimulatedService sensor({{"VARNE_SIM_ENROLLED", "5"},
                                   {"VARNE_SIM_STORE", store.File(kStoreFileName)},
                                   {"VARNE_SIM_FAIL", "cancel=0x80098036"},
                                   {"VARNE_SIM_SCRIPT", kHangs}});
    ASSERT_TRUE(sensor.Installed());
    WindowDriver window;
    ASSERT_TRUE(window.Start());
    window.ClickFinger(kFingerToEnroll);
    ASSERT_TRUE(window.WaitForTitle(kTitlePlaceFinger));
    window.ClickAbort();
    QTest::qWait(50);
    EXPECT_FALSE(window.AbortButton().isEnabled());
    EXPECT_EQ(window.Context().selectedFinger, kFingerToEnroll);
    QTest::mouseClick(&window.CloseButton(), Qt::LeftButton);
    EXPECT_FALSE(window.Dialog().isVisible());
    EXPECT_EQ(Narrow(StoredFingers(store)), "missing");
}

// Abort pressed after a capture's result came but before its event ran still ends the attempt.
TEST(FaultMatrix, AbortBetweenAResultAndItsEventEndsTheAttempt) {
    TemporaryDirectory store;
    ScopedSimulatedService sensor({{"VARNE_SIM_ENROLLED", "5"},
                                   {"VARNE_SIM_STORE", store.File(kStoreFileName)},
                                   {"VARNE_SIM_SCRIPT", kThreeAcceptedThenReady}});
    ASSERT_TRUE(sensor.Installed());
    WindowDriver window;
    ASSERT_TRUE(window.Start());
    window.ClickFinger(kFingerToEnroll);
    // The result is counted before its event timer is posted; no events run meanwhile.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (window.Context().acceptedCaptureCount.load() == 0 &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::yield();
    }
    ASSERT_EQ(window.Context().acceptedCaptureCount.load(), 1);
    window.AbortButton().click();
    ASSERT_TRUE(window.WaitUntilIdle());
    EXPECT_EQ(window.TitleLabel().text().toStdString(),
              WindowDriver::Text(kTitleSelectFinger).toStdString());
    EXPECT_EQ(window.InstructionLabel().text().toStdString(),
              WindowDriver::Text(kTextSelectFinger).toStdString());
    EXPECT_FALSE(window.AbortButton().isEnabled());
    EXPECT_EQ(window.Context().enrolledSet, u"5");
    EXPECT_EQ(Narrow(StoredFingers(store)), "missing");
}

// A discard the service refuses leaves its enrollment open; the next attempt then fails with
// the service's own reason, shown plainly, instead of hanging.
TEST(FaultMatrix, RefusedDiscardMakesTheNextAttemptSayWhy) {
    TemporaryDirectory store;
    ScopedSimulatedService sensor({{"VARNE_SIM_ENROLLED", "5"},
                                   {"VARNE_SIM_STORE", store.File(kStoreFileName)},
                                   {"VARNE_SIM_FAIL", "discard=0x80098036"},
                                   {"VARNE_SIM_SCRIPT", "0x80098036," + kHangs}});
    ASSERT_TRUE(sensor.Installed());
    WindowDriver window;
    ASSERT_TRUE(window.Start());
    window.ClickFinger(kFingerToEnroll);
    ASSERT_TRUE(window.WaitUntilIdle());
    window.ClickFinger(kFingerAfterwards);
    ASSERT_TRUE(window.WaitUntilIdle());
    CheckWindow(window, EnrollmentError(kEnrollmentInProgress));
    EXPECT_EQ(Narrow(StoredFingers(store)), "missing");
}
