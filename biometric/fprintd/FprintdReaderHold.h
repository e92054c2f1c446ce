// What an enrollment or a verification holds of fprintd: its reader, polkit check and claim.
#pragma once

#include <QString>
#include <QVariantList>
#include <functional>

#include "FprintdAuthorization.h"
#include "FprintdBus.h"
#include "FprintdLinks.h"
#include "FprintdMapping.h"
#include "WinBio.h"

class QDBusMessage;

// The calls every user of the reader makes in the same way, each answering once from the event
// loop. Which of them is out, and what comes next, is the operation's own state.
class FprintdReaderHold {
public:
    using Reply = std::function<void(StatusCode error, const QDBusMessage& reply)>;

    // Unit 0 stands for fprintd's default reader. `readerFree` hands the reader to the next user.
    FprintdReaderHold(FprintdLinks links, UnitId unit, QString user,
                      std::function<void()> readerFree);

    // fprintd's name of a finger 1..10.
    static QString FingerName(SubFactor finger);

    UnitId Unit() const { return m_unit; }
    const QString& User() const { return m_user; }
    // Whether a signal or an owner change concerns the reader found.
    bool Is(const QString& daemon, const QString& path) const;
    bool IsDaemon(const QString& daemon) const { return !m_daemon.isEmpty() && daemon == m_daemon; }

    // The reader as fprintd lists it now; the calls below go to that instance of fprintd.
    void Find(std::function<void(StatusCode)> then);
    // Asks polkit while the reader is still free, so a prompt keeps it from nobody.
    void Authorize(FprintdAction action, std::function<void(StatusCode)> then);
    // Closes an open check's prompt; the check then answers as not granted.
    void CancelAuthorization();
    // fprintd went: true when it was the instance found, whose claim went with it. An open
    // check is closed, since its answer would serve nobody.
    bool Lost(const QString& daemon);
    void Claim(std::function<void(StatusCode)> then);
    // A call on the reader; its error, if any, mapped as for `call`.
    void Call(const QString& method, const QVariantList& arguments, Prompt prompt, FprintdCall call,
              Reply then);
    void ReadProperties(Reply then);
    void Stop(const QString& method, std::function<void()> stopped);
    void Release(std::function<void()> released);
    // The reader is free again: the next user's turn, once, and only after this one's came.
    void GiveBack();
    // The back end goes: nobody is left to take a turn.
    void Forget() { m_readerFree = nullptr; }

private:
    void Send(const CallTarget& target, const QString& method, const QVariantList& arguments,
              Prompt prompt, FprintdCall call, Reply then);

    const FprintdLinks m_links;
    UnitId m_unit;
    const QString m_user;
    std::function<void()> m_readerFree;
    QString m_daemon;
    QString m_path;
    bool m_hadTurn = false;
    QString m_checkId;  // of the open polkit check
};
