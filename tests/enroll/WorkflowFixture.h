// A workflow on a fake service and a recording display, with helpers to drive an enrollment.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "EnrolledSet.h"
#include "EnrollmentWorkflow.h"
#include "FakeBackend.h"
#include "FakeWorkflowDisplay.h"

constexpr SessionHandle kTestSession = 7;
constexpr UnitId kTestUnit = 1;

inline std::vector<SubFactor> SubFactorsUpTo(std::size_t fingers) {
    std::vector<SubFactor> subFactors;
    for (std::size_t finger = 1; finger <= fingers; ++finger) {
        subFactors.push_back(static_cast<SubFactor>(finger));
    }
    return subFactors;
}

inline std::u16string EnrolledSetOf(std::size_t fingers) {
    return MakeEnrolledSet(SubFactorsUpTo(fingers));
}

class WorkflowFixture : public ::testing::Test {
protected:
    void SetUp() override {
        context.sessionHandle = kTestSession;
        context.unitId = kTestUnit;
        workflow = std::make_unique<EnrollmentWorkflow>(context, display);
    }

    void TearDown() override {
        // The service answers every outstanding capture, even after the window is gone.
        workflow.reset();
        if (backend->HasPendingCapture()) {
            backend->DeliverCapture(kCanceled);
        }
        if (backend->HasPendingVerification()) {
            backend->DeliverVerification(kCanceled);
        }
    }

    void Begin(int finger = 2) {
        context.selectedFinger = finger;
        workflow->RunEnrollmentEvent(kEventBegin);
    }

    // Delivers the outstanding capture's result; returns the timer it armed (0: none).
    unsigned Deliver(StatusCode status, RejectDetail detail = 0) {
        EXPECT_TRUE(backend->HasPendingCapture()) << "no capture to answer";
        backend->DeliverCapture(status, detail);
        return display.TakeArmedTimer().value_or(0);
    }

    // A capture result followed by its timer's tick; returns the timer that ticked.
    unsigned Step(StatusCode status, RejectDetail detail = 0) {
        const unsigned timer = Deliver(status, detail);
        if (timer != 0) {
            workflow->HandleTimer(timer);
        }
        return timer;
    }

    void ClearRecords() {
        display.ClearLog();
        backend->ClearCalls();
    }

    ScopedFakeBackend backend;
    EnrollmentContext context;
    FakeWorkflowDisplay display;
    std::unique_ptr<EnrollmentWorkflow> workflow;
};
