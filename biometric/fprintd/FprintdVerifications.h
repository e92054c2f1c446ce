// The back end's verifications: one open per session, each waiting for its turn at the reader.
#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <vector>

#include "FprintdLinks.h"
#include "WinBio.h"

class FprintdReaderQueue;
class FprintdVerification;

// Lives on the back end's thread with the worker, which forwards to it.
class FprintdVerifications {
public:
    // `readerFree` is the worker's: a verification is done with the reader.
    FprintdVerifications(FprintdLinks links, FprintdReaderQueue& readerQueue,
                         std::function<void()> readerFree);

    // The session's open verification of that finger takes the request (fprintd verifies on
    // after a retry); otherwise a new one queues for the reader.
    StatusCode Verify(SessionHandle session, UnitId unit, const QString& user, SubFactor finger,
                      VerifyCallback callback, void* context);
    void Cancel(SessionHandle session);
    void CancelAll();
    void OnVerifyStatus(const QString& daemon, const QString& path, const QString& result,
                        bool done);
    void OnDaemonGone(const QString& daemon);
    // Drops those whose reader is released.
    void Forget();
    bool Idle() const { return m_verifications.empty(); }
    void TearDown();

private:
    std::shared_ptr<FprintdVerification> Open(SessionHandle session) const;

    const FprintdLinks m_links;
    FprintdReaderQueue& m_readerQueue;
    const std::function<void()> m_readerFree;
    // Every verification whose reader is not yet released.
    std::vector<std::shared_ptr<FprintdVerification>> m_verifications;
};
