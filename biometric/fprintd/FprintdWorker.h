// The back end's own thread: sessions, the queue for the reader, and the operations on it.
#pragma once

#include <QObject>
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "FprintdAnswers.h"
#include "FprintdEarlyAnswers.h"
#include "FprintdLinks.h"
#include "FprintdReaderQueue.h"
#include "FprintdTimeouts.h"
#include "WinBio.h"

class FprintdAuthorization;
class FprintdBus;
class FprintdDeletion;
class FprintdEnrollment;
class FprintdReaders;
class FprintdVerifications;
class QString;

// Lives on its own thread and never waits: every D-Bus call is asynchronous and its reply
// continues the operation. The reader is claimed only for an enrollment, a verification or a
// deletion, and one user of the reader follows the other.
class FprintdWorker : public QObject {
    Q_OBJECT

public:
    FprintdWorker(FprintdTimeouts timeouts, std::shared_ptr<std::atomic<std::uint32_t>> stageCount);
    ~FprintdWorker() override;

    using PhaseHook = void (*)(const char* phase);
    // Asks what start-up will: fprintd reached, its readers, and the user's fingers on `unit`
    // (none for unit 0). The first operations that ask the same take these answers; any other
    // operation drops those not taken. `phase`, if any, is called here as each part is done.
    void FetchEarly(UnitId unit, PhaseHook phase);
    void OpenSession(Answer<SessionAnswer> answer);
    StatusCode CloseSession(SessionHandle session);
    StatusCode Cancel(SessionHandle session);
    void EnumUnits(Answer<UnitsAnswer> answer);
    void LocateSensor(SessionHandle session, Answer<UnitAnswer> answer);
    void EnumEnrollments(SessionHandle session, UnitId unit, const WINBIO_IDENTITY& identity,
                         Answer<FingersAnswer> answer);
    StatusCode EnrollBegin(SessionHandle session, SubFactor finger, UnitId unit);
    StatusCode EnrollCapture(SessionHandle session, EnrollCaptureCallback callback, void* context);
    StatusCode EnrollCommit(SessionHandle session);
    StatusCode EnrollDiscard(SessionHandle session);
    void DeleteTemplate(SessionHandle session, UnitId unit, const WINBIO_IDENTITY& identity,
                        SubFactor finger, Answer<StatusCode> answer);
    StatusCode VerifyWithCallback(SessionHandle session, const WINBIO_IDENTITY& identity,
                                  SubFactor finger, VerifyCallback callback, void* context);
    // Ends every operation and answers once the reader is released (or after the exit wait).
    void Shutdown(Answer<StatusCode> answer);
    // Drops everything; replies that come later find nobody. Nothing may be asked afterwards.
    void Teardown();

private:
    bool HasSession(SessionHandle session) const;
    FprintdLinks Links();
    void ListFingers(UnitId unit, const QString& user, Answer<FingersAnswer> answer);
    void ReaderFree();
    void OnEnrollStatus(const QString& daemon, const QString& path, const QString& result,
                        bool done);
    void OnDaemonGone(const QString& daemon);
    void Forget();
    std::shared_ptr<FprintdEnrollment> Current(SessionHandle session) const;

    const FprintdTimeouts m_timeouts;
    const std::shared_ptr<std::atomic<std::uint32_t>> m_stageCount;
    std::unique_ptr<FprintdBus> m_bus;
    std::unique_ptr<FprintdReaders> m_readers;
    std::unique_ptr<FprintdAuthorization> m_authorization;

    // Each open session with the unit LocateSensor gave it (0: fprintd's default reader).
    std::map<SessionHandle, UnitId> m_sessions;
    SessionHandle m_nextSession = 1;

    std::shared_ptr<FprintdEnrollment> m_current;  // the open enrollment, at most one
    // Every operation whose reader is not yet released.
    std::vector<std::shared_ptr<FprintdEnrollment>> m_enrollments;
    std::vector<std::shared_ptr<FprintdDeletion>> m_deletions;

    FprintdReaderQueue m_readerQueue;
    std::unique_ptr<FprintdVerifications> m_verifications;
    FprintdEarlyAnswers m_early;
};
