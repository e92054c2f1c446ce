// Which back end the program drives, as VARNE_SERVICE names it.
#pragma once

#include <optional>
#include <string>

enum class ServiceKind { kFprintd, kSimulated };

constexpr const char* kServiceVariable = "VARNE_SERVICE";

// Unset (null) means fprintd, so the installed program works on the user's reader as it is.
// Null and a message naming the variable and the value for anything but the two names.
std::optional<ServiceKind> ChooseService(const char* value, std::string* errorMessage);
