// Which PAM services use the fingerprint, who manages them, and the report's lines.
#include "LoginReport.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "TerminalText.h"
#include "Translation.h"

namespace {

// Asked about on every system: what people run and where they log in.
constexpr std::array<std::string_view, 4> kCoreServices = {"sudo", "su", "login", "polkit-1"};
// Display managers' and lock screens' services, reported where their file exists.
constexpr std::array<std::string_view, 14> kDesktopServices = {"gdm-fingerprint",
                                                               "gdm-password",
                                                               "sddm",
                                                               "lightdm",
                                                               "kde",
                                                               "kde-fingerprint",
                                                               "xscreensaver",
                                                               "cinnamon-screensaver",
                                                               "mate-screensaver",
                                                               "xfce4-screensaver",
                                                               "gnome-screensaver",
                                                               "swaylock",
                                                               "i3lock",
                                                               "lxdm"};

constexpr const char* kOn = "on";
constexpr const char* kOff = "off";

std::string Setting(const std::optional<std::string>& value, int moduleDefault) {
    return value ? *value : std::to_string(moduleDefault) + " " + Translate("(default)");
}

}  // namespace

bool LoginReport::AnyUsesFingerprint() const {
    return std::any_of(services.begin(), services.end(),
                       [](const ServiceLogin& login) { return login.stack.usesFingerprint; });
}

bool LoginReport::AnyUnreadable() const {
    return std::any_of(services.begin(), services.end(),
                       [](const ServiceLogin& login) { return login.stack.unreadable; });
}

LoginReport ReadLoginReport(const SystemRoot& root) {
    LoginReport report;
    const PamStackReader reader(root);
    for (const std::string_view service : kCoreServices) {
        report.services.push_back({std::string(service), reader.ReadAuthStack(service)});
    }
    for (const std::string_view service : kDesktopServices) {
        if (reader.ServiceExists(service)) {
            report.services.push_back({std::string(service), reader.ReadAuthStack(service)});
        }
    }
    report.manager = DetectPamManager(root);
    return report;
}

std::string ServiceDetail(const PamStackResult& stack) {
    if (!stack.usesFingerprint) {
        return stack.note.empty() ? Translate("pam_fprintd.so is not in its auth stack")
                                  : stack.note;
    }
    std::string detail = "pam_fprintd.so";
    if (stack.chain.size() > 1) {
        detail += ' ';
        // TRANSLATORS: %s is the chain of PAM files that leads to the module, "a -> b".
        detail += FillPlaceholders(Translate("via %s"), {{"%s", JoinChain(stack.chain)}});
    }
    if (stack.optionalLine) {
        detail += " ";
        detail += Translate("(optional line)");
    }
    detail += ", max-tries=";
    detail += Setting(stack.maxTries, kFprintdDefaultMaxTries);
    detail += ", timeout=";
    detail += Setting(stack.timeout, kFprintdDefaultTimeoutSeconds);
    return detail;
}

std::vector<std::string> LoginReportLines(const LoginReport& report) {
    std::vector<std::string> lines;
    for (const ServiceLogin& login : report.services) {
        lines.push_back(EscapeForTerminal(login.service) + "\t" +
                        (login.stack.usesFingerprint ? kOn : kOff) + "\t" +
                        EscapeForTerminal(ServiceDetail(login.stack)));
    }
    // TRANSLATORS: %1$s is the tool that manages the PAM files, %2$s its state, %3$s a command.
    lines.push_back(
        FillPlaceholders(Translate("managed by %1$s (%2$s); to turn fingerprint login on: %3$s"),
                         {{"%1$s", report.manager.name},
                          {"%2$s", EscapeForTerminal(report.manager.state)},
                          {"%3$s", report.manager.command}}));
    return lines;
}
