// Who manages the PAM stacks here, and the one command that turns fingerprint login on.
#include "PamManager.h"

#include <filesystem>
#include <sstream>
#include <string_view>

#include "SystemFile.h"
#include "Translation.h"

namespace {

constexpr std::string_view kAuthselectConfig = "/etc/authselect/authselect.conf";
constexpr std::string_view kAuthselectFeature = "with-fingerprint";
constexpr std::string_view kPamConfigsDirectory = "/usr/share/pam-configs";
constexpr std::string_view kFprintdProfile = "/usr/share/pam-configs/fprintd";
constexpr std::string_view kPamAuthState = "/var/lib/pam/auth";
constexpr std::string_view kFprintdProfileLine = "Module: fprintd";
constexpr std::string_view kSystemAuth = "/etc/pam.d/system-auth";
constexpr std::string_view kCommonAuth = "/etc/pam.d/common-auth";
constexpr std::string_view kHandLine = "auth sufficient pam_fprintd.so";

std::string Trimmed(std::string line) {
    const auto first = line.find_first_not_of(" \t\r");
    const auto last = line.find_last_not_of(" \t\r");
    return first == std::string::npos ? std::string() : line.substr(first, last - first + 1);
}

// authselect.conf: the profile on the first line that is not a comment, then one feature a line.
bool ReadAuthselect(const SystemFile& file, PamManagerAdvice& advice) {
    std::istringstream lines(file.text);
    std::string line;
    std::string profile;
    bool featureOn = false;
    while (std::getline(lines, line)) {
        line = Trimmed(line);
        if (line.empty() || line.front() == '#') {
            continue;
        }
        if (profile.empty()) {
            profile = line;
        } else if (line == kAuthselectFeature) {
            featureOn = true;
        }
    }
    if (profile.empty()) {
        return false;
    }
    advice.kind = PamManagerKind::kAuthselect;
    advice.name = "authselect";
    // TRANSLATORS: %1$s is the authselect profile, %2$s the feature's name.
    advice.state = FillPlaceholders(featureOn ? Translate("profile %1$s, feature %2$s on")
                                              : Translate("profile %1$s, feature %2$s off"),
                                    {{"%1$s", profile}, {"%2$s", std::string(kAuthselectFeature)}});
    advice.command = "sudo authselect enable-feature ";
    advice.command += kAuthselectFeature;
    return true;
}

bool ProfileEnabled(const SystemRoot& root) {
    const SystemFile state = ReadSystemFile(root.Resolve(kPamAuthState));
    std::istringstream lines(state.text);
    std::string line;
    while (std::getline(lines, line)) {
        if (Trimmed(line) == kFprintdProfileLine) {
            return true;
        }
    }
    return false;
}

void ReadPamAuthUpdate(const SystemRoot& root, PamManagerAdvice& advice) {
    advice.kind = PamManagerKind::kPamAuthUpdate;
    advice.name = "pam-auth-update";
    std::error_code error;
    if (!std::filesystem::exists(root.Resolve(kFprintdProfile), error)) {
        advice.state = Translate("no fprintd profile: libpam-fprintd is not installed");
        advice.command = "sudo apt install libpam-fprintd && sudo pam-auth-update --enable fprintd";
        return;
    }
    advice.state =
        ProfileEnabled(root) ? Translate("profile fprintd on") : Translate("profile fprintd off");
    advice.command = "sudo pam-auth-update --enable fprintd";
}

void AdviseByHand(const SystemRoot& root, PamManagerAdvice& advice) {
    advice.kind = PamManagerKind::kByHand;
    advice.name = "hand";
    std::error_code error;
    std::string_view file = "/etc/pam.d/SERVICE";
    if (std::filesystem::exists(root.Resolve(kSystemAuth), error)) {
        file = kSystemAuth;
    } else if (std::filesystem::exists(root.Resolve(kCommonAuth), error)) {
        file = kCommonAuth;
    }
    advice.state = Translate("no tool manages the PAM files");
    advice.command = "add as the first auth line of ";
    advice.command += file;
    advice.command += ": ";
    advice.command += kHandLine;
}

}  // namespace

PamManagerAdvice DetectPamManager(const SystemRoot& root) {
    PamManagerAdvice advice;
    // A system with authselect.conf is managed by it, whatever else is installed.
    const SystemFile authselect = ReadSystemFile(root.Resolve(kAuthselectConfig));
    if (authselect.state == SystemFileState::kRead && ReadAuthselect(authselect, advice)) {
        return advice;
    }
    std::error_code error;
    if (std::filesystem::is_directory(root.Resolve(kPamConfigsDirectory), error)) {
        ReadPamAuthUpdate(root, advice);
        return advice;
    }
    AdviseByHand(root, advice);
    return advice;
}
