// One implementation of the biometric service: the operations behind the WinBio* calls.
#pragma once

#include <cstdint>
#include <vector>

#include "WinBio.h"

// Arrays come back as vectors; the forwarding layer turns them into service-owned arrays.
// EnrollCapture must return at once and later call the callback exactly once, on a thread
// other than the caller's, unless it returned a failure.
class BiometricBackend {
public:
    virtual ~BiometricBackend() = default;

    virtual StatusCode OpenSession(std::uint32_t factor, std::uint32_t poolType,
                                   std::uint32_t flags, const UnitId* unitArray,
                                   std::size_t unitCount, std::uint32_t databaseId,
                                   SessionHandle* sessionHandle) = 0;
    virtual StatusCode CloseSession(SessionHandle sessionHandle) = 0;
    virtual StatusCode Cancel(SessionHandle sessionHandle) = 0;
    virtual StatusCode EnumBiometricUnits(std::uint32_t factor,
                                          std::vector<WINBIO_UNIT_SCHEMA>* units) = 0;
    virtual StatusCode LocateSensor(SessionHandle sessionHandle, UnitId* unitId) = 0;
    virtual StatusCode EnumEnrollments(SessionHandle sessionHandle, UnitId unitId,
                                       const WINBIO_IDENTITY& identity,
                                       std::vector<SubFactor>* subFactors) = 0;
    virtual StatusCode EnrollBegin(SessionHandle sessionHandle, SubFactor subFactor,
                                   UnitId unitId) = 0;
    virtual StatusCode EnrollCapture(SessionHandle sessionHandle, EnrollCaptureCallback callback,
                                     void* context) = 0;
    virtual StatusCode EnrollCommit(SessionHandle sessionHandle, WINBIO_IDENTITY* identity,
                                    std::uint8_t* isNewTemplate) = 0;
    virtual StatusCode EnrollDiscard(SessionHandle sessionHandle) = 0;
    virtual StatusCode DeleteTemplate(SessionHandle sessionHandle, UnitId unitId,
                                      const WINBIO_IDENTITY& identity, SubFactor subFactor) = 0;
    // The status of handing a returned array back; the memory is released regardless.
    virtual StatusCode Free() = 0;
    // Beyond the service's own operations: back ends that do not know the number of stages keep
    // the default, and the window then shows its fixed range.
    virtual StatusCode EnrollStageCount(SessionHandle /*sessionHandle*/,
                                        std::uint32_t* /*stageCount*/) {
        return kInvalidOperation;
    }
    // Same rules as EnrollCapture; back ends that cannot verify keep the default.
    virtual StatusCode VerifyWithCallback(SessionHandle /*sessionHandle*/,
                                          const WINBIO_IDENTITY& /*identity*/,
                                          SubFactor /*subFactor*/, VerifyCallback /*callback*/,
                                          void* /*context*/) {
        return kInvalidOperation;
    }
};
