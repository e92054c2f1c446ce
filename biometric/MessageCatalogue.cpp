// Placeholder until implemented.
#include "MessageCatalogue.h"
