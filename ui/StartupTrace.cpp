// A hook called at each phase of start-up, empty unless a measuring harness sets one.
#include "StartupTrace.h"

namespace {

// Constant-initialised: the first phase is traced at the top of main().
StartupTraceHook g_hook = nullptr;

}  // namespace

void SetStartupTraceHook(StartupTraceHook hook) {
    g_hook = hook;
}

void TraceStartupPhase(const char* phase) {
    if (g_hook != nullptr) {
        g_hook(phase);
    }
}
