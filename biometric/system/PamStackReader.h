// Whether a PAM service's auth stack loads pam_fprintd.so, following its includes; read only.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "PamRules.h"
#include "SystemRoot.h"

// The module's own values when a line does not set them.
constexpr int kFprintdDefaultMaxTries = 3;
constexpr int kFprintdDefaultTimeoutSeconds = 30;
// Linux-PAM's own limit on nested stacks.
constexpr std::size_t kPamIncludeDepthLimit = 16;

struct PamStackResult {
    bool usesFingerprint = false;
    bool serviceFound = false;
    // A file on the way could not be read (or was too large): the answer is not known for sure.
    bool unreadable = false;
    // Where the module's line is: the chain of files from the service, e.g. {"sudo",
    // "common-auth"}.
    std::vector<std::string> chain;
    bool optionalLine = false;
    // As written on the line; nullopt means the module's default.
    std::optional<std::string> maxTries;
    std::optional<std::string> timeout;
    // Why the service is off although it names the module, or why the stack could not be read.
    std::string note;
};

class PamStackReader {
public:
    explicit PamStackReader(SystemRoot root);

    PamStackResult ReadAuthStack(std::string_view service) const;
    // The service's file exists in /etc/pam.d or /usr/lib/pam.d.
    bool ServiceExists(std::string_view service) const;

private:
    enum class Walk { kGoOn, kFound, kStop };

    Walk WalkFile(const std::string& name, std::vector<std::string>& chain,
                  PamStackResult& result) const;
    Walk TakeFprintdLine(const PamRule& rule, const std::vector<std::string>& chain,
                         const std::string& file, PamStackResult& result) const;
    // The file's system path ("/etc/pam.d/sudo"), or nullopt when neither directory has it.
    std::optional<std::string> Locate(std::string_view name) const;
    bool ModuleInstalled(const std::string& module) const;

    SystemRoot m_root;
};

// "sudo -> common-auth".
std::string JoinChain(const std::vector<std::string>& chain);
