// Placeholder until implemented.
#include "BiometricBackend.h"
