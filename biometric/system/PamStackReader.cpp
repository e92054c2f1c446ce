// Whether a PAM service's auth stack loads pam_fprintd.so, following its includes; read only.
#include "PamStackReader.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <string_view>

#include "PamRules.h"
#include "SystemFile.h"
#include "Translation.h"

namespace {

constexpr std::string_view kAuthType = "auth";
constexpr std::string_view kDebianInclude = "@include";
constexpr std::string_view kIncludeControl = "include";
constexpr std::string_view kSubstackControl = "substack";
constexpr std::string_view kFprintdModule = "pam_fprintd.so";
constexpr std::string_view kMaxTriesArgument = "max-tries=";
constexpr std::string_view kTimeoutArgument = "timeout=";
constexpr std::string_view kChainArrow = " -> ";
// Linux-PAM looks in the administrator's directory first, then in the vendor's.
constexpr std::array<std::string_view, 2> kPamDirectories = {"/etc/pam.d/", "/usr/lib/pam.d/"};
// Where distributions install modules: plain, lib64, and multiarch (lib/<triplet>/security).
constexpr std::array<std::string_view, 4> kModuleDirectories = {
    "/lib/security", "/lib64/security", "/usr/lib/security", "/usr/lib64/security"};
constexpr std::array<std::string_view, 2> kMultiarchParents = {"/lib", "/usr/lib"};
constexpr std::string_view kSecurityFolder = "security";

std::string_view BaseName(std::string_view path) {
    const auto slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

void TakeArgument(const std::string& argument, std::string_view prefix,
                  std::optional<std::string>& value) {
    if (argument.rfind(prefix, 0) == 0) {
        value = argument.substr(prefix.size());  // the module reads them in order: last wins
    }
}

}  // namespace

std::string JoinChain(const std::vector<std::string>& chain) {
    std::string joined;
    for (const std::string& name : chain) {
        joined += (joined.empty() ? "" : std::string(kChainArrow)) + name;
    }
    return joined;
}

PamStackReader::PamStackReader(SystemRoot root) : m_root(std::move(root)) {}

bool PamStackReader::ServiceExists(std::string_view service) const {
    return Locate(service).has_value();
}

PamStackResult PamStackReader::ReadAuthStack(std::string_view service) const {
    PamStackResult result;
    result.serviceFound = ServiceExists(service);
    if (!result.serviceFound) {
        result.note = Translate("no PAM file for it");
        return result;
    }
    std::vector<std::string> chain;
    WalkFile(std::string(service), chain, result);
    return result;
}

std::optional<std::string> PamStackReader::Locate(std::string_view name) const {
    if (name.empty() || name == "." || name == "..") {
        return std::nullopt;
    }
    if (name.front() == '/') {
        std::error_code error;
        return std::filesystem::exists(m_root.Resolve(name), error)
                   ? std::optional(std::string(name))
                   : std::nullopt;
    }
    for (const std::string_view directory : kPamDirectories) {
        const std::string path = std::string(directory) + std::string(name);
        std::error_code error;
        if (std::filesystem::exists(m_root.Resolve(path), error)) {
            return path;
        }
    }
    return std::nullopt;
}

PamStackReader::Walk PamStackReader::WalkFile(const std::string& name,
                                              std::vector<std::string>& chain,
                                              PamStackResult& result) const {
    if (std::find(chain.begin(), chain.end(), name) != chain.end()) {
        chain.push_back(name);
        result.note = FillPlaceholders(Translate("include loop: %s"), {{"%s", JoinChain(chain)}});
        return Walk::kStop;
    }
    chain.push_back(name);
    if (chain.size() > kPamIncludeDepthLimit) {
        result.note = FillPlaceholders(
            Translate("includes nest deeper than %1$s: %2$s"),
            {{"%1$s", std::to_string(kPamIncludeDepthLimit)}, {"%2$s", JoinChain(chain)}});
        return Walk::kStop;
    }
    const std::optional<std::string> path = Locate(name);
    if (!path) {
        // PAM fails such a stack; what comes after the include is still read for the module.
        result.note =
            FillPlaceholders(Translate("%s: no such PAM file"), {{"%s", JoinChain(chain)}});
        chain.pop_back();
        return Walk::kGoOn;
    }
    const SystemFile file = ReadSystemFile(m_root.Resolve(*path));
    if (file.state == SystemFileState::kUnreadable || file.state == SystemFileState::kTooLarge) {
        result.unreadable = true;
        result.note =
            file.state == SystemFileState::kTooLarge
                ? FillPlaceholders(Translate("%1$s is larger than %2$s bytes; not read"),
                                   {{"%1$s", *path}, {"%2$s", std::to_string(kSystemFileLimit)}})
                : FillPlaceholders(Translate("cannot read %1$s: %2$s"),
                                   {{"%1$s", *path}, {"%2$s", file.reason}});
        return Walk::kStop;
    }
    for (const PamRule& rule : ParsePamRules(file.text)) {
        Walk step = Walk::kGoOn;
        if (rule.type == kDebianInclude) {
            step = WalkFile(rule.module, chain, result);
        } else if (rule.type != kAuthType) {
            continue;
        } else if (rule.control == kIncludeControl || rule.control == kSubstackControl) {
            step = WalkFile(rule.module, chain, result);
        } else if (BaseName(rule.module) == kFprintdModule) {
            step = TakeFprintdLine(rule, chain, *path, result);
        }
        if (step != Walk::kGoOn) {
            return step;
        }
    }
    chain.pop_back();
    return Walk::kGoOn;
}

PamStackReader::Walk PamStackReader::TakeFprintdLine(const PamRule& rule,
                                                     const std::vector<std::string>& chain,
                                                     const std::string& file,
                                                     PamStackResult& result) const {
    result.chain = chain;
    result.optionalLine = rule.optional;
    for (const std::string& argument : rule.arguments) {
        TakeArgument(argument, kMaxTriesArgument, result.maxTries);
        TakeArgument(argument, kTimeoutArgument, result.timeout);
    }
    if (!ModuleInstalled(rule.module)) {
        // TRANSLATORS: %1$s is the PAM module, %2$s the file that names it.
        result.note = FillPlaceholders(
            rule.optional ? Translate("%1$s is named in %2$s but is not installed (the line begins "
                                      "with '-', so PAM skips it)")
                          : Translate("%1$s is named in %2$s but is not installed"),
            {{"%1$s", std::string(kFprintdModule)}, {"%2$s", file}});
        return Walk::kStop;
    }
    result.usesFingerprint = true;
    result.note.clear();  // a missing include earlier did not keep the module from loading
    return Walk::kFound;
}

bool PamStackReader::ModuleInstalled(const std::string& module) const {
    std::error_code error;
    if (!module.empty() && module.front() == '/') {
        return std::filesystem::exists(m_root.Resolve(module), error);
    }
    for (const std::string_view directory : kModuleDirectories) {
        if (std::filesystem::exists(m_root.Resolve(directory) / module, error)) {
            return true;
        }
    }
    for (const std::string_view parent : kMultiarchParents) {
        std::filesystem::directory_iterator entries(m_root.Resolve(parent), error);
        for (; !error && entries != std::filesystem::directory_iterator();
             entries.increment(error)) {
            if (std::filesystem::exists(entries->path() / kSecurityFolder / module, error)) {
                return true;
            }
        }
        error.clear();
    }
    return false;
}
