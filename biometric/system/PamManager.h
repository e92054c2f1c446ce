// Who manages the PAM stacks here, and the one command that turns fingerprint login on.
#pragma once

#include <string>

#include "SystemRoot.h"

enum class PamManagerKind { kPamAuthUpdate, kAuthselect, kByHand };

struct PamManagerAdvice {
    PamManagerKind kind = PamManagerKind::kByHand;
    std::string name;     // "pam-auth-update", "authselect", "hand" (managed by ...)
    std::string state;    // what it says about the fingerprint now
    std::string command;  // run (or line added) to turn fingerprint login on
};

PamManagerAdvice DetectPamManager(const SystemRoot& root);
