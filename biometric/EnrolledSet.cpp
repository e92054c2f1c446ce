// Placeholder until implemented.
#include "EnrolledSet.h"
