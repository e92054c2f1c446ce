// The sentence on fingerprint login after an enrollment: when it is added, and when it is not.
#include <gtest/gtest.h>

#include "FakeWorkflowDisplay.h"
#include "WorkflowFixture.h"

namespace {

class CountingProbe : public LoginUseProbe {
public:
    explicit CountingProbe(bool uses) : m_uses(uses) {}
    bool LoginUsesFingerprint() override {
        ++asked;
        return m_uses;
    }
    int asked = 0;

private:
    bool m_uses;
};

std::string Status(TextId textId, const std::u16string& text = {}) {
    return "status 903 " + std::to_string(textId) + " '" + Narrow(text) + "' 0 0";
}

}  // namespace

TEST(LoginAdvice, AfterASuccess) {
    const std::u16string advice = u" " + LoadCatalogueText(kTextFingerprintLoginOff);
    const struct {
        const char* name;
        int probe;  // -1 none, 0 login without the fingerprint, 1 with it
        std::size_t enrolledInService;
        std::string shown;
    } rows[] = {
        {"login without the fingerprint", 0, 3,
         Status(0, LoadCatalogueText(kTextEnrollmentSuccess) + advice)},
        {"the tenth finger, login without the fingerprint", 0, 10,
         Status(0, LoadCatalogueText(kTextCompletedAll) + advice)},
        {"login with the fingerprint", 1, 3, Status(kTextEnrollmentSuccess)},
        {"nobody to ask", -1, 3, Status(kTextEnrollmentSuccess)},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ScopedFakeBackend backend;
        backend->enrollments = SubFactorsUpTo(row.enrolledInService);
        EnrollmentContext context;
        context.sessionHandle = kTestSession;
        context.unitId = kTestUnit;
        context.enrolledSet = EnrolledSetOf(row.enrolledInService - 1);
        context.selectedFinger = static_cast<int>(row.enrolledInService);
        FakeWorkflowDisplay display;
        EnrollmentWorkflow workflow(context, display);
        CountingProbe probe(row.probe == 1);
        if (row.probe >= 0) {
            workflow.SetLoginUseProbe(&probe);
        }
        workflow.RunEnrollmentEvent(kEventReady);
        EXPECT_EQ(probe.asked, 0) << "asked before anything was enrolled";
        workflow.RunEnrollmentEvent(kEventCommit);
        ASSERT_FALSE(display.Log().empty());
        EXPECT_EQ(display.Log().back(), row.shown);
        EXPECT_EQ(probe.asked, row.probe >= 0 ? 1 : 0);
    }
}

// A failed commit is no success: no advice, and nothing asked.
TEST_F(WorkflowFixture, FailedCommitAsksNothingAboutLogin) {
    CountingProbe probe(false);
    workflow->SetLoginUseProbe(&probe);
    context.selectedFinger = 2;
    backend->results["commit"] = kDatabaseFull;
    workflow->RunEnrollmentEvent(kEventCommit);
    EXPECT_EQ(probe.asked, 0);
}
