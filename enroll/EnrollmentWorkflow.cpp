// Placeholder until implemented.
#include "EnrollmentWorkflow.h"
