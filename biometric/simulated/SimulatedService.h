// The simulated sensor: a back end that runs anywhere, scripted from the environment.
#pragma once

#include <memory>
#include <string>
#include <thread>

#include "BiometricBackend.h"
#include "SimulatedConfig.h"

// Capture results come on the service's own worker thread, never while its lock is held, so a
// callback may call back into the service. Every accepted capture or verification gets exactly
// one callback: its scripted result, or kCanceled from Cancel, EnrollDiscard, CloseSession or
// destruction. A verification takes the next scripted result as a capture does ("ok" or "match"
// is a match); once the script has run out it ends with kCaptureTimedOut after 30 s. It checks
// the finger on the first unit where it is enrolled, and fails at once with
// kDatabaseNoSuchRecord where it is enrolled on none; kEnrollmentInProgress while the session
// has an enrollment open.
// Destruction waits for the remaining callbacks, so a callback must not wait for the thread
// that destroys the service.
//
// Codes where the real service leaves a choice: an unknown session handle, a sub-factor outside
// 1..10 or a null out-parameter give kInvalidArgument; a unit that is not listed gives
// kInvalidUnit; a second capture while one is pending, or a commit while one is pending, gives
// kDataCollectionInProgress; capture, commit or discard without an open enrollment, and a
// commit before a capture answered 0, give kInvalidOperation. A refused commit keeps the
// enrollment open, as the real service does.
class SimulatedService : public BiometricBackend {
public:
    explicit SimulatedService(SimulatedConfig config);
    ~SimulatedService() override;

    SimulatedService(const SimulatedService&) = delete;
    SimulatedService& operator=(const SimulatedService&) = delete;

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
    StatusCode EnrollCapture(SessionHandle sessionHandle, EnrollCaptureCallback callback,
                             void* context) override;
    StatusCode EnrollCommit(SessionHandle sessionHandle, WINBIO_IDENTITY* identity,
                            std::uint8_t* isNewTemplate) override;
    StatusCode EnrollDiscard(SessionHandle sessionHandle) override;
    StatusCode DeleteTemplate(SessionHandle sessionHandle, UnitId unitId,
                              const WINBIO_IDENTITY& identity, SubFactor subFactor) override;
    StatusCode Free() override;
    StatusCode VerifyWithCallback(SessionHandle sessionHandle, const WINBIO_IDENTITY& identity,
                                  SubFactor subFactor, VerifyCallback callback,
                                  void* context) override;

private:
    struct SensorState;

    std::shared_ptr<SensorState> m_sensor;
    std::thread m_worker;
};

// The app's back end: null and a message naming the variable and item when one is malformed.
std::shared_ptr<BiometricBackend> CreateSimulatedServiceFromEnvironment(std::string* errorMessage);
// The same from given variables instead of the environment (for tests).
std::shared_ptr<BiometricBackend> CreateSimulatedService(
    const SimulatedConfig::Variables& variables, std::string* errorMessage);
