// Placeholder until implemented.
#include "StatusMessage.h"
