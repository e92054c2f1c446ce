// Placeholder until implemented.
#include "SessionStartup.h"
