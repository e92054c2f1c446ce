// The biometric service answered by fprintd, the system's fingerprint daemon, over D-Bus.
#include "FprintdService.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFuture>
#include <QFutureWatcher>
#include <QMetaObject>
#include <QPromise>
#include <QThread>
#include <charconv>
#include <cstdlib>
#include <cstring>

#include "FprintdWorker.h"

namespace {

constexpr char kCaptureTimeoutVariable[] = "VARNE_FPRINTD_CAPTURE_TIMEOUT_MS";
constexpr char kVerifyTimeoutVariable[] = "VARNE_FPRINTD_VERIFY_TIMEOUT_MS";
constexpr char kExitWaitVariable[] = "VARNE_FPRINTD_EXIT_WAIT_MS";

std::chrono::milliseconds MillisecondsFromEnvironment(const char* variable,
                                                      std::chrono::milliseconds fallback) {
    const char* text = std::getenv(variable);
    if (text == nullptr) {
        return fallback;
    }
    int milliseconds = 0;
    const char* end = text + std::strlen(text);
    const auto [parsed, error] = std::from_chars(text, end, milliseconds);
    if (error != std::errc() || parsed != end || milliseconds <= 0) {
        return fallback;
    }
    return std::chrono::milliseconds(milliseconds);
}

}  // namespace

FprintdService::FprintdService(FprintdTimeouts timeouts)
    : m_timeouts(timeouts), m_stageCount(std::make_shared<std::atomic<std::uint32_t>>(0)) {}

FprintdService::~FprintdService() {
    if (m_worker == nullptr) {
        return;
    }
    if (OnWorkerThread()) {
        // Dropped from within a capture callback: nothing here may wait for this thread. The
        // release goes out now; the thread ends when this callback returns.
        m_worker->Shutdown([](StatusCode) {});
        QObject::connect(m_thread, &QThread::finished, m_thread, &QObject::deleteLater);
        m_thread->quit();
        return;
    }
    Ask<StatusCode>([](FprintdWorker& worker, auto answer) { worker.Shutdown(answer); }, kOk);
    Ask<StatusCode>(
        [](FprintdWorker& worker, auto answer) {
            worker.Teardown();
            answer(kOk);
        },
        kOk);
    m_thread->quit();
    m_thread->wait();
    delete m_thread;
}

void FprintdService::EnsureStarted() {
    std::call_once(m_startOnce, [this] {
        m_thread = new QThread;
        m_thread->setObjectName(QStringLiteral("fprintd"));
        m_worker = new FprintdWorker(m_timeouts, m_stageCount);
        m_worker->moveToThread(m_thread);
        // Deleted on its own thread, as the thread ends.
        QObject::connect(m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
        m_thread->start();
    });
}

void FprintdService::BeginStartup(UnitId unit, void (*phase)(const char*)) {
    EnsureStarted();
    // Queued before any operation this thread asks for, so it runs first.
    QMetaObject::invokeMethod(
        m_worker, [worker = m_worker, unit, phase] { worker->FetchEarly(unit, phase); },
        Qt::QueuedConnection);
}

bool FprintdService::OnWorkerThread() const {
    return m_thread != nullptr && QThread::currentThread() == m_thread;
}

template <typename T>
T FprintdService::Ask(Job<T> job, T whenUnanswered, bool keepEventsRunning) {
    EnsureStarted();
    auto promise = std::make_shared<QPromise<T>>();
    QFuture<T> future = promise->future();
    promise->start();
    std::function<void(T)> answer = [promise](T value) {
        if (!promise->future().isFinished()) {
            promise->addResult(std::move(value));
            promise->finish();
        }
    };
    if (OnWorkerThread()) {
        job(*m_worker, answer);
        return future.resultCount() > 0 ? future.result() : whenUnanswered;
    }
    QMetaObject::invokeMethod(
        m_worker, [worker = m_worker, job = std::move(job), answer] { job(*worker, answer); },
        Qt::QueuedConnection);
    if (keepEventsRunning && QCoreApplication::instance() != nullptr) {
        // Everything goes on, clicks and close requests included: the caller refuses to be
        // re-entered, and a Cancel ends the wait. Quitting the application ends it too.
        QEventLoop loop;
        QFutureWatcher<T> watcher;
        QObject::connect(&watcher, &QFutureWatcherBase::finished, &loop, &QEventLoop::quit);
        watcher.setFuture(future);
        if (!future.isFinished()) {
            loop.exec();
        }
        if (!future.isFinished()) {
            return whenUnanswered;
        }
    }
    future.waitForFinished();
    return future.resultCount() > 0 ? future.result() : whenUnanswered;
}

StatusCode FprintdService::OpenSession(std::uint32_t factor, std::uint32_t /*poolType*/,
                                       std::uint32_t /*flags*/, const UnitId* unitArray,
                                       std::size_t unitCount, std::uint32_t /*databaseId*/,
                                       SessionHandle* sessionHandle) {
    if (sessionHandle == nullptr || (unitArray == nullptr && unitCount != 0)) {
        return kInvalidArgument;
    }
    if (factor != kFactorFingerprint) {
        return kUnsupportedFactor;
    }
    const SessionAnswer opened =
        Ask<SessionAnswer>([](FprintdWorker& worker, auto answer) { worker.OpenSession(answer); },
                           {kSensorUnavailable, 0});
    if (opened.status == kOk) {
        *sessionHandle = opened.handle;
    }
    return opened.status;
}

StatusCode FprintdService::CloseSession(SessionHandle sessionHandle) {
    return Ask<StatusCode>(
        [sessionHandle](FprintdWorker& worker, auto answer) {
            answer(worker.CloseSession(sessionHandle));
        },
        kInvalidOperation);
}

StatusCode FprintdService::Cancel(SessionHandle sessionHandle) {
    return Ask<StatusCode>([sessionHandle](FprintdWorker& worker,
                                           auto answer) { answer(worker.Cancel(sessionHandle)); },
                           kInvalidOperation);
}

StatusCode FprintdService::EnumBiometricUnits(std::uint32_t factor,
                                              std::vector<WINBIO_UNIT_SCHEMA>* units) {
    if (units == nullptr) {
        return kInvalidArgument;
    }
    if (factor != kFactorFingerprint) {
        return kUnsupportedFactor;
    }
    UnitsAnswer listed =
        Ask<UnitsAnswer>([](FprintdWorker& worker, auto answer) { worker.EnumUnits(answer); },
                         {kInvalidOperation, {}});
    *units = std::move(listed.units);
    return listed.status;
}

StatusCode FprintdService::LocateSensor(SessionHandle sessionHandle, UnitId* unitId) {
    if (unitId == nullptr) {
        return kInvalidArgument;
    }
    const UnitAnswer located = Ask<UnitAnswer>(
        [sessionHandle](FprintdWorker& worker, auto answer) {
            worker.LocateSensor(sessionHandle, answer);
        },
        {kInvalidOperation, 0});
    if (located.status == kOk) {
        *unitId = located.unit;
    }
    return located.status;
}

StatusCode FprintdService::EnumEnrollments(SessionHandle sessionHandle, UnitId unitId,
                                           const WINBIO_IDENTITY& identity,
                                           std::vector<SubFactor>* subFactors) {
    if (subFactors == nullptr) {
        return kInvalidArgument;
    }
    FingersAnswer listed = Ask<FingersAnswer>(
        [sessionHandle, unitId, identity](FprintdWorker& worker, auto answer) {
            worker.EnumEnrollments(sessionHandle, unitId, identity, answer);
        },
        {kInvalidOperation, {}});
    *subFactors = std::move(listed.fingers);
    return listed.status;
}

StatusCode FprintdService::EnrollBegin(SessionHandle sessionHandle, SubFactor subFactor,
                                       UnitId unitId) {
    return Ask<StatusCode>(
        [=](FprintdWorker& worker, auto answer) {
            answer(worker.EnrollBegin(sessionHandle, subFactor, unitId));
        },
        kInvalidOperation);
}

StatusCode FprintdService::EnrollCapture(SessionHandle sessionHandle,
                                         EnrollCaptureCallback callback, void* context) {
    return Ask<StatusCode>(
        [=](FprintdWorker& worker, auto answer) {
            answer(worker.EnrollCapture(sessionHandle, callback, context));
        },
        kInvalidOperation);
}

StatusCode FprintdService::EnrollCommit(SessionHandle sessionHandle, WINBIO_IDENTITY* /*identity*/,
                                        std::uint8_t* /*isNewTemplate*/) {
    return Ask<StatusCode>(
        [sessionHandle](FprintdWorker& worker, auto answer) {
            answer(worker.EnrollCommit(sessionHandle));
        },
        kInvalidOperation);
}

StatusCode FprintdService::EnrollDiscard(SessionHandle sessionHandle) {
    return Ask<StatusCode>(
        [sessionHandle](FprintdWorker& worker, auto answer) {
            answer(worker.EnrollDiscard(sessionHandle));
        },
        kInvalidOperation);
}

StatusCode FprintdService::DeleteTemplate(SessionHandle sessionHandle, UnitId unitId,
                                          const WINBIO_IDENTITY& identity, SubFactor subFactor) {
    return Ask<StatusCode>(
        [=](FprintdWorker& worker, auto answer) {
            worker.DeleteTemplate(sessionHandle, unitId, identity, subFactor, answer);
        },
        kCanceled, true);
}

StatusCode FprintdService::VerifyWithCallback(SessionHandle sessionHandle,
                                              const WINBIO_IDENTITY& identity, SubFactor subFactor,
                                              VerifyCallback callback, void* context) {
    return Ask<StatusCode>(
        [=](FprintdWorker& worker, auto answer) {
            answer(
                worker.VerifyWithCallback(sessionHandle, identity, subFactor, callback, context));
        },
        kInvalidOperation);
}

StatusCode FprintdService::Free() {
    return kOk;
}

StatusCode FprintdService::EnrollStageCount(SessionHandle sessionHandle,
                                            std::uint32_t* stageCount) {
    if (stageCount == nullptr || sessionHandle == 0) {
        return kInvalidArgument;
    }
    const std::uint32_t stages = m_stageCount->load();
    if (stages == 0) {
        return kInvalidOperation;
    }
    *stageCount = stages;
    return kOk;
}

std::shared_ptr<FprintdService> CreateFprintdService() {
    FprintdTimeouts timeouts;
    timeouts.capture = MillisecondsFromEnvironment(kCaptureTimeoutVariable, timeouts.capture);
    timeouts.verify = MillisecondsFromEnvironment(kVerifyTimeoutVariable, timeouts.verify);
    timeouts.exitWait = MillisecondsFromEnvironment(kExitWaitVariable, timeouts.exitWait);
    return std::make_shared<FprintdService>(timeouts);
}
