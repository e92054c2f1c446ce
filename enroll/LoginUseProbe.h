// Whether the system's login uses the fingerprint, as the workflow asks it after an enrollment.
#pragma once

class LoginUseProbe {
public:
    virtual ~LoginUseProbe() = default;
    // Window's thread; may read files the first time, so it is asked only when the answer shows.
    virtual bool LoginUsesFingerprint() = 0;
};
