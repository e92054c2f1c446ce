// logind's names on the system bus, for the window's lock and sleep watch and for the fprintd
// back end, which must not release a reader while the system sleeps.
#pragma once

inline constexpr char kLogindService[] = "org.freedesktop.login1";
inline constexpr char kLogindManagerPath[] = "/org/freedesktop/login1";
inline constexpr char kLogindManagerInterface[] = "org.freedesktop.login1.Manager";
inline constexpr char kLogindSessionInterface[] = "org.freedesktop.login1.Session";
inline constexpr char kPrepareForSleep[] = "PrepareForSleep";
