// A back end that forwards to another and tells the probe when each capture result is delivered.
#include "MeasuredBackend.h"

#include "BenchProbe.h"

MeasuredBackend::MeasuredBackend(std::shared_ptr<BiometricBackend> inner, BenchProbe& probe)
    : m_inner(std::move(inner)), m_probe(probe) {}

StatusCode MeasuredBackend::OpenSession(std::uint32_t factor, std::uint32_t poolType,
                                        std::uint32_t flags, const UnitId* unitArray,
                                        std::size_t unitCount, std::uint32_t databaseId,
                                        SessionHandle* sessionHandle) {
    return m_inner->OpenSession(factor, poolType, flags, unitArray, unitCount, databaseId,
                                sessionHandle);
}

StatusCode MeasuredBackend::CloseSession(SessionHandle sessionHandle) {
    return m_inner->CloseSession(sessionHandle);
}

StatusCode MeasuredBackend::Cancel(SessionHandle sessionHandle) {
    return m_inner->Cancel(sessionHandle);
}

StatusCode MeasuredBackend::EnumBiometricUnits(std::uint32_t factor,
                                               std::vector<WINBIO_UNIT_SCHEMA>* units) {
    return m_inner->EnumBiometricUnits(factor, units);
}

StatusCode MeasuredBackend::LocateSensor(SessionHandle sessionHandle, UnitId* unitId) {
    return m_inner->LocateSensor(sessionHandle, unitId);
}

StatusCode MeasuredBackend::EnumEnrollments(SessionHandle sessionHandle, UnitId unitId,
                                            const WINBIO_IDENTITY& identity,
                                            std::vector<SubFactor>* subFactors) {
    return m_inner->EnumEnrollments(sessionHandle, unitId, identity, subFactors);
}

StatusCode MeasuredBackend::EnrollBegin(SessionHandle sessionHandle, SubFactor subFactor,
                                        UnitId unitId) {
    return m_inner->EnrollBegin(sessionHandle, subFactor, unitId);
}

StatusCode MeasuredBackend::EnrollCapture(SessionHandle sessionHandle,
                                          EnrollCaptureCallback callback, void* context) {
    m_callback = callback;
    m_context = context;
    return m_inner->EnrollCapture(sessionHandle, &MeasuredBackend::Deliver, this);
}

void MeasuredBackend::Deliver(void* self, StatusCode operationStatus, RejectDetail rejectDetail) {
    auto& backend = *static_cast<MeasuredBackend*>(self);
    backend.m_probe.ResultDelivered();
    backend.m_callback(backend.m_context, operationStatus, rejectDetail);
}

StatusCode MeasuredBackend::EnrollCommit(SessionHandle sessionHandle, WINBIO_IDENTITY* identity,
                                         std::uint8_t* isNewTemplate) {
    return m_inner->EnrollCommit(sessionHandle, identity, isNewTemplate);
}

StatusCode MeasuredBackend::EnrollDiscard(SessionHandle sessionHandle) {
    return m_inner->EnrollDiscard(sessionHandle);
}

StatusCode MeasuredBackend::DeleteTemplate(SessionHandle sessionHandle, UnitId unitId,
                                           const WINBIO_IDENTITY& identity, SubFactor subFactor) {
    return m_inner->DeleteTemplate(sessionHandle, unitId, identity, subFactor);
}

StatusCode MeasuredBackend::Free() {
    return m_inner->Free();
}

StatusCode MeasuredBackend::EnrollStageCount(SessionHandle sessionHandle,
                                             std::uint32_t* stageCount) {
    return m_inner->EnrollStageCount(sessionHandle, stageCount);
}
