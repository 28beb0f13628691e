// Cookie merging on plain cookie strings: entries separated by "; ", each
// normally name=value but possibly any text. Entries are compared, kept or
// dropped, never rewritten; names and entries compare byte for byte.
#pragma once

#include <string_view>

#include "text/text.h"

namespace lv {

// Merges the cookies a server set (received) into those that were sent:
// received entries first, in their order, then each sent cookie whose name
// the server did not set; entries ending in "=deleted" are dropped and exact
// repeats reduced to their first occurrence. Both arguments are rewritten:
// received holds its tidied form (trimmed, a closing ";" made "; "), and
// sent holds the merged string, which is also returned.
Text MergeCookies(Text& sent, Text& received);

// The entry's text before its first "=", trimmed; the whole entry, trimmed,
// when it has no "=".
Text CookieName(std::string_view entry);

// Whether some member's CookieName equals name.
bool ContainsCookieName(const TextArray& entries, std::string_view name);

// The text with every piece that repeats an earlier one removed.
Text RemoveDuplicates(std::string_view text, std::string_view delimiter);

// The 1-based index of the first member equal to text, or -1.
int FindMember(const TextArray& list, std::string_view text);

}  // namespace lv
