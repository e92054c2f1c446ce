// The capture results the simulated sensor plays, one per requested capture or verification.
#include "SimulatedScript.h"

#include <limits>
#include <utility>

#include "SimulatedParsing.h"
#include "TerminalText.h"

namespace {

struct NamedResult {
    std::string_view name;
    StatusCode status;
    RejectDetail rejectDetail;
};

constexpr NamedResult kNamedResults[] = {
    {"more", kMoreData, 0},
    {"ok", kOk, 0},
    {"poor", kBadCapture, kRejectPoorQuality},
    {"fast", kBadCapture, kRejectTooFast},
    {"merge", kBadCapture, kRejectMergeFailure},
    // For a verification; "ok" matches too.
    {"match", kOk, 0},
    {"nomatch", kNoMatch, 0},
    // The sensor saw no finger before its deadline.
    {"notouch", kCaptureTimedOut, 0},
};

constexpr std::string_view kRejectPrefix = "reject:";

// The result part of an item, without its delay; false when it names nothing known.
bool ParseResult(std::string_view text, SimulatedCaptureResult* result) {
    for (const auto& named : kNamedResults) {
        if (text == named.name) {
            result->status = named.status;
            result->rejectDetail = named.rejectDetail;
            return true;
        }
    }
    if (text.substr(0, kRejectPrefix.size()) == kRejectPrefix) {
        const auto detail = ParseDecimal(text.substr(kRejectPrefix.size()),
                                         std::numeric_limits<RejectDetail>::max());
        if (!detail) {
            return false;
        }
        result->status = kBadCapture;
        result->rejectDetail = *detail;
        return true;
    }
    if (const auto status = ParseHexStatus(text)) {
        result->status = *status;
        result->rejectDetail = 0;
        return true;
    }
    return false;
}

}  // namespace

SimulatedScript::SimulatedScript(std::vector<SimulatedCaptureResult> results,
                                 bool replaysEachEnrollment)
    : m_results(std::move(results)), m_replaysEachEnrollment(replaysEachEnrollment) {}

std::optional<SimulatedScript> SimulatedScript::Parse(std::string_view text,
                                                      std::string* errorMessage) {
    std::vector<SimulatedCaptureResult> results;
    const auto items = SplitItems(text);
    for (std::size_t index = 0; index < items.size(); ++index) {
        const std::string_view item = items[index];
        const auto fail = [&](const std::string& what) {
            if (errorMessage != nullptr) {
                *errorMessage = what + ItemPosition(index);
            }
            return std::nullopt;
        };
        if (item.empty()) {
            return fail("empty item");
        }
        SimulatedCaptureResult result;
        const auto at = item.find('@');
        if (!ParseResult(item.substr(0, at), &result)) {
            return fail("unknown capture result " + QuoteForTerminal(item.substr(0, at)));
        }
        if (at != std::string_view::npos) {
            const auto delay =
                ParseDecimal(item.substr(at + 1), static_cast<std::uint32_t>(kMaxDelay.count()));
            if (!delay) {
                return fail("bad delay " + QuoteForTerminal(item.substr(at + 1)) + " in " +
                            QuoteForTerminal(item));
            }
            result.delay = std::chrono::milliseconds(*delay);
        }
        results.push_back(result);
    }
    return SimulatedScript(std::move(results), false);
}

SimulatedScript SimulatedScript::Lifelike() {
    return SimulatedScript(
        {
            {kMoreData, 0, kLifelikeDelay},
            {kMoreData, 0, kLifelikeDelay},
            {kBadCapture, kRejectPoorQuality, kLifelikeDelay},
            {kMoreData, 0, kLifelikeDelay},
            {kOk, 0, kLifelikeDelay},
        },
        true);
}

void SimulatedScript::StartEnrollment() {
    if (m_replaysEachEnrollment) {
        m_next = 0;
    }
}

std::optional<SimulatedCaptureResult> SimulatedScript::TakeNextResult() {
    if (m_next >= m_results.size()) {
        return std::nullopt;
    }
    return m_results[m_next++];
}
