// The back end's own thread: the D-Bus connection to fprintd, its proxies, signals and calls.
#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QString>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "WinBio.h"

class FprintDeviceProxy;
class FprintManagerProxy;
class QDBusPendingCall;
class QDBusServiceWatcher;
class QTimer;

// Each answer is called once, on the worker's thread.
template <typename T>
using Answer = std::function<void(T)>;

struct SessionAnswer {
    StatusCode status = kOk;
    SessionHandle handle = 0;
};

struct UnitsAnswer {
    StatusCode status = kOk;
    std::vector<WINBIO_UNIT_SCHEMA> units;
};

struct UnitAnswer {
    StatusCode status = kOk;
    UnitId unit = 0;
};

struct FingersAnswer {
    StatusCode status = kOk;
    std::vector<SubFactor> fingers;
};

// Lives on its own thread and never waits: every D-Bus call is asynchronous and its reply
// continues the operation. The reader is claimed only from EnrollBegin (or a deletion) to the
// end of that enrollment (or deletion), and one user of the reader follows the other.
class FprintdWorker : public QObject {
    Q_OBJECT

public:
    FprintdWorker(std::chrono::milliseconds captureTimeout,
                  std::shared_ptr<std::atomic<std::uint32_t>> stageCount);
    ~FprintdWorker() override;

    void OpenSession(Answer<SessionAnswer> answer);
    StatusCode CloseSession(SessionHandle session);
    StatusCode Cancel(SessionHandle session);
    void EnumUnits(Answer<UnitsAnswer> answer);
    void LocateSensor(SessionHandle session, Answer<UnitAnswer> answer);
    void EnumEnrollments(SessionHandle session, UnitId unit, const WINBIO_IDENTITY& identity,
                         Answer<FingersAnswer> answer);
    StatusCode EnrollBegin(SessionHandle session, SubFactor finger, UnitId unit);
    StatusCode EnrollCapture(SessionHandle session, EnrollCaptureCallback callback, void* context);
    void EnrollCommit(SessionHandle session, Answer<StatusCode> answer);
    void EnrollDiscard(SessionHandle session, Answer<StatusCode> answer);
    void DeleteTemplate(SessionHandle session, UnitId unit, const WINBIO_IDENTITY& identity,
                        SubFactor finger, Answer<StatusCode> answer);
    // Ends every enrollment and answers once the reader is released (or after a short wait).
    void Shutdown(Answer<StatusCode> answer);
    // Drops the proxies and the connection; nothing may be asked afterwards.
    void Teardown();

private:
    struct CaptureResult {
        StatusCode status = kOk;
        RejectDetail rejectDetail = 0;
    };
    struct PendingCapture {
        EnrollCaptureCallback callback = nullptr;
        void* context = nullptr;
    };
    struct Run;
    using RunPtr = std::shared_ptr<Run>;
    using Reply = std::function<void(const QDBusMessage&)>;

    bool EnsureBus();
    bool HasSession(SessionHandle session) const;
    FprintManagerProxy& Manager();
    FprintDeviceProxy& Device(const QString& path);
    void OnOwnerChanged(const QString& service, const QString& oldOwner, const QString& newOwner);
    void OnEnrollStatus(const QString& path, const QString& result, bool done);
    void OnCaptureDeadline();

    void Call(const QDBusPendingCall& call, Reply reply);
    void CallAllowingPrompt(const QString& path, const QString& method, const QString& argument,
                            Reply reply);
    void ResolveDevice(UnitId unit, std::function<void(StatusCode, QString)> then);

    // The reader is used by one enrollment or deletion at a time, in the order they came.
    void AcquireReader(std::function<void()> turn);
    void FreeReader();

    void ClaimForEnrollment(const RunPtr& run);
    void ReadStagesAndStart(const RunPtr& run);
    void StartEnrolling(const RunPtr& run);
    void EndRun(const RunPtr& run, CaptureResult result, StatusCode commitStatus);
    void CancelRun(const RunPtr& run);
    void FinishRun(const RunPtr& run);
    void StopAndRelease(const RunPtr& run);
    void SendStop(const RunPtr& run);
    void SendRelease(const RunPtr& run);
    void CompleteRelease(const RunPtr& run);
    void NotifyReleased(const RunPtr& run);
    void WhenReleased(const RunPtr& run, std::function<void()> then);
    void DeliverLater(const RunPtr& run);
    void Deliver(const RunPtr& run);
    void StartDeadlineIfWaiting(const RunPtr& run);

    const std::chrono::milliseconds m_captureTimeout;
    const std::shared_ptr<std::atomic<std::uint32_t>> m_stageCount;
    const QString m_connectionName;
    std::optional<QDBusConnection> m_bus;
    QDBusServiceWatcher* m_ownerWatcher = nullptr;
    std::unique_ptr<FprintManagerProxy> m_manager;
    std::map<QString, std::unique_ptr<FprintDeviceProxy>> m_devices;
    // Counts the daemon's lives: a reply from an earlier one holds no claim.
    std::uint64_t m_daemonLife = 0;

    std::set<SessionHandle> m_sessions;
    SessionHandle m_nextSession = 1;

    RunPtr m_current;            // the open enrollment, at most one
    std::vector<RunPtr> m_runs;  // every enrollment whose reader is not yet released
    std::uint64_t m_nextRunId = 1;

    bool m_readerBusy = false;
    std::deque<std::function<void()>> m_readerQueue;

    QTimer* m_captureDeadline = nullptr;
};
