// The tests' handle on fake_fprintd.py: what the fake daemon plays next, and what it saw.
#pragma once

#include <QString>
#include <QStringList>
#include <QVariantList>
#include <cstdint>
#include <utility>
#include <vector>

#include "PrivateSystemBus.h"

class FakeFprintdControl {
public:
    // False when the fake cannot be reached (the test runs outside fake_fixture.py).
    bool Reachable();

    bool SetReaders(std::uint32_t count);
    bool SetScanType(const QString& scanType);
    bool SetEnrolled(const QStringList& names);
    // "*" as the path fails the method on every object.
    bool FailMethod(const QString& path, const QString& method, const QString& errorName);
    bool HoldRelease(bool hold);
    // Each reader's properties answer that much later, so reads sent together wait together.
    bool SetPropertyDelay(std::uint32_t milliseconds);
    // EnrollStart is followed by count enroll-stage-passed, then settleMs later by final.
    bool SetEnrollBurst(std::uint32_t count, std::uint32_t settleMs, const QString& final);

    // VerifyStart of an enrolled finger is followed by these VerifyStatus results.
    bool SetVerifyResults(const std::vector<std::pair<QString, bool>>& results);

    // CLOCK_MONOTONIC nanoseconds when the burst's final result went out; 0 before.
    std::uint64_t FinalEmittedAt();
    bool Claimed();
    std::uint32_t HeldReleases();

    // The reader leaves the device list and its object goes; AddReader's comes first in the list
    // under a path never used before (empty when the fake did not answer).
    bool RemoveReader(const QString& path);
    QString AddReader();
    // Claims wait unanswered while held; GrantHeldClaims answers them as if they came now.
    bool HoldClaim(bool hold);
    bool GrantHeldClaims();
    // Each call of a reader's method so far, oldest first.
    struct SeenCall {
        std::uint32_t instance = 0;  // 1, then one more after each Replace
        QString path;
        QString sender;  // the caller's unique name
    };
    std::vector<SeenCall> Calls(const QString& method);
    // A new instance of the daemon, with a unique name of its own, takes over the well-known
    // name, as when fprintd is restarted; true once it answers.
    bool Replace();

    static QString ReaderPath(std::uint32_t index);
    static const QString kManagerPath;

private:
    bool Call(const QString& method, const QVariantList& arguments, QVariant* result = nullptr);
    // fprintd's well-known name's unique owner; empty when nobody owns it.
    QString NameOwner();

    PrivateSystemBus m_bus{"fake-control"};
};
