// Fuzzes the daemon's result strings, error names and finger names for answers we can act on.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

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

}  // namespace

// The first byte's low bits are the done flag and whether a deletion asked; the rest is the
// text under test.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const bool done = (data[0] & 1) != 0;
    const FprintdCall call = (data[0] & 2) != 0 ? FprintdCall::kDelete : FprintdCall::kOther;
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

    const EnrollResultOutcome outcome = EnrollResultStatus(text, done);
    Check(!done || outcome.ends, "a done result must end the enrollment", text);
    // Going on means asking for the next capture; ending means a final answer.
    Check(outcome.ends != AsksForAnotherCapture(outcome.captureStatus),
          "the capture status must match whether the enrollment ends", text);
    Check(outcome.commitStatus != kOk || (outcome.ends && outcome.captureStatus == kOk),
          "only a completed enrollment may commit", text);

    Check(StatusFromErrorName(text, call) < 0, "an error must map to a failure", text);

    const SubFactor finger = SubFactorFromFingerName(text);
    if (finger != kNoFinger) {
        const auto name = FingerName(finger);
        Check(finger >= kFirstFinger && finger <= kLastFinger && name && *name == text,
              "a finger name must read back as itself", text);
    }
    for (SubFactor each = kFirstFinger; each <= kLastFinger; ++each) {
        Check(SubFactorFromFingerName(*FingerName(each)) == each, "finger names round trip", text);
    }
    return 0;
}
