// Placeholder until implemented.
#include "CSysColorStatic.h"
