// Which back end the program drives, as VARNE_SERVICE names it.
#include "ServiceChoice.h"

#include <string_view>

#include "Translation.h"

namespace {

constexpr std::string_view kFprintdName = "fprintd";
constexpr std::string_view kSimulatedName = "simulated";

}  // namespace

std::optional<ServiceKind> ChooseService(const char* value, std::string* errorMessage) {
    if (value == nullptr || value == kFprintdName) {
        return ServiceKind::kFprintd;
    }
    if (value == kSimulatedName) {
        return ServiceKind::kSimulated;
    }
    if (errorMessage != nullptr) {
        *errorMessage =
            std::string(kServiceVariable) + ": " +
            FillPlaceholders(Translate("unknown back end \"%s\" (expected fprintd or simulated)"),
                             {{"%s", value}});
    }
    return std::nullopt;
}
