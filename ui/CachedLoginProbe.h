// Whether login uses the fingerprint, read from the system's PAM files once, when first asked.
#pragma once

#include <optional>

#include "LoginUseProbe.h"

class CachedLoginProbe : public LoginUseProbe {
public:
    bool LoginUsesFingerprint() override;

private:
    std::optional<bool> m_usesFingerprint;
};
