// Fuzzes the daemon's result strings, error names, finger names and finger lists.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "FprintdMapping.h"

namespace {

void Check(bool holds, const char* what, std::string_view input) {
    if (!holds) {
        std::fprintf(stderr, "mismatch: %s for \"%.*s\"\n", what, static_cast<int>(input.size()),
                     input.data());
        std::abort();
    }
}

bool AsksForAnotherCapture(StatusCode status) {
    return status == kMoreData || status == kBadCapture;
}

std::vector<std::string> LinesOf(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end = text.find('\n'); end != std::string_view::npos;
         start = end + 1, end = text.find('\n', start)) {
        lines.emplace_back(text.substr(start, end - start));
    }
    lines.emplace_back(text.substr(start));
    return lines;
}

// The text's lines as a ListEnrolledFingers answer: each finger at most once, at its first place.
void CheckListedFingers(std::string_view text) {
    const std::vector<std::string> names = LinesOf(text);
    const ListedFingers listed = EnrolledFingersFromNames(names);
    Check(listed.fingers.size() <= kLastFinger && listed.unknownNames <= names.size(),
          "no more fingers than ten, no more unknown names than names", text);
    std::size_t searchFrom = 0;
    for (const SubFactor finger : listed.fingers) {
        const auto name = FprintdFingerName(finger);
        Check(name.has_value(), "only the ten fingers are listed", text);
        const auto first = std::find(names.begin(), names.end(), std::string(*name));
        const auto at = static_cast<std::size_t>(first - names.begin());
        Check(first != names.end() && at >= searchFrom, "fingers keep the daemon's order", text);
        searchFrom = at + 1;
    }
    std::size_t unknown = 0;
    for (const std::string& name : names) {
        unknown += SubFactorFromFprintdFingerName(name) == kNoFinger ? 1 : 0;
    }
    Check(unknown == listed.unknownNames, "every unknown name is counted", text);
}

}  // namespace

// The first byte's low bits are the done flag and which call asked; the rest is the text under
// test, read as an enrollment's and as a verification's result.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const bool done = (data[0] & 1) != 0;
    constexpr FprintdCall kCalls[] = {FprintdCall::kOther, FprintdCall::kDelete,
                                      FprintdCall::kVerify, FprintdCall::kOther};
    const FprintdCall call = kCalls[(data[0] >> 1) & 3];
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

    const EnrollResultOutcome outcome = EnrollResultStatus(text, done);
    Check(!done || outcome.ends, "a done result must end the enrollment", text);
    // Going on means asking for the next capture; ending means a final answer.
    Check(outcome.ends != AsksForAnotherCapture(outcome.captureStatus),
          "the capture status must match whether the enrollment ends", text);
    Check(outcome.commitStatus != kOk || (outcome.ends && outcome.captureStatus == kOk),
          "only a completed enrollment may commit", text);

    const VerifyResultOutcome verified = VerifyResultStatus(text, done);
    Check(!done || verified.ends, "a done result must end the verification", text);
    Check(verified.ends != (verified.status == kBadCapture),
          "only a verification that goes on asks for another touch", text);
    Check((verified.match == 1) == (verified.status == kOk) && verified.match <= 1,
          "a match, and only a match, is kOk", text);
    Check(verified.ends || verified.status != kNoMatch, "a non-match ends the verification", text);

    Check(StatusFromErrorName(text, call) < 0, "an error must map to a failure", text);

    const SubFactor finger = SubFactorFromFprintdFingerName(text);
    if (finger != kNoFinger) {
        const auto name = FprintdFingerName(finger);
        Check(finger >= kFirstFinger && finger <= kLastFinger && name && *name == text,
              "a finger name must read back as itself", text);
    }
    for (SubFactor each = kFirstFinger; each <= kLastFinger; ++each) {
        Check(SubFactorFromFprintdFingerName(*FprintdFingerName(each)) == each,
              "finger names round trip", text);
    }
    CheckListedFingers(text);
    return 0;
}
