// The biometric service answered by fprintd, the system's fingerprint daemon, over D-Bus.
#include "FprintdService.h"

namespace {

// Placeholder until the D-Bus back end lands: every operation reports the daemon unreachable.
class UnreachableFprintdService : public BiometricBackend {
public:
    StatusCode OpenSession(std::uint32_t, std::uint32_t, std::uint32_t, const UnitId*, std::size_t,
                           std::uint32_t, SessionHandle*) override {
        return kSensorUnavailable;
    }
    StatusCode CloseSession(SessionHandle) override { return kSensorUnavailable; }
    StatusCode Cancel(SessionHandle) override { return kSensorUnavailable; }
    StatusCode EnumBiometricUnits(std::uint32_t, std::vector<WINBIO_UNIT_SCHEMA>*) override {
        return kSensorUnavailable;
    }
    StatusCode LocateSensor(SessionHandle, UnitId*) override { return kSensorUnavailable; }
    StatusCode EnumEnrollments(SessionHandle, UnitId, const WINBIO_IDENTITY&,
                               std::vector<SubFactor>*) override {
        return kSensorUnavailable;
    }
    StatusCode EnrollBegin(SessionHandle, SubFactor, UnitId) override { return kSensorUnavailable; }
    StatusCode EnrollCapture(SessionHandle, EnrollCaptureCallback, void*) override {
        return kSensorUnavailable;
    }
    StatusCode EnrollCommit(SessionHandle, WINBIO_IDENTITY*, std::uint8_t*) override {
        return kSensorUnavailable;
    }
    StatusCode EnrollDiscard(SessionHandle) override { return kSensorUnavailable; }
    StatusCode DeleteTemplate(SessionHandle, UnitId, const WINBIO_IDENTITY&, SubFactor) override {
        return kSensorUnavailable;
    }
    StatusCode Free() override { return kOk; }
};

}  // namespace

std::shared_ptr<BiometricBackend> CreateFprintdService() {
    return std::make_shared<UnreachableFprintdService>();
}
