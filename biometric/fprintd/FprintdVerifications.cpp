// The back end's verifications: one open per session, each waiting for its turn at the reader.
#include "FprintdVerifications.h"

#include <algorithm>

#include "FprintdReaderQueue.h"
#include "FprintdVerification.h"

FprintdVerifications::FprintdVerifications(FprintdLinks links, FprintdReaderQueue& readerQueue,
                                           std::function<void()> readerFree)
    : m_links(links), m_readerQueue(readerQueue), m_readerFree(std::move(readerFree)) {}

std::shared_ptr<FprintdVerification> FprintdVerifications::Open(SessionHandle session) const {
    for (const auto& verification : m_verifications) {
        if (verification->Session() == session && !verification->Over()) {
            return verification;
        }
    }
    return nullptr;
}

StatusCode FprintdVerifications::Verify(SessionHandle session, UnitId unit, const QString& user,
                                        SubFactor finger, VerifyCallback callback, void* context) {
    if (const auto open = Open(session)) {
        if (open->Finger() == finger || open->Requested()) {
            return open->Request(callback, context);
        }
        open->Cancel();  // the caller moved on to another finger without asking for more
    }
    auto verification =
        std::make_shared<FprintdVerification>(m_links, session, unit, user, finger, m_readerFree);
    m_verifications.push_back(verification);
    const StatusCode status = verification->Request(callback, context);
    m_readerQueue.Acquire([this, verification] {
        if (verification->Released()) {
            m_readerFree();  // cancelled while it waited for its turn
            return;
        }
        verification->Start();
    });
    return status;
}

void FprintdVerifications::Cancel(SessionHandle session) {
    for (const auto& verification : std::vector(m_verifications)) {
        if (verification->Session() == session) {
            verification->Cancel();
        }
    }
    Forget();
}

void FprintdVerifications::CancelAll() {
    for (const auto& verification : std::vector(m_verifications)) {
        verification->Cancel();
    }
    Forget();
}

void FprintdVerifications::OnVerifyStatus(const QString& daemon, const QString& path,
                                          const QString& result, bool done) {
    for (const auto& verification : std::vector(m_verifications)) {
        verification->OnVerifyStatus(daemon, path, result, done);
    }
}

void FprintdVerifications::OnDaemonGone(const QString& daemon) {
    for (const auto& verification : std::vector(m_verifications)) {
        verification->OnDaemonGone(daemon);
    }
}

void FprintdVerifications::Forget() {
    // A released verification may still hold its final result for the next request.
    m_verifications.erase(std::remove_if(m_verifications.begin(), m_verifications.end(),
                                         [](const auto& verification) {
                                             return verification->Released() &&
                                                    verification->Over();
                                         }),
                          m_verifications.end());
}

void FprintdVerifications::TearDown() {
    const auto verifications = std::move(m_verifications);
    m_verifications.clear();
    for (const auto& verification : verifications) {
        verification->TearDown();
    }
}
