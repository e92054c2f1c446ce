// Text for a terminal: values from outside may hold control characters that a terminal obeys.
#pragma once

#include <string>
#include <string_view>

// UTF-8 in, UTF-8 out; control characters (C0, DEL, C1) and bytes that are not UTF-8 become
// \xNN, so an echoed value can neither move the cursor nor recolour the terminal.
std::string EscapeControlCharacters(std::string_view text);

// The same for UTF-16 values (unit names); a lone surrogate becomes U+FFFD.
std::string ToTerminalText(std::u16string_view text);

// The program's own texts, line breaks kept; a lone surrogate becomes U+FFFD.
std::string ToUtf8(std::u16string_view text);
