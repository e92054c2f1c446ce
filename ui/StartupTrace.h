// A hook called at each phase of start-up, empty unless a measuring harness sets one.
#pragma once

// Called on the window's thread with a short name for the phase just reached.
using StartupTraceHook = void (*)(const char* phase);

// Set before start-up begins; null removes it.
void SetStartupTraceHook(StartupTraceHook hook);
void TraceStartupPhase(const char* phase);
