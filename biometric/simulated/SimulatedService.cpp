// The simulated sensor: a back end that runs anywhere, scripted from the environment.
#include "SimulatedService.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <utility>

#include "SimulatedIdentity.h"
#include "SimulatedStore.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr char16_t kUnitDescription[] = u"Simulated fingerprint sensor";
constexpr SessionHandle kFirstSessionHandle = 1;

struct PendingCapture {
    EnrollCaptureCallback callback = nullptr;
    void* context = nullptr;
    // None while the script has run out: the capture waits like an untouched sensor.
    std::optional<SimulatedCaptureResult> result;
    Clock::time_point due;
};

struct Session {
    bool enrolling = false;
    SubFactor subFactor = kNoFinger;
    UnitId unit = 0;
    bool readyToCommit = false;
    std::optional<PendingCapture> capture;
};

struct Delivery {
    EnrollCaptureCallback callback = nullptr;
    void* context = nullptr;
    StatusCode status = kOk;
    RejectDetail rejectDetail = 0;
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

struct SimulatedService::Shared {
    explicit Shared(SimulatedConfig settings)
        : config(std::move(settings)), script(config.Script()), store(MakeStore(config)) {}

    const SimulatedConfig config;
    std::mutex mutex;
    std::condition_variable wake;
    SimulatedScript script;
    SimulatedStore store;
    std::map<SessionHandle, Session> sessions;
    SessionHandle nextHandle = kFirstSessionHandle;
    std::deque<Delivery> ready;
    bool stopping = false;

    bool HasUnit(UnitId unit) const {
        const auto& units = config.Units();
        return std::find(units.begin(), units.end(), unit) != units.end();
    }

    Session* FindSession(SessionHandle handle) {
        const auto found = sessions.find(handle);
        return found == sessions.end() ? nullptr : &found->second;
    }

    // Ends the session's pending capture with kCanceled; the callback still comes, once.
    void CancelCapture(Session& session) {
        if (!session.capture) {
            return;
        }
        ready.push_back({session.capture->callback, session.capture->context, kCanceled, 0});
        session.capture.reset();
        wake.notify_all();
    }

    // Moves the results that are due into the ready queue; the earliest one still to come.
    std::optional<Clock::time_point> CollectDue(Clock::time_point now) {
        std::optional<Clock::time_point> earliest;
        for (auto& [handle, session] : sessions) {
            if (!session.capture || !session.capture->result) {
                continue;
            }
            const PendingCapture& capture = *session.capture;
            if (capture.due > now) {
                earliest = earliest ? std::min(*earliest, capture.due) : capture.due;
                continue;
            }
            ready.push_back({capture.callback, capture.context, capture.result->status,
                             capture.result->rejectDetail});
            // The enrollment is ready before the caller hears of it, so its commit works.
            if (capture.result->status == kOk) {
                session.readyToCommit = true;
            }
            session.capture.reset();
        }
        return earliest;
    }

    // Calls one ready callback with the lock released; false when none was ready.
    bool DeliverOne(std::unique_lock<std::mutex>& lock) {
        if (ready.empty()) {
            return false;
        }
        const Delivery delivery = ready.front();
        ready.pop_front();
        lock.unlock();
        delivery.callback(delivery.context, delivery.status, delivery.rejectDetail);
        lock.lock();
        return true;
    }

    void RunWorker() {
        std::unique_lock lock(mutex);
        while (true) {
            const auto earliest = CollectDue(Clock::now());
            if (DeliverOne(lock)) {
                continue;
            }
            if (stopping) {
                return;
            }
            if (earliest) {
                wake.wait_until(lock, *earliest);
            } else {
                wake.wait(lock);
            }
        }
    }
};

SimulatedService::SimulatedService(SimulatedConfig config)
    : m_shared(std::make_shared<Shared>(std::move(config))) {
    m_worker = std::thread([shared = m_shared] { shared->RunWorker(); });
}

SimulatedService::~SimulatedService() {
    std::unique_lock lock(m_shared->mutex);
    m_shared->stopping = true;
    for (auto& [handle, session] : m_shared->sessions) {
        m_shared->CancelCapture(session);
    }
    m_shared->sessions.clear();
    m_shared->wake.notify_all();
    if (m_worker.get_id() != std::this_thread::get_id()) {
        lock.unlock();
        m_worker.join();
        return;
    }
    // Destroyed from within a callback: joining would wait for ourselves. Deliver the rest
    // here so that nothing comes after destruction; the worker then finds nothing and ends.
    while (m_shared->DeliverOne(lock)) {
    }
    m_worker.detach();
}

StatusCode SimulatedService::OpenSession(std::uint32_t factor, std::uint32_t /*poolType*/,
                                         std::uint32_t /*flags*/, const UnitId* unitArray,
                                         std::size_t unitCount, std::uint32_t /*databaseId*/,
                                         SessionHandle* sessionHandle) {
    if (const auto forced = m_shared->config.ForcedFailure("open")) {
        return *forced;
    }
    if (factor != kFactorFingerprint) {
        return kUnsupportedFactor;
    }
    if (sessionHandle == nullptr || (unitArray == nullptr && unitCount != 0)) {
        return kInvalidArgument;
    }
    std::lock_guard lock(m_shared->mutex);
    for (std::size_t i = 0; i < unitCount; ++i) {
        if (!m_shared->HasUnit(unitArray[i])) {
            return kInvalidUnit;
        }
    }
    SessionHandle handle = m_shared->nextHandle++;
    // 0 means no session; skip it should the counter ever wrap.
    if (handle == 0) {
        handle = m_shared->nextHandle++;
    }
    m_shared->sessions[handle] = Session{};
    *sessionHandle = handle;
    return kOk;
}

StatusCode SimulatedService::CloseSession(SessionHandle sessionHandle) {
    if (const auto forced = m_shared->config.ForcedFailure("close")) {
        return *forced;
    }
    std::lock_guard lock(m_shared->mutex);
    Session* session = m_shared->FindSession(sessionHandle);
    if (session == nullptr) {
        return kInvalidArgument;
    }
    m_shared->CancelCapture(*session);
    m_shared->sessions.erase(sessionHandle);
    return kOk;
}

StatusCode SimulatedService::Cancel(SessionHandle sessionHandle) {
    if (const auto forced = m_shared->config.ForcedFailure("cancel")) {
        return *forced;
    }
    std::lock_guard lock(m_shared->mutex);
    Session* session = m_shared->FindSession(sessionHandle);
    if (session == nullptr) {
        return kInvalidArgument;
    }
    m_shared->CancelCapture(*session);
    return kOk;
}

StatusCode SimulatedService::EnumBiometricUnits(std::uint32_t factor,
                                                std::vector<WINBIO_UNIT_SCHEMA>* units) {
    if (const auto forced = m_shared->config.ForcedFailure("units")) {
        return *forced;
    }
    if (factor != kFactorFingerprint) {
        return kUnsupportedFactor;
    }
    if (units == nullptr) {
        return kInvalidArgument;
    }
    units->clear();
    for (const UnitId unit : m_shared->config.Units()) {
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
    if (const auto forced = m_shared->config.ForcedFailure("locate")) {
        return *forced;
    }
    if (unitId == nullptr) {
        return kInvalidArgument;
    }
    std::lock_guard lock(m_shared->mutex);
    if (m_shared->FindSession(sessionHandle) == nullptr) {
        return kInvalidArgument;
    }
    // Answers at once as if the first sensor were touched; waiting would only hang the caller.
    if (m_shared->config.Units().empty()) {
        return kSensorUnavailable;
    }
    *unitId = m_shared->config.Units().front();
    return kOk;
}

StatusCode SimulatedService::EnumEnrollments(SessionHandle sessionHandle, UnitId unitId,
                                             const WINBIO_IDENTITY& identity,
                                             std::vector<SubFactor>* subFactors) {
    if (const auto forced = m_shared->config.ForcedFailure("enum")) {
        return *forced;
    }
    const auto storedIdentity = SimulatedStore::IdentityOf(identity);
    if (subFactors == nullptr || !storedIdentity) {
        return kInvalidArgument;
    }
    std::lock_guard lock(m_shared->mutex);
    if (m_shared->FindSession(sessionHandle) == nullptr) {
        return kInvalidArgument;
    }
    if (!m_shared->HasUnit(unitId)) {
        return kInvalidUnit;
    }
    return m_shared->store.List(unitId, *storedIdentity, subFactors);
}

StatusCode SimulatedService::EnrollBegin(SessionHandle sessionHandle, SubFactor subFactor,
                                         UnitId unitId) {
    if (const auto forced = m_shared->config.ForcedFailure("begin")) {
        return *forced;
    }
    std::lock_guard lock(m_shared->mutex);
    Session* session = m_shared->FindSession(sessionHandle);
    if (session == nullptr || !IsFinger(subFactor)) {
        return kInvalidArgument;
    }
    if (!m_shared->HasUnit(unitId)) {
        return kInvalidUnit;
    }
    if (session->enrolling) {
        return kEnrollmentInProgress;
    }
    session->enrolling = true;
    session->subFactor = subFactor;
    session->unit = unitId;
    session->readyToCommit = false;
    m_shared->script.OnEnrollBegin();
    return kOk;
}

StatusCode SimulatedService::EnrollCapture(SessionHandle sessionHandle,
                                           EnrollCaptureCallback callback, void* context) {
    if (const auto forced = m_shared->config.ForcedFailure("capture")) {
        return *forced;
    }
    if (callback == nullptr) {
        return kInvalidArgument;
    }
    std::lock_guard lock(m_shared->mutex);
    Session* session = m_shared->FindSession(sessionHandle);
    if (session == nullptr) {
        return kInvalidArgument;
    }
    if (!session->enrolling) {
        return kInvalidOperation;
    }
    if (session->capture) {
        return kDataCollectionInProgress;
    }
    PendingCapture capture{callback, context, m_shared->script.Next(), Clock::now()};
    if (capture.result) {
        capture.due += capture.result->delay;
    }
    session->capture = capture;
    m_shared->wake.notify_all();
    return kOk;
}

StatusCode SimulatedService::EnrollCommit(SessionHandle sessionHandle, WINBIO_IDENTITY* identity,
                                          std::uint8_t* isNewTemplate) {
    if (const auto forced = m_shared->config.ForcedFailure("commit")) {
        return *forced;
    }
    std::lock_guard lock(m_shared->mutex);
    Session* session = m_shared->FindSession(sessionHandle);
    if (session == nullptr) {
        return kInvalidArgument;
    }
    if (!session->enrolling) {
        return kInvalidOperation;
    }
    if (session->capture) {
        return kDataCollectionInProgress;
    }
    if (!session->readyToCommit) {
        return kInvalidOperation;
    }
    const WINBIO_IDENTITY user = SimulatedCurrentUserIdentity();
    const StatusCode stored =
        m_shared->store.Add(session->unit, *SimulatedStore::IdentityOf(user), session->subFactor);
    // A refused commit leaves the enrollment open until it is discarded.
    if (stored < 0) {
        return stored;
    }
    session->enrolling = false;
    session->readyToCommit = false;
    if (identity != nullptr) {
        *identity = user;
    }
    if (isNewTemplate != nullptr) {
        *isNewTemplate = 1;
    }
    return kOk;
}

StatusCode SimulatedService::EnrollDiscard(SessionHandle sessionHandle) {
    if (const auto forced = m_shared->config.ForcedFailure("discard")) {
        return *forced;
    }
    std::lock_guard lock(m_shared->mutex);
    Session* session = m_shared->FindSession(sessionHandle);
    if (session == nullptr) {
        return kInvalidArgument;
    }
    if (!session->enrolling) {
        return kInvalidOperation;
    }
    m_shared->CancelCapture(*session);
    session->enrolling = false;
    session->readyToCommit = false;
    return kOk;
}

StatusCode SimulatedService::DeleteTemplate(SessionHandle sessionHandle, UnitId unitId,
                                            const WINBIO_IDENTITY& identity, SubFactor subFactor) {
    if (const auto forced = m_shared->config.ForcedFailure("delete")) {
        return *forced;
    }
    const auto storedIdentity = SimulatedStore::IdentityOf(identity);
    if (!storedIdentity || !IsFinger(subFactor)) {
        return kInvalidArgument;
    }
    std::lock_guard lock(m_shared->mutex);
    if (m_shared->FindSession(sessionHandle) == nullptr) {
        return kInvalidArgument;
    }
    if (!m_shared->HasUnit(unitId)) {
        return kInvalidUnit;
    }
    return m_shared->store.Remove(unitId, *storedIdentity, subFactor);
}

StatusCode SimulatedService::Free() {
    if (const auto forced = m_shared->config.ForcedFailure("free")) {
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
