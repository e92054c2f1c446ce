// A hook called at each phase of start-up, empty unless a measuring harness sets one.
#pragma once

// Called with a short name for the phase just reached.
using StartupTraceHook = void (*)(const char* phase);

// Set before start-up begins; null removes it.
void SetStartupTraceHook(StartupTraceHook hook);
// On the window's thread.
void TraceStartupPhase(const char* phase);

// For start-up work done on other threads: this hook must be safe to call from any of them.
void SetStartupWorkHook(StartupTraceHook hook);
void TraceStartupWork(const char* phase);
