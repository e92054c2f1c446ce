// The simulated sensor: a back end that runs anywhere, scripted from the environment.
#include "SimulatedService.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>
#include <utility>

#include "CaptureDeliveryQueue.h"
#include "SimulatedIdentity.h"
#include "SimulatedStore.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr char16_t kUnitDescription[] = u"Simulated fingerprint sensor";
constexpr SessionHandle kFirstSessionHandle = 1;

constexpr std::chrono::milliseconds kVerifyDeadline{30000};

// A requested capture or verification; a verification has its own callback and unit.
struct PendingCapture {
    EnrollCaptureCallback callback = nullptr;
    void* context = nullptr;
    // None while the script has run out: the capture waits like an untouched sensor.
    std::optional<SimulatedCaptureResult> result;
    Clock::time_point due;
    VerifyCallback verifyCallback = nullptr;
    UnitId verifiedUnit = 0;

    CaptureDeliveryQueue::Result Answer(StatusCode status, RejectDetail rejectDetail) const {
        return {callback, context, status, rejectDetail, verifyCallback, verifiedUnit};
    }
};

// Where a session's enrollment stands.
enum class EnrollmentStage {
    kNone,
    kCapturing,
    kReadyToCommit,  // a capture answered 0; the enrollment stays open until it is committed
};

struct Session {
    EnrollmentStage stage = EnrollmentStage::kNone;
    SubFactor subFactor = kNoFinger;
    UnitId unit = 0;
    std::optional<PendingCapture> capture;
};

bool IsFinger(SubFactor subFactor) {
    return subFactor >= kFirstFinger && subFactor <= kLastFinger;
}

SimulatedStore MakeStore(const SimulatedConfig& config) {
    const auto identity = SimulatedStore::IdentityOf(SimulatedCurrentUserIdentity());
    std::vector<SimulatedStore::Record> seed;
    for (const UnitId unit : config.Units()) {
        for (const SubFactor subFactor : config.Enrolled()) {
            seed.push_back({unit, *identity, subFactor});
        }
    }
    if (config.StorePath().empty()) {
        return SimulatedStore::InMemory(std::move(seed));
    }
    return SimulatedStore::InFile(config.StorePath(), std::move(seed));
}

}  // namespace

// What the simulated sensor holds: its settings, the script of capture results, the store of
// enrollments, the open sessions and the results waiting for delivery. The worker thread shares
// it with the service and keeps it alive even if the service is destroyed from within a callback.
struct SimulatedService::SensorState {
    explicit SensorState(SimulatedConfig settings)
        : config(std::move(settings)), script(config.Script()), store(MakeStore(config)) {}

    const SimulatedConfig config;
    // Guards everything below; never held while a callback runs.
    std::mutex mutex;
    std::condition_variable workerWake;
    SimulatedScript script;
    SimulatedStore store;
    std::map<SessionHandle, Session> openSessions;
    SessionHandle nextSessionHandle = kFirstSessionHandle;
    CaptureDeliveryQueue deliveries;
    bool shuttingDown = false;

    bool HasUnit(UnitId unit) const {
        const auto& units = config.Units();
        return std::find(units.begin(), units.end(), unit) != units.end();
    }

    // The first unit, in the configured order, on which the finger is enrolled; 0 when none is.
    StatusCode FindUnitWithFinger(const SimulatedStore::Identity& identity, SubFactor subFactor,
                                  UnitId* unit) {
        *unit = 0;
        for (const UnitId candidate : config.Units()) {
            std::vector<SubFactor> fingers;
            const StatusCode listed = store.List(candidate, identity, &fingers);
            if (listed < 0 && listed != kDatabaseNoResults) {
                return listed;
            }
            if (std::find(fingers.begin(), fingers.end(), subFactor) != fingers.end()) {
                *unit = candidate;
                return kOk;
            }
        }
        return kOk;
    }

    Session* FindSession(SessionHandle handle) {
        const auto found = openSessions.find(handle);
        return found == openSessions.end() ? nullptr : &found->second;
    }

    // Ends the session's pending capture with kCanceled; the callback still comes, once.
    void CancelPendingCapture(Session& session) {
        if (!session.capture) {
            return;
        }
        deliveries.Push(session.capture->Answer(kCanceled, 0));
        session.capture.reset();
        workerWake.notify_all();
    }

    // Queues the results that are due; returns when the earliest one still to come is due.
    std::optional<Clock::time_point> QueueDueResults(Clock::time_point now) {
        std::optional<Clock::time_point> earliest;
        for (auto& [handle, session] : openSessions) {
            if (!session.capture || !session.capture->result) {
                continue;
            }
            const PendingCapture& capture = *session.capture;
            if (capture.due > now) {
                earliest = earliest ? std::min(*earliest, capture.due) : capture.due;
                continue;
            }
            deliveries.Push(capture.Answer(capture.result->status, capture.result->rejectDetail));
            // The enrollment is ready before the caller hears of it, so its commit works.
            if (capture.result->status == kOk && capture.verifyCallback == nullptr) {
                session.stage = EnrollmentStage::kReadyToCommit;
            }
            session.capture.reset();
        }
        return earliest;
    }

    void RunWorker() {
        std::unique_lock lock(mutex);
        while (true) {
            const auto earliest = QueueDueResults(Clock::now());
            if (deliveries.DeliverFirst(lock)) {
                continue;
            }
            if (shuttingDown) {
                return;
            }
            if (earliest) {
                workerWake.wait_until(lock, *earliest);
            } else {
                workerWake.wait(lock);
            }
        }
    }
};

SimulatedService::SimulatedService(SimulatedConfig config)
    : m_sensor(std::make_shared<SensorState>(std::move(config))) {
    m_worker = std::thread([sensor = m_sensor] { sensor->RunWorker(); });
}

SimulatedService::~SimulatedService() {
    std::unique_lock lock(m_sensor->mutex);
    m_sensor->shuttingDown = true;
    for (auto& [handle, session] : m_sensor->openSessions) {
        m_sensor->CancelPendingCapture(session);
    }
    m_sensor->openSessions.clear();
    m_sensor->workerWake.notify_all();
    if (m_worker.get_id() != std::this_thread::get_id()) {
        lock.unlock();
        m_worker.join();
        return;
    }
    // Destroyed from within a callback: joining would wait for ourselves. Deliver the rest
    // here so that nothing comes after destruction; the worker then finds nothing and ends.
    while (m_sensor->deliveries.DeliverFirst(lock)) {
    }
    m_worker.detach();
}

StatusCode SimulatedService::OpenSession(std::uint32_t factor, std::uint32_t /*poolType*/,
                                         std::uint32_t /*flags*/, const UnitId* unitArray,
                                         std::size_t unitCount, std::uint32_t /*databaseId*/,
                                         SessionHandle* sessionHandle) {
    if (const auto forced = m_sensor->config.ForcedFailure("open")) {
        return *forced;
    }
    if (factor != kFactorFingerprint) {
        return kUnsupportedFactor;
    }
    if (sessionHandle == nullptr || (unitArray == nullptr && unitCount != 0)) {
        return kInvalidArgument;
    }
    std::lock_guard lock(m_sensor->mutex);
    for (std::size_t i = 0; i < unitCount; ++i) {
        if (!m_sensor->HasUnit(unitArray[i])) {
            return kInvalidUnit;
        }
    }
    SessionHandle handle = m_sensor->nextSessionHandle++;
    // 0 means no session; skip it should the counter ever wrap.
    if (handle == 0) {
        handle = m_sensor->nextSessionHandle++;
    }
    m_sensor->openSessions[handle] = Session{};
    *sessionHandle = handle;
    return kOk;
}

StatusCode SimulatedService::CloseSession(SessionHandle sessionHandle) {
    if (const auto forced = m_sensor->config.ForcedFailure("close")) {
        return *forced;
    }
    std::lock_guard lock(m_sensor->mutex);
    Session* session = m_sensor->FindSession(sessionHandle);
    if (session == nullptr) {
        return kInvalidArgument;
    }
    m_sensor->CancelPendingCapture(*session);
    m_sensor->openSessions.erase(sessionHandle);
    return kOk;
}

StatusCode SimulatedService::Cancel(SessionHandle sessionHandle) {
    if (const auto forced = m_sensor->config.ForcedFailure("cancel")) {
        return *forced;
    }
    std::lock_guard lock(m_sensor->mutex);
    Session* session = m_sensor->FindSession(sessionHandle);
    if (session == nullptr) {
        return kInvalidArgument;
    }
    m_sensor->CancelPendingCapture(*session);
    return kOk;
}

StatusCode SimulatedService::EnumBiometricUnits(std::uint32_t factor,
                                                std::vector<WINBIO_UNIT_SCHEMA>* units) {
    if (const auto forced = m_sensor->config.ForcedFailure("units")) {
        return *forced;
    }
    if (factor != kFactorFingerprint) {
        return kUnsupportedFactor;
    }
    if (units == nullptr) {
        return kInvalidArgument;
    }
    units->clear();
    for (const UnitId unit : m_sensor->config.Units()) {
        WINBIO_UNIT_SCHEMA schema;
        schema.UnitId = unit;
        schema.PoolType = kPoolSystem;
        schema.BiometricFactor = kFactorFingerprint;
        schema.SensorSubType = kSensorSubtypeTouch;
        std::copy(std::begin(kUnitDescription), std::end(kUnitDescription), schema.Description);
        units->push_back(schema);
    }
    return kOk;
}

StatusCode SimulatedService::LocateSensor(SessionHandle sessionHandle, UnitId* unitId) {
    if (const auto forced = m_sensor->config.ForcedFailure("locate")) {
        return *forced;
    }
    if (unitId == nullptr) {
        return kInvalidArgument;
    }
    std::lock_guard lock(m_sensor->mutex);
    if (m_sensor->FindSession(sessionHandle) == nullptr) {
        return kInvalidArgument;
    }
    // Answers at once as if the first sensor were touched; waiting would only hang the caller.
    if (m_sensor->config.Units().empty()) {
        return kSensorUnavailable;
    }
    *unitId = m_sensor->config.Units().front();
    return kOk;
}

StatusCode SimulatedService::EnumEnrollments(SessionHandle sessionHandle, UnitId unitId,
                                             const WINBIO_IDENTITY& identity,
                                             std::vector<SubFactor>* subFactors) {
    if (const auto forced = m_sensor->config.ForcedFailure("enum")) {
        return *forced;
    }
    const auto storedIdentity = SimulatedStore::IdentityOf(identity);
    if (subFactors == nullptr || !storedIdentity) {
        return kInvalidArgument;
    }
    std::lock_guard lock(m_sensor->mutex);
    if (m_sensor->FindSession(sessionHandle) == nullptr) {
        return kInvalidArgument;
    }
    if (!m_sensor->HasUnit(unitId)) {
        return kInvalidUnit;
    }
    return m_sensor->store.List(unitId, *storedIdentity, subFactors);
}

StatusCode SimulatedService::EnrollBegin(SessionHandle sessionHandle, SubFactor subFactor,
                                         UnitId unitId) {
    if (const auto forced = m_sensor->config.ForcedFailure("begin")) {
        return *forced;
    }
    std::lock_guard lock(m_sensor->mutex);
    Session* session = m_sensor->FindSession(sessionHandle);
    if (session == nullptr || !IsFinger(subFactor)) {
        return kInvalidArgument;
    }
    if (!m_sensor->HasUnit(unitId)) {
        return kInvalidUnit;
    }
    if (session->stage != EnrollmentStage::kNone) {
        return kEnrollmentInProgress;
    }
    session->stage = EnrollmentStage::kCapturing;
    session->subFactor = subFactor;
    session->unit = unitId;
    m_sensor->script.StartEnrollment();
    return kOk;
}

StatusCode SimulatedService::EnrollCapture(SessionHandle sessionHandle,
                                           EnrollCaptureCallback callback, void* context) {
    if (const auto forced = m_sensor->config.ForcedFailure("capture")) {
        return *forced;
    }
    if (callback == nullptr) {
        return kInvalidArgument;
    }
    std::lock_guard lock(m_sensor->mutex);
    Session* session = m_sensor->FindSession(sessionHandle);
    if (session == nullptr) {
        return kInvalidArgument;
    }
    if (session->stage == EnrollmentStage::kNone) {
        return kInvalidOperation;
    }
    if (session->capture) {
        return kDataCollectionInProgress;
    }
    PendingCapture capture{.callback = callback,
                           .context = context,
                           .result = m_sensor->script.TakeNextResult(),
                           .due = Clock::now()};
    if (capture.result) {
        capture.due += capture.result->delay;
    }
    session->capture = capture;
    m_sensor->workerWake.notify_all();
    return kOk;
}

StatusCode SimulatedService::EnrollCommit(SessionHandle sessionHandle, WINBIO_IDENTITY* identity,
                                          std::uint8_t* isNewTemplate) {
    if (const auto forced = m_sensor->config.ForcedFailure("commit")) {
        return *forced;
    }
    std::lock_guard lock(m_sensor->mutex);
    Session* session = m_sensor->FindSession(sessionHandle);
    if (session == nullptr) {
        return kInvalidArgument;
    }
    if (session->stage == EnrollmentStage::kNone) {
        return kInvalidOperation;
    }
    if (session->capture) {
        return kDataCollectionInProgress;
    }
    if (session->stage != EnrollmentStage::kReadyToCommit) {
        return kInvalidOperation;
    }
    const WINBIO_IDENTITY user = SimulatedCurrentUserIdentity();
    const StatusCode stored =
        m_sensor->store.Add(session->unit, *SimulatedStore::IdentityOf(user), session->subFactor);
    // A refused commit leaves the enrollment open until it is discarded.
    if (stored < 0) {
        return stored;
    }
    session->stage = EnrollmentStage::kNone;
    if (identity != nullptr) {
        *identity = user;
    }
    if (isNewTemplate != nullptr) {
        *isNewTemplate = 1;
    }
    return kOk;
}

StatusCode SimulatedService::EnrollDiscard(SessionHandle sessionHandle) {
    if (const auto forced = m_sensor->config.ForcedFailure("discard")) {
        return *forced;
    }
    std::lock_guard lock(m_sensor->mutex);
    Session* session = m_sensor->FindSession(sessionHandle);
    if (session == nullptr) {
        return kInvalidArgument;
    }
    if (session->stage == EnrollmentStage::kNone) {
        return kInvalidOperation;
    }
    m_sensor->CancelPendingCapture(*session);
    session->stage = EnrollmentStage::kNone;
    return kOk;
}

StatusCode SimulatedService::DeleteTemplate(SessionHandle sessionHandle, UnitId unitId,
                                            const WINBIO_IDENTITY& identity, SubFactor subFactor) {
    if (const auto forced = m_sensor->config.ForcedFailure("delete")) {
        return *forced;
    }
    const auto storedIdentity = SimulatedStore::IdentityOf(identity);
    if (!storedIdentity || !IsFinger(subFactor)) {
        return kInvalidArgument;
    }
    std::lock_guard lock(m_sensor->mutex);
    if (m_sensor->FindSession(sessionHandle) == nullptr) {
        return kInvalidArgument;
    }
    if (!m_sensor->HasUnit(unitId)) {
        return kInvalidUnit;
    }
    return m_sensor->store.Remove(unitId, *storedIdentity, subFactor);
}

StatusCode SimulatedService::VerifyWithCallback(SessionHandle sessionHandle,
                                                const WINBIO_IDENTITY& identity,
                                                SubFactor subFactor, VerifyCallback callback,
                                                void* context) {
    if (const auto forced = m_sensor->config.ForcedFailure("verify")) {
        return *forced;
    }
    const auto storedIdentity = SimulatedStore::IdentityOf(identity);
    if (callback == nullptr || !storedIdentity || !IsFinger(subFactor)) {
        return kInvalidArgument;
    }
    std::lock_guard lock(m_sensor->mutex);
    Session* session = m_sensor->FindSession(sessionHandle);
    if (session == nullptr) {
        return kInvalidArgument;
    }
    if (session->stage != EnrollmentStage::kNone) {
        return kEnrollmentInProgress;
    }
    if (session->capture) {
        return kDataCollectionInProgress;
    }
    UnitId unit = 0;
    const StatusCode found = m_sensor->FindUnitWithFinger(*storedIdentity, subFactor, &unit);
    if (found < 0) {
        return found;
    }
    if (unit == 0) {
        return kDatabaseNoSuchRecord;
    }
    PendingCapture verification{.context = context,
                                .result = m_sensor->script.TakeNextResult(),
                                .due = Clock::now(),
                                .verifyCallback = callback,
                                .verifiedUnit = unit};
    // Nobody touches the sensor once the script has run out: the deadline ends the wait.
    if (!verification.result) {
        verification.result = SimulatedCaptureResult{kCaptureTimedOut, 0, kVerifyDeadline};
    }
    verification.due += verification.result->delay;
    session->capture = verification;
    m_sensor->workerWake.notify_all();
    return kOk;
}

StatusCode SimulatedService::Free() {
    if (const auto forced = m_sensor->config.ForcedFailure("free")) {
        return *forced;
    }
    return kOk;
}

std::shared_ptr<BiometricBackend> CreateSimulatedServiceFromEnvironment(std::string* errorMessage) {
    auto config = SimulatedConfig::FromEnvironment(errorMessage);
    if (!config) {
        return nullptr;
    }
    return std::make_shared<SimulatedService>(std::move(*config));
}

std::shared_ptr<BiometricBackend> CreateSimulatedService(
    const SimulatedConfig::Variables& variables, std::string* errorMessage) {
    auto config = SimulatedConfig::FromVariables(variables, errorMessage);
    if (!config) {
        return nullptr;
    }
    return std::make_shared<SimulatedService>(std::move(*config));
}
