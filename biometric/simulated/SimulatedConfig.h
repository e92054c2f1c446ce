// The simulated sensor's settings, read from the VARNE_SIM_* environment variables.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "SimulatedScript.h"
#include "WinBio.h"

class SimulatedConfig {
public:
    using Variables = std::map<std::string, std::string>;

    static constexpr const char* kUnitsVariable = "VARNE_SIM_UNITS";
    static constexpr const char* kEnrolledVariable = "VARNE_SIM_ENROLLED";
    static constexpr const char* kScriptVariable = "VARNE_SIM_SCRIPT";
    static constexpr const char* kFailVariable = "VARNE_SIM_FAIL";
    static constexpr const char* kStoreVariable = "VARNE_SIM_STORE";

    // Operation names accepted as keys of VARNE_SIM_FAIL.
    static const std::vector<std::string>& OperationNames();

    // A variable absent from the map is unset; one present with an empty value is set and empty.
    // Null and a message naming the variable and the offending item when a value is malformed.
    static std::optional<SimulatedConfig> FromVariables(const Variables& variables,
                                                        std::string* errorMessage);
    static std::optional<SimulatedConfig> FromEnvironment(std::string* errorMessage);

    const std::vector<UnitId>& Units() const { return m_units; }
    const std::vector<SubFactor>& Enrolled() const { return m_enrolled; }
    const SimulatedScript& Script() const { return m_script; }
    // The forced result of an operation, by its VARNE_SIM_FAIL key.
    std::optional<StatusCode> ForcedFailure(const std::string& operation) const;
    // Empty when the enrollments live in memory only.
    const std::string& StorePath() const { return m_storePath; }

private:
    SimulatedConfig();

    std::vector<UnitId> m_units;
    std::vector<SubFactor> m_enrolled;
    SimulatedScript m_script;
    std::map<std::string, StatusCode> m_forcedFailures;
    std::string m_storePath;
};
