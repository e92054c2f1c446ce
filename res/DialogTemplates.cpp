// Placeholder until implemented.
#include "DialogTemplates.h"
