// The capture results the simulated sensor plays, one per requested capture or verification.
#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "WinBio.h"

struct SimulatedCaptureResult {
    StatusCode status = kOk;
    RejectDetail rejectDetail = 0;
    std::chrono::milliseconds delay{0};

    bool operator==(const SimulatedCaptureResult&) const = default;
};

// An explicit script is one sequence for the whole run, so that an outside driver can write the
// results of several enrollments in order; the lifelike default plays again at every enrollment.
class SimulatedScript {
public:
    static constexpr std::chrono::milliseconds kMaxDelay{600000};
    static constexpr std::chrono::milliseconds kLifelikeDelay{700};

    // Items like "more", "ok", "poor", "fast", "merge", "match", "nomatch", "notouch", "reject:N"
    // or "0x80098036", each with an optional "@MS" delay. Null and a message naming the item when
    // the text is malformed.
    static std::optional<SimulatedScript> Parse(std::string_view text, std::string* errorMessage);
    // Four accepted captures with one poor one among them, each after 0.7 s.
    static SimulatedScript Lifelike();

    const std::vector<SimulatedCaptureResult>& Results() const { return m_results; }
    bool ReplaysEachEnrollment() const { return m_replaysEachEnrollment; }

    // A new enrollment begins: the lifelike script plays again from its start.
    void StartEnrollment();
    // Takes the result for the next requested capture; none when the script has run out.
    std::optional<SimulatedCaptureResult> TakeNextResult();

private:
    SimulatedScript(std::vector<SimulatedCaptureResult> results, bool replaysEachEnrollment);

    std::vector<SimulatedCaptureResult> m_results;
    bool m_replaysEachEnrollment = false;
    std::size_t m_next = 0;
};
