// The rules of one PAM configuration file, as Linux-PAM reads its lines.
#pragma once

#include <string>
#include <string_view>
#include <vector>

struct PamRule {
    std::string type;       // "auth", "account", ...; "@include" for Debian's whole-file include
    bool optional = false;  // the line began with '-': a missing module is skipped silently
    std::string control;    // "required", "include", "[success=2 default=ignore]", ...
    std::string module;     // module path, or the file an include names
    std::vector<std::string> arguments;
};

// Comments run from '#' to the end of the line, a trailing '\' joins the next line, and a
// bracketed control or argument may hold blanks. Lines too short to be a rule are left out.
std::vector<PamRule> ParsePamRules(std::string_view text);
