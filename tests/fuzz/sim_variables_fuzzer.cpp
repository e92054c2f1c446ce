// Fuzzes the simulated sensor's variables against a second, plainly written reading of each.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "ReferenceDecimal.h"
#include "ReferenceTerminalText.h"
#include "SimulatedConfig.h"

namespace {

const char* const kVariables[] = {
    SimulatedConfig::kUnitsVariable,  SimulatedConfig::kEnrolledVariable,
    SimulatedConfig::kScriptVariable, SimulatedConfig::kFailVariable,
    SimulatedConfig::kStoreVariable,
};
constexpr std::size_t kVariableCount = std::size(kVariables);
constexpr std::uint64_t kLargestUnit = 0xFFFFFFFFu;
constexpr std::uint64_t kLargestDelayMs = 600000;
constexpr std::size_t kMaxHexDigits = 8;

[[noreturn]] void Mismatch(const char* what, const std::string& detail) {
    std::fprintf(stderr, "mismatch: %s: %s\n", what, detail.c_str());
    std::abort();
}

void Check(bool holds, const char* what, const std::string& detail = {}) {
    if (!holds) {
        Mismatch(what, detail);
    }
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string Strip(const std::string& text) {
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && IsBlank(text[first])) {
        ++first;
    }
    while (last > first && IsBlank(text[last - 1])) {
        --last;
    }
    return text.substr(first, last - first);
}

// Items between commas, each stripped; a value of blanks only is an empty list.
std::vector<std::string> Items(const std::string& value) {
    std::vector<std::string> items;
    if (Strip(value).empty()) {
        return items;
    }
    std::string current;
    for (const char c : value) {
        if (c == ',') {
            items.push_back(Strip(current));
            current.clear();
        } else {
            current += c;
        }
    }
    items.push_back(Strip(current));
    return items;
}

std::optional<std::uint32_t> HexCode(const std::string& text) {
    if (text.size() < 3 || text.size() > 2 + kMaxHexDigits || text[0] != '0' ||
        (text[1] != 'x' && text[1] != 'X')) {
        return std::nullopt;
    }
    std::uint32_t value = 0;
    for (std::size_t i = 2; i < text.size(); ++i) {
        const char c = text[i];
        std::uint32_t digit = 0;
        if (c >= '0' && c <= '9') {
            digit = static_cast<std::uint32_t>(c - '0');
        } else if (c >= 'a' && c <= 'f') {
            digit = static_cast<std::uint32_t>(c - 'a' + 10);
        } else if (c >= 'A' && c <= 'F') {
            digit = static_cast<std::uint32_t>(c - 'A' + 10);
        } else {
            return std::nullopt;
        }
        value = value << 4 | digit;
    }
    return value;
}

std::optional<std::vector<std::uint64_t>> ExpectedNumbers(const std::string& value,
                                                          std::uint64_t smallest,
                                                          std::uint64_t largest) {
    std::vector<std::uint64_t> numbers;
    std::set<std::uint64_t> seen;
    for (const std::string& item : Items(value)) {
        const auto number = Decimal(item, largest);
        if (!number || *number < smallest || !seen.insert(*number).second) {
            return std::nullopt;
        }
        numbers.push_back(*number);
    }
    return numbers;
}

std::optional<SimulatedCaptureResult> ExpectedCapture(const std::string& item) {
    const auto at = item.find('@');
    const std::string name = item.substr(0, at);
    SimulatedCaptureResult result;
    if (at != std::string::npos) {
        const auto delay = Decimal(item.substr(at + 1), kLargestDelayMs);
        if (!delay) {
            return std::nullopt;
        }
        result.delay = std::chrono::milliseconds(*delay);
    }
    const std::map<std::string, std::pair<std::uint32_t, std::uint32_t>> named = {
        {"more", {0x00090001, 0}},    {"ok", {0, 0}},
        {"poor", {0x80098008, 7}},    {"fast", {0x80098008, 5}},
        {"merge", {0x80098008, 10}},  {"match", {0, 0}},
        {"nomatch", {0x80098005, 0}}, {"notouch", {0x000905B4, 0}},
    };
    if (const auto found = named.find(name); found != named.end()) {
        result.status = static_cast<StatusCode>(found->second.first);
        result.rejectDetail = found->second.second;
        return result;
    }
    const std::string rejectPrefix = "reject:";
    if (name.compare(0, rejectPrefix.size(), rejectPrefix) == 0) {
        const auto detail = Decimal(name.substr(rejectPrefix.size()), kLargestUnit);
        if (!detail) {
            return std::nullopt;
        }
        result.status = static_cast<StatusCode>(0x80098008u);
        result.rejectDetail = static_cast<RejectDetail>(*detail);
        return result;
    }
    if (const auto code = HexCode(name)) {
        result.status = static_cast<StatusCode>(*code);
        return result;
    }
    return std::nullopt;
}

std::optional<std::vector<SimulatedCaptureResult>> ExpectedScript(const std::string& value) {
    std::vector<SimulatedCaptureResult> results;
    for (const std::string& item : Items(value)) {
        const auto result = ExpectedCapture(item);
        if (!result) {
            return std::nullopt;
        }
        results.push_back(*result);
    }
    return results;
}

std::optional<std::map<std::string, StatusCode>> ExpectedFailures(const std::string& value) {
    const auto& names = SimulatedConfig::OperationNames();
    std::map<std::string, StatusCode> failures;
    for (const std::string& item : Items(value)) {
        const auto equals = item.find('=');
        if (equals == std::string::npos) {
            return std::nullopt;
        }
        const std::string key = item.substr(0, equals);
        const auto code = HexCode(item.substr(equals + 1));
        if (std::find(names.begin(), names.end(), key) == names.end() || !code ||
            *code < 0x80000000u || failures.count(key) != 0) {
            return std::nullopt;
        }
        failures[key] = static_cast<StatusCode>(*code);
    }
    return failures;
}

// Whether the whole set of variables should be accepted, and if so, what it must yield.
void CompareWithReference(const SimulatedConfig::Variables& variables) {
    std::string error;
    const auto config = SimulatedConfig::FromVariables(variables, &error);

    bool expectAccepted = true;
    std::optional<std::vector<std::uint64_t>> units = std::vector<std::uint64_t>{1};
    std::optional<std::vector<std::uint64_t>> enrolled = std::vector<std::uint64_t>{};
    std::optional<std::vector<SimulatedCaptureResult>> script;
    std::optional<std::map<std::string, StatusCode>> failures = std::map<std::string, StatusCode>{};
    for (const auto& [name, value] : variables) {
        if (name == SimulatedConfig::kUnitsVariable) {
            units = ExpectedNumbers(value, 1, kLargestUnit);
            expectAccepted = expectAccepted && units.has_value();
        } else if (name == SimulatedConfig::kEnrolledVariable) {
            enrolled = ExpectedNumbers(value, kFirstFinger, kLastFinger);
            expectAccepted = expectAccepted && enrolled.has_value();
        } else if (name == SimulatedConfig::kScriptVariable) {
            script = ExpectedScript(value);
            expectAccepted = expectAccepted && script.has_value();
        } else if (name == SimulatedConfig::kFailVariable) {
            failures = ExpectedFailures(value);
            expectAccepted = expectAccepted && failures.has_value();
        } else if (name == SimulatedConfig::kStoreVariable) {
            expectAccepted = expectAccepted && !value.empty();
        }
    }

    Check(config.has_value() == expectAccepted, "accepted", error);
    if (!config) {
        // The message names a variable that was set, then says what was wrong with it.
        bool namesOne = false;
        for (const auto& [name, value] : variables) {
            namesOne = namesOne || error.rfind(name + ": ", 0) == 0;
        }
        Check(namesOne && error.find(": ") + 2 < error.size(), "message names the variable", error);
        // Quoted, so that no terminal runs or turns around what a variable smuggles in.
        Check(SafeOnTerminal(error), "message quotes what a terminal would obey", error);
        return;
    }

    Check(config->Units().size() == units->size(), "unit count");
    for (std::size_t i = 0; i < units->size(); ++i) {
        Check(config->Units()[i] == (*units)[i], "unit", std::to_string(i));
    }
    Check(config->Enrolled().size() == enrolled->size(), "enrolled count");
    for (std::size_t i = 0; i < enrolled->size(); ++i) {
        Check(config->Enrolled()[i] == (*enrolled)[i], "enrolled finger", std::to_string(i));
    }
    if (script) {
        Check(!config->Script().ReplaysEachEnrollment(), "a given script plays once");
        Check(config->Script().Results() == *script, "script results");
    }
    for (const std::string& operation : SimulatedConfig::OperationNames()) {
        const auto forced = config->ForcedFailure(operation);
        const auto expected = failures->find(operation);
        Check(forced.has_value() == (expected != failures->end()), "forced failure", operation);
        Check(!forced || *forced == expected->second, "forced code", operation);
    }
    const auto store = variables.find(SimulatedConfig::kStoreVariable);
    Check(config->StorePath() == (store == variables.end() ? std::string() : store->second),
          "store path");
}

}  // namespace

// The first byte picks one variable for the rest of the input, or (past the last variable)
// spreads the lines of the rest over all of them in order.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::size_t choice = data[0] % (kVariableCount + 1);
    const std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
    SimulatedConfig::Variables variables;
    if (choice < kVariableCount) {
        variables[kVariables[choice]] = rest;
    } else {
        std::size_t start = 0;
        for (std::size_t i = 0; i < kVariableCount && start <= rest.size(); ++i) {
            const auto newline = rest.find('\n', start);
            variables[kVariables[i]] = rest.substr(start, newline - start);
            start = newline == std::string::npos ? rest.size() + 1 : newline + 1;
        }
    }
    CompareWithReference(variables);
    return 0;
}
