// A hook called at each phase of start-up, empty unless a measuring harness sets one.
#include "StartupTrace.h"

namespace {

// Constant-initialised: the first phase is traced at the top of main(). Both are set before any
// thread that reads them is started.
StartupTraceHook g_hook = nullptr;
StartupTraceHook g_workHook = nullptr;

}  // namespace

void SetStartupTraceHook(StartupTraceHook hook) {
    g_hook = hook;
}

void TraceStartupPhase(const char* phase) {
    if (g_hook != nullptr) {
        g_hook(phase);
    }
}

void SetStartupWorkHook(StartupTraceHook hook) {
    g_workHook = hook;
}

void TraceStartupWork(const char* phase) {
    if (g_workHook != nullptr) {
        g_workHook(phase);
    }
}
