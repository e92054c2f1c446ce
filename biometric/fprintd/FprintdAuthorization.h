// Asking polkit for the right to enroll or verify before the reader is claimed.
#pragma once

#include <QString>
#include <functional>

#include "WinBio.h"

class FprintdBus;

// fprintd's polkit actions: enrolling and deleting need kEnroll, verifying kVerify.
enum class FprintdAction { kEnroll, kVerify };

// fprintd asks polkit itself once it holds the claim; a password prompt then keeps the reader
// from everybody for as long as it stays open. Asked first, while the reader is free, the
// answer is kept for a few minutes, so fprintd's own check passes without a second prompt.
class FprintdAuthorization {
public:
    explicit FprintdAuthorization(FprintdBus& bus);

    // Asks for the action, allowing a prompt and without a reply timeout: kOk when granted,
    // kAccessDenied when refused, dismissed or cancelled, or when polkit fails. Returns the id
    // that cancels this check.
    QString Check(FprintdAction action, std::function<void(StatusCode)> answer);
    // Closes the check's prompt; the check then answers as not granted.
    void Cancel(const QString& id);

private:
    FprintdBus& m_bus;
};
