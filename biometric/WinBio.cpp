// Forwards the service's operations to the installed back end and owns the returned arrays.
#include "WinBio.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <utility>
#include <vector>

#include "BiometricBackend.h"

namespace {

std::mutex g_backendMutex;
std::shared_ptr<BiometricBackend> g_backend;

template <typename T>
T* CopyToServiceArray(const std::vector<T>& items) {
    if (items.empty()) {
        return nullptr;
    }
    auto* array = static_cast<T*>(std::malloc(sizeof(T) * items.size()));
    if (array != nullptr) {
        std::memcpy(array, items.data(), sizeof(T) * items.size());
    }
    return array;
}

}  // namespace

void InstallBiometricBackend(std::shared_ptr<BiometricBackend> backend) {
    std::shared_ptr<BiometricBackend> previous;
    {
        std::lock_guard lock(g_backendMutex);
        previous = std::exchange(g_backend, std::move(backend));
    }
    // Released outside the lock: a back end's shutdown may wait for callbacks that call in.
}

std::shared_ptr<BiometricBackend> InstalledBiometricBackend() {
    std::lock_guard lock(g_backendMutex);
    return g_backend;
}

StatusCode WinBioOpenSession(std::uint32_t factor, std::uint32_t poolType, std::uint32_t flags,
                             UnitId* unitArray, std::size_t unitCount, std::uint32_t databaseId,
                             SessionHandle* sessionHandle) {
    auto backend = InstalledBiometricBackend();
    if (!backend || sessionHandle == nullptr) {
        return backend ? kInvalidArgument : kUnspecifiedFailure;
    }
    return backend->OpenSession(factor, poolType, flags, unitArray, unitCount, databaseId,
                                sessionHandle);
}

StatusCode WinBioCloseSession(SessionHandle sessionHandle) {
    auto backend = InstalledBiometricBackend();
    return backend ? backend->CloseSession(sessionHandle) : kUnspecifiedFailure;
}

StatusCode WinBioCancel(SessionHandle sessionHandle) {
    auto backend = InstalledBiometricBackend();
    return backend ? backend->Cancel(sessionHandle) : kUnspecifiedFailure;
}

StatusCode WinBioEnumBiometricUnits(std::uint32_t factor, WINBIO_UNIT_SCHEMA** unitSchemaArray,
                                    std::size_t* unitCount) {
    auto backend = InstalledBiometricBackend();
    if (!backend || unitSchemaArray == nullptr || unitCount == nullptr) {
        return backend ? kInvalidArgument : kUnspecifiedFailure;
    }
    *unitSchemaArray = nullptr;
    *unitCount = 0;
    std::vector<WINBIO_UNIT_SCHEMA> units;
    const StatusCode status = backend->EnumBiometricUnits(factor, &units);
    if (status < 0) {
        return status;
    }
    *unitSchemaArray = CopyToServiceArray(units);
    *unitCount = *unitSchemaArray != nullptr ? units.size() : 0;
    return status;
}

StatusCode WinBioLocateSensor(SessionHandle sessionHandle, UnitId* unitId) {
    auto backend = InstalledBiometricBackend();
    if (!backend || unitId == nullptr) {
        return backend ? kInvalidArgument : kUnspecifiedFailure;
    }
    return backend->LocateSensor(sessionHandle, unitId);
}

StatusCode WinBioEnumEnrollments(SessionHandle sessionHandle, UnitId unitId,
                                 WINBIO_IDENTITY* identity, SubFactor** subFactorArray,
                                 std::uint64_t* subFactorCount) {
    auto backend = InstalledBiometricBackend();
    if (!backend || identity == nullptr || subFactorArray == nullptr || subFactorCount == nullptr) {
        return backend ? kInvalidArgument : kUnspecifiedFailure;
    }
    *subFactorArray = nullptr;
    *subFactorCount = 0;
    std::vector<SubFactor> subFactors;
    const StatusCode status =
        backend->EnumEnrollments(sessionHandle, unitId, *identity, &subFactors);
    if (status < 0) {
        return status;
    }
    *subFactorArray = CopyToServiceArray(subFactors);
    *subFactorCount = *subFactorArray != nullptr ? subFactors.size() : 0;
    return status;
}

StatusCode WinBioEnrollBegin(SessionHandle sessionHandle, SubFactor subFactor, UnitId unitId) {
    auto backend = InstalledBiometricBackend();
    return backend ? backend->EnrollBegin(sessionHandle, subFactor, unitId) : kUnspecifiedFailure;
}

StatusCode WinBioEnrollCaptureWithCallback(SessionHandle sessionHandle,
                                           EnrollCaptureCallback captureCallback,
                                           void* captureCallbackContext) {
    auto backend = InstalledBiometricBackend();
    if (!backend || captureCallback == nullptr) {
        return backend ? kInvalidArgument : kUnspecifiedFailure;
    }
    return backend->EnrollCapture(sessionHandle, captureCallback, captureCallbackContext);
}

StatusCode WinBioEnrollCommit(SessionHandle sessionHandle, WINBIO_IDENTITY* identity,
                              std::uint8_t* isNewTemplate) {
    auto backend = InstalledBiometricBackend();
    return backend ? backend->EnrollCommit(sessionHandle, identity, isNewTemplate)
                   : kUnspecifiedFailure;
}

StatusCode WinBioEnrollDiscard(SessionHandle sessionHandle) {
    auto backend = InstalledBiometricBackend();
    return backend ? backend->EnrollDiscard(sessionHandle) : kUnspecifiedFailure;
}

StatusCode WinBioDeleteTemplate(SessionHandle sessionHandle, UnitId unitId,
                                WINBIO_IDENTITY* identity, SubFactor subFactor) {
    auto backend = InstalledBiometricBackend();
    if (!backend || identity == nullptr) {
        return backend ? kInvalidArgument : kUnspecifiedFailure;
    }
    return backend->DeleteTemplate(sessionHandle, unitId, *identity, subFactor);
}

StatusCode WinBioFree(void* address) {
    if (address == nullptr) {
        return kInvalidArgument;
    }
    auto backend = InstalledBiometricBackend();
    const StatusCode status = backend ? backend->Free() : kOk;
    std::free(address);
    return status;
}

StatusCode WinBioEnrollStageCount(SessionHandle sessionHandle, std::uint32_t* stageCount) {
    auto backend = InstalledBiometricBackend();
    if (!backend || stageCount == nullptr) {
        return backend ? kInvalidArgument : kUnspecifiedFailure;
    }
    return backend->EnrollStageCount(sessionHandle, stageCount);
}

StatusCode WinBioVerifyWithCallback(SessionHandle sessionHandle, WINBIO_IDENTITY* identity,
                                    SubFactor subFactor, VerifyCallback verifyCallback,
                                    void* verifyCallbackContext) {
    auto backend = InstalledBiometricBackend();
    if (!backend || identity == nullptr || verifyCallback == nullptr) {
        return backend ? kInvalidArgument : kUnspecifiedFailure;
    }
    return backend->VerifyWithCallback(sessionHandle, *identity, subFactor, verifyCallback,
                                       verifyCallbackContext);
}
