// A back end that forwards to another and tells the probe when each capture result is delivered.
#pragma once

#include <memory>

#include "BiometricBackend.h"

class BenchProbe;

class MeasuredBackend : public BiometricBackend {
public:
    MeasuredBackend(std::shared_ptr<BiometricBackend> inner, BenchProbe& probe);

    StatusCode OpenSession(std::uint32_t factor, std::uint32_t poolType, std::uint32_t flags,
                           const UnitId* unitArray, std::size_t unitCount, std::uint32_t databaseId,
                           SessionHandle* sessionHandle) override;
    StatusCode CloseSession(SessionHandle sessionHandle) override;
    StatusCode Cancel(SessionHandle sessionHandle) override;
    StatusCode EnumBiometricUnits(std::uint32_t factor,
                                  std::vector<WINBIO_UNIT_SCHEMA>* units) override;
    StatusCode LocateSensor(SessionHandle sessionHandle, UnitId* unitId) override;
    StatusCode EnumEnrollments(SessionHandle sessionHandle, UnitId unitId,
                               const WINBIO_IDENTITY& identity,
                               std::vector<SubFactor>* subFactors) override;
    StatusCode EnrollBegin(SessionHandle sessionHandle, SubFactor subFactor,
                           UnitId unitId) override;
    // The window's callback is called from the measuring one, right after the delivery stamp.
    StatusCode EnrollCapture(SessionHandle sessionHandle, EnrollCaptureCallback callback,
                             void* context) override;
    StatusCode EnrollCommit(SessionHandle sessionHandle, WINBIO_IDENTITY* identity,
                            std::uint8_t* isNewTemplate) override;
    StatusCode EnrollDiscard(SessionHandle sessionHandle) override;
    StatusCode DeleteTemplate(SessionHandle sessionHandle, UnitId unitId,
                              const WINBIO_IDENTITY& identity, SubFactor subFactor) override;
    StatusCode Free() override;
    StatusCode EnrollStageCount(SessionHandle sessionHandle, std::uint32_t* stageCount) override;

private:
    static void Deliver(void* self, StatusCode operationStatus, RejectDetail rejectDetail);

    std::shared_ptr<BiometricBackend> m_inner;
    BenchProbe& m_probe;
    // One capture is outstanding at a time; the inner back end hands these to its thread along
    // with the request, which orders the writes before the callback's reads.
    EnrollCaptureCallback m_callback = nullptr;
    void* m_context = nullptr;
};
