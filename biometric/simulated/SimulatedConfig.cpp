// The simulated sensor's settings, read from the VARNE_SIM_* environment variables.
#include "SimulatedConfig.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

#include "SimulatedParsing.h"
#include "TerminalText.h"

namespace {

constexpr UnitId kDefaultUnit = 1;

bool Contains(const auto& items, const auto& value) {
    return std::find(items.begin(), items.end(), value) != items.end();
}

const std::string* Find(const SimulatedConfig::Variables& variables, const char* name) {
    const auto found = variables.find(name);
    return found == variables.end() ? nullptr : &found->second;
}

bool Fail(std::string* errorMessage, const char* variable, const std::string& what) {
    if (errorMessage != nullptr) {
        *errorMessage = std::string(variable) + ": " + what;
    }
    return false;
}

bool ParseUnits(const std::string& text, std::vector<UnitId>* units, std::string* errorMessage) {
    const char* variable = SimulatedConfig::kUnitsVariable;
    const auto items = SplitItems(text);
    for (std::size_t index = 0; index < items.size(); ++index) {
        const std::string& item = items[index];
        if (item.empty()) {
            return Fail(errorMessage, variable, "empty item" + ItemPosition(index));
        }
        const auto unit = ParseDecimal(item, std::numeric_limits<UnitId>::max());
        if (!unit) {
            return Fail(errorMessage, variable,
                        "bad unit id " + QuoteForTerminal(item) + ItemPosition(index));
        }
        if (*unit == 0) {
            return Fail(errorMessage, variable, "unit id 0 is not a unit" + ItemPosition(index));
        }
        if (Contains(*units, *unit)) {
            return Fail(errorMessage, variable,
                        "duplicate unit id " + QuoteForTerminal(item) + ItemPosition(index));
        }
        units->push_back(*unit);
    }
    return true;
}

bool ParseEnrolled(const std::string& text, std::vector<SubFactor>* enrolled,
                   std::string* errorMessage) {
    const char* variable = SimulatedConfig::kEnrolledVariable;
    const auto items = SplitItems(text);
    for (std::size_t index = 0; index < items.size(); ++index) {
        const std::string& item = items[index];
        if (item.empty()) {
            return Fail(errorMessage, variable, "empty item" + ItemPosition(index));
        }
        const auto finger = ParseDecimal(item, kLastFinger);
        if (!finger || *finger < kFirstFinger) {
            return Fail(errorMessage, variable,
                        "sub-factor " + QuoteForTerminal(item) + " is not a finger 1..10" +
                            ItemPosition(index));
        }
        const auto subFactor = static_cast<SubFactor>(*finger);
        if (Contains(*enrolled, subFactor)) {
            return Fail(errorMessage, variable,
                        "duplicate sub-factor " + QuoteForTerminal(item) + ItemPosition(index));
        }
        enrolled->push_back(subFactor);
    }
    return true;
}

bool ParseFailures(const std::string& text, std::map<std::string, StatusCode>* failures,
                   std::string* errorMessage) {
    const char* variable = SimulatedConfig::kFailVariable;
    const auto items = SplitItems(text);
    for (std::size_t index = 0; index < items.size(); ++index) {
        const std::string& item = items[index];
        if (item.empty()) {
            return Fail(errorMessage, variable, "empty item" + ItemPosition(index));
        }
        const auto equals = item.find('=');
        if (equals == std::string::npos) {
            return Fail(
                errorMessage, variable,
                "expected operation=0xCODE, got " + QuoteForTerminal(item) + ItemPosition(index));
        }
        const std::string key = item.substr(0, equals);
        const std::string value = item.substr(equals + 1);
        if (!Contains(SimulatedConfig::OperationNames(), key)) {
            return Fail(errorMessage, variable,
                        "unknown operation " + QuoteForTerminal(key) + ItemPosition(index));
        }
        if (failures->count(key) != 0) {
            return Fail(
                errorMessage, variable,
                "operation " + QuoteForTerminal(key) + " given twice" + ItemPosition(index));
        }
        const auto status = ParseHexStatus(value);
        if (!status) {
            return Fail(errorMessage, variable,
                        "bad status code " + QuoteForTerminal(value) + " for " +
                            QuoteForTerminal(key) + ItemPosition(index));
        }
        // A forced "failure" that reads as success would make the operation skip its work yet
        // report it done.
        if (*status >= 0) {
            return Fail(errorMessage, variable,
                        "status code " + QuoteForTerminal(value) + " for " + QuoteForTerminal(key) +
                            " is not a failure" + ItemPosition(index));
        }
        (*failures)[key] = *status;
    }
    return true;
}

}  // namespace

SimulatedConfig::SimulatedConfig() : m_script(SimulatedScript::Lifelike()) {}

const std::vector<std::string>& SimulatedConfig::OperationNames() {
    static const std::vector<std::string> names = {
        "open",    "close",  "cancel",  "units",  "locate", "enum",  "begin",
        "capture", "commit", "discard", "delete", "free",   "verify"};
    return names;
}

std::optional<SimulatedConfig> SimulatedConfig::FromVariables(const Variables& variables,
                                                              std::string* errorMessage) {
    SimulatedConfig config;
    if (const auto* units = Find(variables, kUnitsVariable)) {
        if (!ParseUnits(*units, &config.m_units, errorMessage)) {
            return std::nullopt;
        }
    } else {
        config.m_units = {kDefaultUnit};
    }
    if (const auto* enrolled = Find(variables, kEnrolledVariable)) {
        if (!ParseEnrolled(*enrolled, &config.m_enrolled, errorMessage)) {
            return std::nullopt;
        }
    }
    if (const auto* scriptText = Find(variables, kScriptVariable)) {
        std::string scriptError;
        auto script = SimulatedScript::Parse(*scriptText, &scriptError);
        if (!script) {
            Fail(errorMessage, kScriptVariable, scriptError);
            return std::nullopt;
        }
        config.m_script = std::move(*script);
    }
    if (const auto* failures = Find(variables, kFailVariable)) {
        if (!ParseFailures(*failures, &config.m_forcedFailures, errorMessage)) {
            return std::nullopt;
        }
    }
    if (const auto* path = Find(variables, kStoreVariable)) {
        if (path->empty()) {
            Fail(errorMessage, kStoreVariable, "empty path");
            return std::nullopt;
        }
        config.m_storePath = *path;
    }
    return config;
}

std::optional<SimulatedConfig> SimulatedConfig::FromEnvironment(std::string* errorMessage) {
    Variables variables;
    for (const char* name :
         {kUnitsVariable, kEnrolledVariable, kScriptVariable, kFailVariable, kStoreVariable}) {
        if (const char* value = std::getenv(name)) {
            variables[name] = value;
        }
    }
    return FromVariables(variables, errorMessage);
}

std::optional<StatusCode> SimulatedConfig::ForcedFailure(const std::string& operation) const {
    const auto found = m_forcedFailures.find(operation);
    if (found == m_forcedFailures.end()) {
        return std::nullopt;
    }
    return found->second;
}
