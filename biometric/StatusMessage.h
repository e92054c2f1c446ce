// Turns a failing status code into the words the user sees.
#pragma once

#include <string>

#include "MessageCatalogue.h"
#include "WinBio.h"

// "\nError code = 0x%x": the code as unsigned 32-bit lowercase hex without leading zeros.
std::u16string FormatErrorCodeLine(StatusCode status);

// Text 1006 (or the given lead), a blank line, the code's specific text, then the error-code line.
std::u16string ComposeStatusMessage(StatusCode status, TextId leadId = kTextFailurePrefix);
