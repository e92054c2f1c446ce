// Whether login uses the fingerprint, read from the system's PAM files once, when first asked.
#include "CachedLoginProbe.h"

#include "LoginReport.h"

bool CachedLoginProbe::LoginUsesFingerprint() {
    if (!m_usesFingerprint) {
        // A stack that could not be read may well use it: no advice rather than a wrong one.
        const LoginReport report = ReadLoginReport(SystemRoot::FromEnvironment());
        m_usesFingerprint = report.AnyUsesFingerprint() || report.AnyUnreadable();
    }
    return *m_usesFingerprint;
}
