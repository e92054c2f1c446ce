// What "varne --check" prints: readers and enrolled fingers, fingerprint login per PAM service.
#include "LoginCheck.h"

#include "LoginReport.h"
#include "ReaderDiagnosis.h"
#include "Translation.h"

namespace {

constexpr const char* kProgramLead = "varne: ";
// TRANSLATORS: %s says why, e.g. "no fingerprint reader is connected: ...".
constexpr const char* kNoReaderLine = N_("no reader is listed: %s");
constexpr const char* kUnreadableNote =
    N_("some PAM files could not be read, so a service shown as off may use the fingerprint");

}  // namespace

ReaderListing CheckFingerprintLogin(ServiceKind service, const SystemRoot& root) {
    ReaderListing check = ListReaders(service, EnrolledFingersColumn::kShown);
    bool failed = check.exitCode != 0;
    if (check.noneListed) {
        // No reader is a finding here, not a failure: the report says why.
        failed = false;
        check.err.clear();
        for (const std::string& line : DiagnoseMissingReader(root).lines) {
            check.out += FillPlaceholders(Translate(kNoReaderLine), {{"%s", line}}) + "\n";
        }
    }
    const LoginReport login = ReadLoginReport(root);
    for (const std::string& line : LoginReportLines(login)) {
        check.out += line + "\n";
    }
    if (login.AnyUnreadable()) {
        check.err += std::string(kProgramLead) + Translate(kUnreadableNote) + "\n";
        failed = true;
    }
    if (failed) {
        check.exitCode = kExitCheckFailed;
    } else {
        check.exitCode =
            login.AnyUsesFingerprint() ? kExitLoginUsesFingerprint : kExitLoginWithoutFingerprint;
    }
    return check;
}
