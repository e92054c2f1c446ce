// A click on a fingertip: enroll a bare finger, or delete an enrolled one after the question.
#include <gmock/gmock.h>

#include <functional>

#include "FakeWindowHost.h"
#include "StatusMessage.h"
#include "WorkflowFixture.h"

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

namespace {

constexpr StatusCode kDeleteFails = kDatabaseNoSuchRecord;
const std::vector<std::string> kBeginDisplay = {"redraw", "progress 0", "status 901 1002 '' 0 0",
                                                "progress 0", "abort on"};
const std::vector<std::string> kReadyDisplay = {"redraw", "progress 0", "status 900 1000 '' 0 0"};

struct ClickRow {
    const char* name;
    std::vector<SubFactor> enrolled;
    SubFactor finger;
    int attemptUnderWay = 0;  // the finger already selected, 0 for none
    bool answerYes = true;
    StatusCode deleteResult = kOk;
    std::vector<SubFactor> listedAfterDeletion = {};
    // Expected:
    bool asked = false;
    bool failureShown = false;
    std::vector<std::string> calls = {};
    std::vector<std::string> display = {};
    int selectedAfter = 0;
    std::u16string enrolledAfter = {};
};

void PrintTo(const ClickRow& row, std::ostream* out) {
    *out << row.name;
}

const std::vector<ClickRow>& ClickRows() {
    static const std::vector<ClickRow> rows = {
        {.name = "BareFingerBeginsWithoutAQuestion",
         .enrolled = {5},
         .finger = 4,
         .answerYes = false,
         .calls = {"begin 7 4 1", "capture 7"},
         .display = kBeginDisplay,
         .selectedAfter = 4,
         .enrolledAfter = u"5"},
        {.name = "BareFingerDuringAnAttempt",
         .enrolled = {5},
         .finger = 4,
         .attemptUnderWay = 2,
         .selectedAfter = 2,
         .enrolledAfter = u"5"},
        {.name = "EnrolledFingerDuringAnAttempt",
         .enrolled = {5},
         .finger = 5,
         .attemptUnderWay = 2,
         .selectedAfter = 2,
         .enrolledAfter = u"5"},
        {.name = "EnrolledFingerAnsweredNo",
         .enrolled = {5, 8},
         .finger = 5,
         .answerYes = false,
         .asked = true,
         .enrolledAfter = u"58"},
        {.name = "EnrolledFingerDeleted",
         .enrolled = {5, 8},
         .finger = 5,
         .listedAfterDeletion = {8},
         .asked = true,
         .calls = {"delete 7 1 5", "enum 7 1", "free"},
         .display = kReadyDisplay,
         .enrolledAfter = u"8"},
        {.name = "TenthFingerDeletedLeavesFullyEnrolled",
         .enrolled = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10},
         .finger = 10,
         .listedAfterDeletion = {1, 2, 3, 4, 5, 6, 7, 8, 9},
         .asked = true,
         .calls = {"delete 7 1 10", "enum 7 1", "free"},
         .display = kReadyDisplay,
         .enrolledAfter = u"123456789"},
        {.name = "DeletionFailsAndTheFingerStays",
         .enrolled = {5},
         .finger = 5,
         .deleteResult = kDeleteFails,
         .listedAfterDeletion = {5},
         .asked = true,
         .failureShown = true,
         .calls = {"delete 7 1 5", "enum 7 1", "free"},
         .display = {"redraw"},
         .enrolledAfter = u"5"},
        // Another program removed it since the last listing: the mark goes, and the panel
        // is set anew since "Fully Enrolled" may be untrue now.
        {.name = "DeletionFailsForAFingerGoneElsewhere",
         .enrolled = {5, 8},
         .finger = 5,
         .deleteResult = kDeleteFails,
         .listedAfterDeletion = {8},
         .asked = true,
         .failureShown = true,
         .calls = {"delete 7 1 5", "enum 7 1", "free"},
         .display = kReadyDisplay,
         .enrolledAfter = u"8"},
        {.name = "DeletionWithAPositiveResultIsNoSuccess",
         .enrolled = {5},
         .finger = 5,
         .deleteResult = 1,
         .listedAfterDeletion = {5},
         .asked = true,
         .calls = {"delete 7 1 5", "enum 7 1", "free"},
         .display = {"redraw"},
         .enrolledAfter = u"5"},
        {.name = "NoFingerDoesNothing", .enrolled = {5}, .finger = 0, .enrolledAfter = u"5"},
        {.name = "NoSuchFingerDoesNothing", .enrolled = {5}, .finger = 11, .enrolledAfter = u"5"},
    };
    return rows;
}

class FingerClickTest : public WorkflowFixture, public ::testing::WithParamInterface<ClickRow> {
protected:
    FakeWindowHost host;
};

TEST_P(FingerClickTest, ActsAsTheFingerAndTheAnswersSay) {
    const ClickRow& row = GetParam();
    context.enrolledSet = MakeEnrolledSet(row.enrolled);
    context.selectedFinger = row.attemptUnderWay;
    host.answerYes = row.answerYes;
    backend->results["delete"] = row.deleteResult;
    backend->enrollments = row.listedAfterDeletion;

    workflow->ActOnFinger(row.finger, host);

    EXPECT_EQ(host.questions.size(), row.asked ? 1u : 0u);
    if (row.asked) {
        EXPECT_EQ(host.questions[0], LoadCatalogueText(kTextDeleteQuestion));
    }
    if (row.failureShown) {
        ASSERT_EQ(host.messageBoxes.size(), 1u);
        EXPECT_EQ(host.messageBoxes[0].text,
                  LoadCatalogueText(kTextDeleteFailed) + u"\nError code = 0x8009801b");
        EXPECT_EQ(host.messageBoxes[0].icon, MessageBoxIcon::kNone);
    } else {
        EXPECT_THAT(host.messageBoxes, IsEmpty());
    }
    EXPECT_THAT(backend->Calls(), ElementsAreArray(row.calls));
    EXPECT_THAT(display.Log(), ElementsAreArray(row.display));
    EXPECT_EQ(context.selectedFinger, row.selectedAfter);
    EXPECT_EQ(context.enrolledSet, row.enrolledAfter);
    EXPECT_EQ(workflow->FingerActionUnderWay(), FingerAction::kNone);
}

INSTANTIATE_TEST_SUITE_P(Clicks, FingerClickTest, ::testing::ValuesIn(ClickRows()),
                         [](const auto& rowInfo) { return std::string(rowInfo.param.name); });

TEST_F(WorkflowFixture, AnAttemptIsUnderWayFromTheClickUntilItEnds) {
    FakeWindowHost host;
    EXPECT_FALSE(workflow->AttemptUnderWay());
    EXPECT_TRUE(workflow->CanActOnFinger());
    workflow->ActOnFinger(3, host);
    EXPECT_TRUE(workflow->AttemptUnderWay());
    EXPECT_FALSE(workflow->CanActOnFinger());
    workflow->AbortEnrollment();
    ASSERT_EQ(Step(kCanceled), kEventAborted);
    EXPECT_FALSE(workflow->AttemptUnderWay());
    EXPECT_TRUE(workflow->CanActOnFinger());
}

// The question and the back end's deletion may run local event loops, in which further clicks,
// keys and accessibility actions arrive; and the window may close from inside them.
class HeldDeletionBackend : public FakeBackend {
public:
    std::function<void()> whileDeleting;

    StatusCode DeleteTemplate(SessionHandle session, UnitId unit, const WINBIO_IDENTITY& identity,
                              SubFactor subFactor) override {
        const StatusCode status = FakeBackend::DeleteTemplate(session, unit, identity, subFactor);
        if (whileDeleting) {
            whileDeleting();
        }
        return m_cancelled ? kCanceled : status;
    }
    StatusCode Cancel(SessionHandle session) override {
        m_cancelled = true;
        return FakeBackend::Cancel(session);
    }

private:
    bool m_cancelled = false;
};

class QuestionHost : public FakeWindowHost {
public:
    std::function<void()> whileAsking;

    bool AskYesNo(const std::u16string& text) override {
        const bool answer = FakeWindowHost::AskYesNo(text);
        if (whileAsking) {
            whileAsking();
        }
        return answer;
    }
};

class NestedClickTest : public ::testing::Test {
protected:
    void SetUp() override {
        InstallBiometricBackend(backend);
        context.sessionHandle = kTestSession;
        context.unitId = kTestUnit;
        context.enrolledSet = MakeEnrolledSet({5, 8});
        backend->enrollments = {8};
    }
    void TearDown() override {
        workflow.reset();
        InstallBiometricBackend(nullptr);
    }

    // Every way back into the workflow that the window has: a bare and an enrolled finger.
    void ClickAgain() {
        workflow->ActOnFinger(4, host);
        workflow->ActOnFinger(8, host);
    }

    std::shared_ptr<HeldDeletionBackend> backend = std::make_shared<HeldDeletionBackend>();
    EnrollmentContext context;
    FakeWorkflowDisplay display;
    QuestionHost host;
    std::unique_ptr<EnrollmentWorkflow> workflow =
        std::make_unique<EnrollmentWorkflow>(context, display);
};

TEST_F(NestedClickTest, ClicksDuringTheQuestionOrTheDeletionAreRefused) {
    std::vector<FingerAction> seen;
    host.whileAsking = [&] {
        seen.push_back(workflow->FingerActionUnderWay());
        EXPECT_FALSE(workflow->CanActOnFinger());
        ClickAgain();
    };
    backend->whileDeleting = [&] {
        seen.push_back(workflow->FingerActionUnderWay());
        EXPECT_FALSE(workflow->CanActOnFinger());
        ClickAgain();
    };
    workflow->ActOnFinger(5, host);

    EXPECT_THAT(seen, ElementsAre(FingerAction::kAskingToDelete, FingerAction::kDeleting));
    EXPECT_EQ(host.questions.size(), 1u);
    EXPECT_THAT(backend->Calls(), ElementsAre("delete 7 1 5", "enum 7 1", "free"));
    EXPECT_EQ(context.selectedFinger, 0);
    EXPECT_EQ(context.enrolledSet, u"8");
    EXPECT_TRUE(workflow->CanActOnFinger());
}

TEST_F(NestedClickTest, ClosingDuringTheDeletionCancelsItAndShowsNothingMore) {
    backend->results["delete"] = kDeleteFails;  // as the cancel makes it end
    backend->whileDeleting = [&] { workflow->CancelFingerActionForClose(); };
    workflow->ActOnFinger(5, host);

    EXPECT_THAT(backend->Calls(), ElementsAre("delete 7 1 5", "cancel 7"));
    EXPECT_THAT(host.messageBoxes, IsEmpty());
    EXPECT_THAT(display.Log(), IsEmpty());
    EXPECT_EQ(context.enrolledSet, u"58");
    EXPECT_EQ(workflow->FingerActionUnderWay(), FingerAction::kNone);
}

TEST_F(NestedClickTest, ClosingDuringTheQuestionDeletesNothing) {
    host.whileAsking = [&] { workflow->CancelFingerActionForClose(); };
    workflow->ActOnFinger(5, host);  // answered Yes, as a box closed in passing could be

    EXPECT_THAT(backend->Calls(), IsEmpty());
    EXPECT_THAT(display.Log(), IsEmpty());
    EXPECT_EQ(workflow->FingerActionUnderWay(), FingerAction::kNone);
}

TEST_F(NestedClickTest, ClosingWithNothingUnderWayCancelsNothing) {
    workflow->CancelFingerActionForClose();
    EXPECT_THAT(backend->Calls(), IsEmpty());
    EXPECT_TRUE(workflow->CanActOnFinger());
}

}  // namespace
