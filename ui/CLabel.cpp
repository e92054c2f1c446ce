// Placeholder until implemented.
#include "CLabel.h"
