// A back end for tests: records every call, answers as told, delivers captures on demand.
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "BiometricBackend.h"

class FakeBackend : public BiometricBackend {
public:
    struct PendingCapture {
        EnrollCaptureCallback callback = nullptr;
        void* context = nullptr;
    };
    struct PendingVerification {
        VerifyCallback callback = nullptr;
        void* context = nullptr;
    };

    // Results to answer with, by operation name ("open", "close", "cancel", "units", "locate",
    // "enum", "begin", "capture", "commit", "discard", "delete", "free", "verify"); default kOk.
    std::map<std::string, StatusCode> results;
    std::vector<WINBIO_UNIT_SCHEMA> units;
    std::vector<SubFactor> enrollments;
    SessionHandle sessionToHandOut = 7;
    UnitId locatedUnit = 0;
    // The stage count's answer; a query is kept apart from Calls(), since it changes nothing.
    StatusCode stageCountStatus = kInvalidOperation;
    std::uint32_t stageCount = 0;

    // Every call in order, e.g. "open 8 1 0 0 1", "begin 7 2 1", "capture 7".
    std::vector<std::string> Calls() const;
    bool Called(const std::string& operation) const;
    void ClearCalls();

    bool HasPendingCapture() const;
    // Calls the pending capture's callback on the calling thread and clears it.
    void DeliverCapture(StatusCode status, RejectDetail detail = 0);
    // Takes the pending capture without delivering it (for tests that deliver from a thread).
    PendingCapture TakePendingCapture();

    bool HasPendingVerification() const;
    // Calls the pending verification's callback on the calling thread and clears it.
    void DeliverVerification(StatusCode status, bool match = false, RejectDetail detail = 0);

    // The thread of every stage-count query, in order.
    std::vector<std::thread::id> StageCountQueries() const;

    // The identity passed to the last listing or deletion.
    WINBIO_IDENTITY LastIdentity() const;

    StatusCode OpenSession(std::uint32_t factor, std::uint32_t poolType, std::uint32_t flags,
                           const UnitId* unitArray, std::size_t unitCount, std::uint32_t databaseId,
                           SessionHandle* sessionHandle) override;
    StatusCode CloseSession(SessionHandle sessionHandle) override;
    StatusCode Cancel(SessionHandle sessionHandle) override;
    StatusCode EnumBiometricUnits(std::uint32_t factor,
                                  std::vector<WINBIO_UNIT_SCHEMA>* unitsOut) override;
    StatusCode LocateSensor(SessionHandle sessionHandle, UnitId* unitId) override;
    StatusCode EnumEnrollments(SessionHandle sessionHandle, UnitId unitId,
                               const WINBIO_IDENTITY& identity,
                               std::vector<SubFactor>* subFactors) override;
    StatusCode EnrollBegin(SessionHandle sessionHandle, SubFactor subFactor,
                           UnitId unitId) override;
    StatusCode EnrollCapture(SessionHandle sessionHandle, EnrollCaptureCallback callback,
                             void* context) override;
    StatusCode EnrollCommit(SessionHandle sessionHandle, WINBIO_IDENTITY* identity,
                            std::uint8_t* isNewTemplate) override;
    StatusCode EnrollDiscard(SessionHandle sessionHandle) override;
    StatusCode DeleteTemplate(SessionHandle sessionHandle, UnitId unitId,
                              const WINBIO_IDENTITY& identity, SubFactor subFactor) override;
    StatusCode Free() override;
    StatusCode EnrollStageCount(SessionHandle sessionHandle, std::uint32_t* count) override;
    // Recorded as "verify 7 2": session and finger.
    StatusCode VerifyWithCallback(SessionHandle sessionHandle, const WINBIO_IDENTITY& identity,
                                  SubFactor subFactor, VerifyCallback callback,
                                  void* context) override;

private:
    StatusCode Record(const std::string& call, const std::string& operation);

    mutable std::mutex m_mutex;
    std::vector<std::string> m_calls;
    PendingCapture m_pending;
    PendingVerification m_pendingVerification;
    std::vector<std::thread::id> m_stageCountQueries;
    WINBIO_IDENTITY m_lastIdentity{};
};

// Installs a fresh FakeBackend for one test and uninstalls it afterwards.
class ScopedFakeBackend {
public:
    ScopedFakeBackend();
    ~ScopedFakeBackend();
    FakeBackend& operator*() const { return *m_backend; }
    FakeBackend* operator->() const { return m_backend.get(); }

private:
    std::shared_ptr<FakeBackend> m_backend;
};
