// Capture results delivered from another thread: racing the window, and after it is gone.
#include <gmock/gmock.h>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <optional>
#include <random>
#include <thread>

#include "WorkflowFixture.h"

using namespace std::chrono_literals;

namespace {

// Answers each capture on its own thread with a pseudo-random result; a cancel turns the
// captures still waiting into cancelled ones, as the real service does.
class ThreadedService : public FakeBackend {
public:
    enum class Answers { kRandom, kMoreDataAtOnce };

    explicit ThreadedService(unsigned seed, Answers answers = Answers::kRandom)
        : m_random(seed), m_answers(answers) {
        m_thread = std::thread([this] { Run(); });
    }
    ~ThreadedService() override { Stop(); }

    // Answers what is still waiting, then ends the thread.
    void Stop() {
        {
            std::lock_guard lock(m_queueMutex);
            m_stopping = true;
        }
        m_queueChanged.notify_all();
        if (m_thread.joinable()) {
            m_thread.join();
        }
    }

    StatusCode EnrollCapture(SessionHandle session, EnrollCaptureCallback callback,
                             void* context) override {
        const StatusCode status = FakeBackend::EnrollCapture(session, callback, context);
        if (status >= 0) {
            const PendingCapture pending = TakePendingCapture();
            {
                std::lock_guard lock(m_queueMutex);
                m_queue.push_back({pending, false});
            }
            m_queueChanged.notify_all();
        }
        return status;
    }

    StatusCode Cancel(SessionHandle session) override {
        {
            std::lock_guard lock(m_queueMutex);
            for (auto& capture : m_queue) {
                capture.cancelled = true;
            }
        }
        return FakeBackend::Cancel(session);
    }

    std::size_t Waiting() const {
        std::lock_guard lock(m_queueMutex);
        return m_queue.size();
    }

private:
    struct QueuedCapture {
        PendingCapture pending;
        bool cancelled = false;
    };

    void Run() {
        for (;;) {
            QueuedCapture capture;
            {
                std::unique_lock lock(m_queueMutex);
                m_queueChanged.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
                if (m_queue.empty()) {
                    return;
                }
                capture = m_queue.front();
                m_queue.pop_front();
            }
            const auto [status, detail] = capture.cancelled
                                              ? std::pair<StatusCode, RejectDetail>{kCanceled, 0}
                                              : NextResult();
            capture.pending.callback(capture.pending.context, status, detail);
        }
    }

    std::pair<StatusCode, RejectDetail> NextResult() {
        if (m_answers == Answers::kMoreDataAtOnce) {
            return {kMoreData, 0};
        }
        const unsigned roll = m_random() % 100;
        if (roll < 45) {
            return {kMoreData, 0};
        }
        if (roll < 80) {
            return {kBadCapture, 1 + m_random() % 11};
        }
        if (roll < 90) {
            return {kOk, 0};
        }
        if (roll < 94) {
            return {kCanceled, 0};
        }
        if (roll < 97) {
            return {kDeviceFailure, 0};
        }
        return {0x00090003, 0};
    }

    std::mt19937 m_random;  // the service thread's alone
    const Answers m_answers;
    mutable std::mutex m_queueMutex;
    std::condition_variable m_queueChanged;
    std::deque<QueuedCapture> m_queue;
    bool m_stopping = false;
    std::thread m_thread;
};

// Installs the service for one test; stops its thread after the test's workflow is gone.
struct InstalledService {
    explicit InstalledService(unsigned seed,
                              ThreadedService::Answers answers = ThreadedService::Answers::kRandom)
        : service(std::make_shared<ThreadedService>(seed, answers)) {
        InstallBiometricBackend(service);
    }
    ~InstalledService() {
        service->Stop();
        InstallBiometricBackend(nullptr);
    }
    std::shared_ptr<ThreadedService> service;
};

TEST(CaptureThreads, ResultsFromTheServiceThreadRaceTheWindowCleanly) {
    constexpr int kEnrollments = 300;
    InstalledService installed(20240611);
    EnrollmentContext context;
    context.sessionHandle = kTestSession;
    context.unitId = kTestUnit;
    FakeWorkflowDisplay display;
    std::mt19937 uiRandom(11);
    int committed = 0;
    {
        EnrollmentWorkflow workflow(context, display);
        for (int enrollment = 0; enrollment < kEnrollments; ++enrollment) {
            context.selectedFinger = enrollment % kLastFinger + 1;
            workflow.RunEnrollmentEvent(kEventBegin);
            while (context.selectedFinger != 0) {
                if (uiRandom() % 8 == 0) {
                    workflow.AbortEnrollment();  // while the result may be on its way
                }
                const auto timer = display.WaitForArmedTimer(5s);
                ASSERT_TRUE(timer.has_value()) << "a capture got no result";
                workflow.HandleTimer(*timer);
            }
            // Back in Idle: nothing outstanding, nothing armed, Abort off.
            ASSERT_EQ(installed.service->Waiting(), 0u);
            ASSERT_FALSE(display.WaitForArmedTimer(0ms).has_value());
            const auto log = display.Log();
            if (log.back().rfind("status 903", 0) == 0) {
                ++committed;
            }
            const auto lastAbort = std::find_if(log.rbegin(), log.rend(), [](const auto& line) {
                return line.rfind("abort", 0) == 0;
            });
            ASSERT_NE(lastAbort, log.rend());
            ASSERT_EQ(*lastAbort, "abort off");
        }
    }
    const auto calls = installed.service->Calls();
    const auto log = display.Log();
    const auto captures = std::count(calls.begin(), calls.end(), "capture 7");
    const auto arms = std::count_if(log.begin(), log.end(),
                                    [](const auto& line) { return line.rfind("arm ", 0) == 0; });
    EXPECT_EQ(arms, captures) << "every capture must arm exactly one event timer";
    EXPECT_GT(committed, 0);
}

// Results that come at once are nearly always in, their event pending, when Abort is pressed;
// the press must end the attempt at the next event all the same.
TEST(CaptureThreads, EveryAbortEndsItsAttemptWhileResultsComeAtOnce) {
    constexpr int kPresses = 100;
    InstalledService installed(5, ThreadedService::Answers::kMoreDataAtOnce);
    EnrollmentContext context;
    context.sessionHandle = kTestSession;
    context.unitId = kTestUnit;
    FakeWorkflowDisplay display;
    std::mt19937 uiRandom(3);
    {
        EnrollmentWorkflow workflow(context, display);
        for (int press = 0; press < kPresses; ++press) {
            context.selectedFinger = press % kLastFinger + 1;
            workflow.RunEnrollmentEvent(kEventBegin);
            for (unsigned step = uiRandom() % 3; step > 0; --step) {
                const auto timer = display.WaitForArmedTimer(5s);
                ASSERT_TRUE(timer.has_value());
                workflow.HandleTimer(*timer);
            }
            // Either with the result's event certainly pending, or at whatever moment it is.
            std::optional<unsigned> pending;
            if (uiRandom() % 2 == 0) {
                pending = display.WaitForArmedTimer(5s);
                ASSERT_TRUE(pending.has_value());
            }
            workflow.AbortEnrollment();
            if (!pending) {
                pending = display.WaitForArmedTimer(5s);
                ASSERT_TRUE(pending.has_value()) << "the aborted capture got no result";
            }
            workflow.HandleTimer(*pending);
            ASSERT_EQ(context.selectedFinger, 0) << "press " << press << " was lost";
            ASSERT_EQ(display.Log().back(), "abort off");
            ASSERT_EQ(installed.service->Waiting(), 0u);
            ASSERT_FALSE(display.WaitForArmedTimer(0ms).has_value());
        }
    }
}

TEST(CaptureThreads, AResultAfterTheWorkflowIsGoneTouchesNothing) {
    ScopedFakeBackend backend;
    auto context = std::make_unique<EnrollmentContext>();
    auto display = std::make_unique<FakeWorkflowDisplay>();
    const auto journal = display->SharedJournal();
    auto workflow = std::make_unique<EnrollmentWorkflow>(*context, *display);
    context->selectedFinger = 2;
    workflow->RunEnrollmentEvent(kEventBegin);
    const FakeBackend::PendingCapture pending = backend->TakePendingCapture();
    ASSERT_NE(pending.callback, nullptr);
    const std::size_t linesBefore = display->Log().size();

    workflow.reset();
    context.reset();
    display.reset();
    std::thread([&pending] { pending.callback(pending.context, kCanceled, 0); }).join();

    std::lock_guard lock(journal->mutex);
    EXPECT_EQ(journal->lines.size(), linesBefore);
    EXPECT_TRUE(journal->armedTimers.empty());
}

TEST_F(WorkflowFixture, ALateResultNeverReachesTheNextWorkflow) {
    Begin();
    const FakeBackend::PendingCapture pending = backend->TakePendingCapture();
    ASSERT_NE(pending.callback, nullptr);
    // A new workflow on the same context and display, possibly at the same address.
    workflow.reset();
    workflow = std::make_unique<EnrollmentWorkflow>(context, display);
    ClearRecords();

    std::thread([&pending] { pending.callback(pending.context, kMoreData, 0); }).join();

    EXPECT_TRUE(display.Log().empty());
    EXPECT_EQ(context.acceptedCaptureCount, 0);
}

TEST(CaptureThreads, TheWindowMayCloseWhileAResultIsBeingDelivered) {
    ScopedFakeBackend backend;
    for (int round = 0; round < 200; ++round) {
        auto context = std::make_unique<EnrollmentContext>();
        auto display = std::make_unique<FakeWorkflowDisplay>();
        auto workflow = std::make_unique<EnrollmentWorkflow>(*context, *display);
        context->selectedFinger = 3;
        workflow->RunEnrollmentEvent(kEventBegin);
        const FakeBackend::PendingCapture pending = backend->TakePendingCapture();
        ASSERT_NE(pending.callback, nullptr);

        std::thread service([&pending] { pending.callback(pending.context, kMoreData, 0); });
        workflow.reset();
        context.reset();
        display.reset();
        service.join();
    }
}

}  // namespace
