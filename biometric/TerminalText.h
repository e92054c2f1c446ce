// Text for a terminal: values from outside may hold characters that a terminal obeys, or that
// change how the rest of the line reads.
#pragma once

#include <string>
#include <string_view>

// One rule for every value the program writes to a terminal. Printable text, valid UTF-8
// included, is kept. Control characters (C0, DEL, C1) and bytes that are not UTF-8 become \xNN;
// characters that reorder or break a line (bidirectional marks, embeddings, overrides and
// isolates, the line and paragraph separators, the byte order mark) and noncharacters become
// \u{N}, N in lowercase hexadecimal. UTF-8 in, UTF-8 out.
std::string EscapeForTerminal(std::string_view text);

// The same for UTF-16 values (unit names); a lone surrogate is shown as \u{N} too.
std::string EscapeForTerminal(std::u16string_view text);

// The value in double quotes, escaped as above and with its own quotes and backslashes escaped
// with a backslash, so that it cannot pass for the end of the quoted value.
std::string QuoteForTerminal(std::string_view text);

// The program's own texts, line breaks kept; a lone surrogate becomes U+FFFD.
std::string ToUtf8(std::u16string_view text);

// The other way, for translated texts; a byte that is not UTF-8 becomes U+FFFD.
std::u16string FromUtf8(std::string_view text);
