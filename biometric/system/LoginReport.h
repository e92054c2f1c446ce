// Which PAM services use the fingerprint, who manages them, and the report's lines.
#pragma once

#include <string>
#include <vector>

#include "PamManager.h"
#include "PamStackReader.h"
#include "SystemRoot.h"

struct ServiceLogin {
    std::string service;
    PamStackResult stack;
};

struct LoginReport {
    std::vector<ServiceLogin> services;
    PamManagerAdvice manager;

    bool AnyUsesFingerprint() const;
    // Some file could not be read, so an "off" may be wrong.
    bool AnyUnreadable() const;
};

// The services always asked about, then those of display managers and lock screens that exist.
LoginReport ReadLoginReport(const SystemRoot& root);

// "SERVICE<TAB>on|off<TAB>detail" per service, then the manager's line; escaped for a terminal,
// without line ends.
std::vector<std::string> LoginReportLines(const LoginReport& report);
// The detail of one service's line, unescaped.
std::string ServiceDetail(const PamStackResult& stack);
