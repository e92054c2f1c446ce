// Recording back end for tests.
#include "FakeBackend.h"

#include <string>
#include <utility>

namespace {

std::string Join(std::initializer_list<std::string> parts) {
    std::string line;
    for (const auto& part : parts) {
        line += line.empty() ? part : " " + part;
    }
    return line;
}

}  // namespace

std::vector<std::string> FakeBackend::Calls() const {
    std::lock_guard lock(m_mutex);
    return m_calls;
}

bool FakeBackend::Called(const std::string& operation) const {
    std::lock_guard lock(m_mutex);
    for (const auto& call : m_calls) {
        if (call == operation || call.rfind(operation + " ", 0) == 0) {
            return true;
        }
    }
    return false;
}

void FakeBackend::ClearCalls() {
    std::lock_guard lock(m_mutex);
    m_calls.clear();
}

bool FakeBackend::HasPendingCapture() const {
    std::lock_guard lock(m_mutex);
    return m_pending.callback != nullptr;
}

void FakeBackend::DeliverCapture(StatusCode status, RejectDetail detail) {
    const PendingCapture pending = TakePendingCapture();
    if (pending.callback != nullptr) {
        pending.callback(pending.context, status, detail);
    }
}

FakeBackend::PendingCapture FakeBackend::TakePendingCapture() {
    std::lock_guard lock(m_mutex);
    PendingCapture pending = m_pending;
    m_pending = {};
    return pending;
}

bool FakeBackend::HasPendingVerification() const {
    std::lock_guard lock(m_mutex);
    return m_pendingVerification.callback != nullptr;
}

void FakeBackend::DeliverVerification(StatusCode status, bool match, RejectDetail detail) {
    PendingVerification pending;
    {
        std::lock_guard lock(m_mutex);
        pending = std::exchange(m_pendingVerification, {});
    }
    if (pending.callback != nullptr) {
        pending.callback(pending.context, status, locatedUnit, match ? 1 : 0, detail);
    }
}

std::vector<std::thread::id> FakeBackend::StageCountQueries() const {
    std::lock_guard lock(m_mutex);
    return m_stageCountQueries;
}

WINBIO_IDENTITY FakeBackend::LastIdentity() const {
    std::lock_guard lock(m_mutex);
    return m_lastIdentity;
}

StatusCode FakeBackend::Record(const std::string& call, const std::string& operation) {
    std::lock_guard lock(m_mutex);
    m_calls.push_back(call);
    const auto found = results.find(operation);
    return found == results.end() ? kOk : found->second;
}

StatusCode FakeBackend::OpenSession(std::uint32_t factor, std::uint32_t poolType,
                                    std::uint32_t flags, const UnitId* unitArray,
                                    std::size_t unitCount, std::uint32_t databaseId,
                                    SessionHandle* sessionHandle) {
    const StatusCode status = Record(
        Join({"open", std::to_string(factor), std::to_string(poolType), std::to_string(flags),
              unitArray == nullptr ? "null" : "array", std::to_string(unitCount),
              std::to_string(databaseId), std::to_string(*sessionHandle)}),
        "open");
    if (status >= 0) {
        *sessionHandle = sessionToHandOut;
    }
    return status;
}

StatusCode FakeBackend::CloseSession(SessionHandle sessionHandle) {
    return Record(Join({"close", std::to_string(sessionHandle)}), "close");
}

StatusCode FakeBackend::Cancel(SessionHandle sessionHandle) {
    return Record(Join({"cancel", std::to_string(sessionHandle)}), "cancel");
}

StatusCode FakeBackend::EnumBiometricUnits(std::uint32_t factor,
                                           std::vector<WINBIO_UNIT_SCHEMA>* unitsOut) {
    const StatusCode status = Record(Join({"units", std::to_string(factor)}), "units");
    if (status >= 0) {
        *unitsOut = units;
    }
    return status;
}

StatusCode FakeBackend::LocateSensor(SessionHandle sessionHandle, UnitId* unitId) {
    const StatusCode status = Record(Join({"locate", std::to_string(sessionHandle)}), "locate");
    *unitId = locatedUnit;
    return status;
}

StatusCode FakeBackend::EnumEnrollments(SessionHandle sessionHandle, UnitId unitId,
                                        const WINBIO_IDENTITY& identity,
                                        std::vector<SubFactor>* subFactors) {
    const StatusCode status =
        Record(Join({"enum", std::to_string(sessionHandle), std::to_string(unitId)}), "enum");
    {
        std::lock_guard lock(m_mutex);
        m_lastIdentity = identity;
    }
    // The service answers "no results" with an empty list, like a real one.
    if (status >= 0 || status == kDatabaseNoResults || status == kUnknownId) {
        *subFactors = status >= 0 ? enrollments : std::vector<SubFactor>{};
    }
    return status;
}

StatusCode FakeBackend::EnrollBegin(SessionHandle sessionHandle, SubFactor subFactor,
                                    UnitId unitId) {
    return Record(Join({"begin", std::to_string(sessionHandle), std::to_string(subFactor),
                        std::to_string(unitId)}),
                  "begin");
}

StatusCode FakeBackend::EnrollCapture(SessionHandle sessionHandle, EnrollCaptureCallback callback,
                                      void* context) {
    const StatusCode status = Record(Join({"capture", std::to_string(sessionHandle)}), "capture");
    if (status >= 0) {
        std::lock_guard lock(m_mutex);
        m_pending = {callback, context};
    }
    return status;
}

StatusCode FakeBackend::EnrollCommit(SessionHandle sessionHandle, WINBIO_IDENTITY* identity,
                                     std::uint8_t* isNewTemplate) {
    const bool zeroed = identity != nullptr && identity->Type == 0 && identity->Size == 0;
    return Record(Join({"commit", std::to_string(sessionHandle), zeroed ? "zeroed" : "filled",
                        isNewTemplate != nullptr ? std::to_string(*isNewTemplate) : "null"}),
                  "commit");
}

StatusCode FakeBackend::EnrollDiscard(SessionHandle sessionHandle) {
    return Record(Join({"discard", std::to_string(sessionHandle)}), "discard");
}

StatusCode FakeBackend::DeleteTemplate(SessionHandle sessionHandle, UnitId unitId,
                                       const WINBIO_IDENTITY& identity, SubFactor subFactor) {
    {
        std::lock_guard lock(m_mutex);
        m_lastIdentity = identity;
    }
    return Record(Join({"delete", std::to_string(sessionHandle), std::to_string(unitId),
                        std::to_string(subFactor)}),
                  "delete");
}

StatusCode FakeBackend::Free() {
    return Record("free", "free");
}

StatusCode FakeBackend::EnrollStageCount(SessionHandle /*sessionHandle*/, std::uint32_t* count) {
    std::lock_guard lock(m_mutex);
    m_stageCountQueries.push_back(std::this_thread::get_id());
    if (stageCountStatus >= 0) {
        *count = stageCount;
    }
    return stageCountStatus;
}

ScopedFakeBackend::ScopedFakeBackend() : m_backend(std::make_shared<FakeBackend>()) {
    InstallBiometricBackend(m_backend);
}

ScopedFakeBackend::~ScopedFakeBackend() {
    InstallBiometricBackend(nullptr);
}

StatusCode FakeBackend::VerifyWithCallback(SessionHandle sessionHandle,
                                           const WINBIO_IDENTITY& identity, SubFactor subFactor,
                                           VerifyCallback callback, void* context) {
    const StatusCode status = Record(
        Join({"verify", std::to_string(sessionHandle), std::to_string(subFactor)}), "verify");
    std::lock_guard lock(m_mutex);
    m_lastIdentity = identity;
    if (status >= 0) {
        m_pendingVerification = {callback, context};
    }
    return status;
}
