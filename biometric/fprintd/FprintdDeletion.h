// One deletion of a stored finger on fprintd, from its turn at the reader until the release.
#pragma once

#include <QString>
#include <functional>
#include <memory>

#include "FprintdLinks.h"
#include "WinBio.h"

class QDBusMessage;

// Where the deletion is on fprintd's side; the stage names the call that is out, if any.
enum class DeleteStage {
    kWaitingForReader,
    kFindingReader,
    kAuthorizing,
    kClaiming,
    kDeleting,
    kReleasing,
    kReleased,
};

class FprintdDeletion : public std::enable_shared_from_this<FprintdDeletion> {
public:
    // `answer` hears the outcome once the reader is released again, or kCanceled at once when
    // the deletion is cancelled; `readerFree` once the reader is free.
    FprintdDeletion(FprintdLinks links, SessionHandle session, UnitId unit, QString user,
                    QString finger, std::function<void(StatusCode)> answer,
                    std::function<void()> readerFree);

    SessionHandle Session() const { return m_session; }
    DeleteStage Stage() const { return m_stage; }
    bool Released() const { return m_stage == DeleteStage::kReleased; }

    void Start();
    // The caller stops waiting now; fprintd's side is stopped or finished, and the reader
    // released, in the background.
    void Cancel();
    void OnDaemonGone(const QString& daemon);
    void TearDown();

private:
    // The one way on after every reply.
    bool Continue(DeleteStage sentAt, StatusCode error);
    void Authorize();
    void Claim();
    void Delete();
    void End(StatusCode status, bool claimed);
    void Release();
    void Finish();
    void Answer(StatusCode status);

    const FprintdLinks m_links;
    const SessionHandle m_session;
    const UnitId m_unit;
    const QString m_user;
    const QString m_finger;
    std::function<void(StatusCode)> m_answer;
    std::function<void()> m_readerFree;

    DeleteStage m_stage = DeleteStage::kWaitingForReader;
    StatusCode m_status = kOk;
    QString m_daemon;
    QString m_path;
    QString m_checkId;
};
