// The biometric service answered by fprintd, the system's fingerprint daemon, over D-Bus.
#pragma once

#include <memory>

#include "BiometricBackend.h"

// Never null; when the system bus or fprintd cannot be reached, opening the session fails.
std::shared_ptr<BiometricBackend> CreateFprintdService();
