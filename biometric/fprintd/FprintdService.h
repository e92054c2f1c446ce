// The biometric service answered by fprintd, the system's fingerprint daemon, over D-Bus.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

#include "BiometricBackend.h"
#include "FprintdTimeouts.h"

class FprintdWorker;
class QThread;

// The operations wait for fprintd on the back end's own thread, which owns the D-Bus connection
// and calls the capture callbacks; that thread never waits for the caller's. Needs a
// QCoreApplication from the first operation to destruction.
//
// Enrolling: EnrollBegin answers at once; the claim and EnrollStart follow on the back end's
// thread and may wait for a password prompt without any timeout. A refusal is the first
// capture's result. fprintd scans on its own, so its results are queued and each requested
// capture gets the next. A capture that sees no result for the capture timeout (counted while
// the reader scans) ends with kCaptureTimedOut. The reader is released as soon as an enrollment
// ends; the commit only reports what fprintd stored, and neither commit, discard nor cancel
// waits for fprintd. Before the claim, polkit is asked for the enroll action (a prompt holds no
// reader), and a finger fprintd already stores is never enrolled again: kDuplicateTemplate.
// A cancel that comes after fprintd completed the print hands out that completion.
//
// Verifying: VerifyWithCallback answers at once; polkit is asked for the verify action before
// the claim, then VerifyStart names the finger. A retry result answers the request with
// kBadCapture while fprintd verifies on, so the next request of the session for that finger
// gets the next result; a final one (or the verify timeout, counted while the reader scans)
// stops the verification and releases the reader. A finger fprintd does not store gives
// kDatabaseNoSuchRecord; a verification while the session's enrollment is open
// kEnrollmentInProgress.
//
// Deleting waits for the answer like the other operations, but keeps the caller's event loop
// running with all its events, so the window paints and can be closed while a password prompt
// is open; the caller must not start another operation meanwhile. Cancel on the deletion's
// session makes it return kCanceled at once; the reader is released in the background.
//
// Codes where the service leaves a choice: an unknown session handle, a finger outside 1..10
// or a null out-parameter give kInvalidArgument; an unknown unit kInvalidUnit, no reader at all
// kSensorUnavailable; a capture or commit without an open enrollment kInvalidOperation, a second
// capture while one waits kDataCollectionInProgress, a second EnrollBegin kEnrollmentInProgress.
// A malformed identity gives kInvalidIdentity and another user's kAccessDenied, without asking
// fprintd. An operation that waits for fprintd, called from within a capture callback, fails
// with kInvalidOperation instead of waiting for the thread it runs on.
class FprintdService : public BiometricBackend {
public:
    explicit FprintdService(FprintdTimeouts timeouts = {});
    // Stops running operations and waits at most the exit wait for the reader's release.
    ~FprintdService() override;

    FprintdService(const FprintdService&) = delete;
    FprintdService& operator=(const FprintdService&) = delete;

    // Returns at once: connects and asks fprintd, on the back end's thread, what opening a
    // session, listing the units and listing the user's fingers on `unit` will ask (unit 0:
    // no fingers), so that the caller can build its window meanwhile. Those operations then
    // wait only for what has not come yet; any other operation drops what they did not take.
    // `phase`, if any, is called on the back end's thread as each part is done.
    void BeginStartup(UnitId unit, void (*phase)(const char*) = nullptr);

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
    StatusCode VerifyWithCallback(SessionHandle sessionHandle, const WINBIO_IDENTITY& identity,
                                  SubFactor subFactor, VerifyCallback callback,
                                  void* context) override;
    StatusCode Free() override;
    // fprintd's num-enroll-stages of the latest enrollment, once read after its claim.
    StatusCode EnrollStageCount(SessionHandle sessionHandle, std::uint32_t* stageCount) override;

private:
    template <typename T>
    using Job = std::function<void(FprintdWorker&, std::function<void(T)>)>;

    void EnsureStarted();
    bool OnWorkerThread() const;
    // Runs the job on the back end's thread and waits for its answer; whenUnanswered if the
    // answer cannot come.
    template <typename T>
    T Ask(Job<T> job, T whenUnanswered, bool keepEventsRunning = false);

    const FprintdTimeouts m_timeouts;
    const std::shared_ptr<std::atomic<std::uint32_t>> m_stageCount;
    std::once_flag m_startOnce;
    QThread* m_thread = nullptr;
    FprintdWorker* m_worker = nullptr;
};

// Never null; when the system bus or fprintd cannot be reached, opening the session fails.
// VARNE_FPRINTD_CAPTURE_TIMEOUT_MS, VARNE_FPRINTD_VERIFY_TIMEOUT_MS and
// VARNE_FPRINTD_EXIT_WAIT_MS, positive numbers of milliseconds, change the capture timeout, the
// verify timeout and the exit wait; any other value keeps the default.
std::shared_ptr<FprintdService> CreateFprintdService();
