// Events of the desktop around the program that end a scan under way, so others get the reader.
#pragma once

enum class SystemEvent {
    kScreenLocked,
    kGoingToSleep,
};
