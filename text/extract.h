// Marker-based extraction: cut a piece out of a text by searching for the
// markers around it. Both return "" whenever the piece cannot be found.
#pragma once

#include <string_view>

#include "text/text.h"

namespace lv {

// The quote token: "#" followed by the characters 引号, standing for one
// double quote in HTML markers and patterns. Only TextBetween's markers and a
// matcher asked to expand it give it that meaning.
inline constexpr std::string_view kQuoteToken = "#\xD2\xFD\xBA\xC5";

// Replaces every quote token in t by a double quote.
Text ExpandQuoteToken(std::string_view t);

// The text from byte 1 up to an occurrence of marker. start 0 or 1: the first
// occurrence; n >= 2: the first at or after byte n; negative: the last
// occurrence found backward, with the last k bytes (k = -start, k >= 2) left
// out of the search.
Text TextBefore(std::string_view text, std::string_view marker, int start = 0,
                bool ignoreCase = false);

// The text between the first leftMarker at or after start and the next
// rightMarker after it. The quote token is expanded in both markers.
Text TextBetween(std::string_view text, std::string_view leftMarker,
                 std::string_view rightMarker, int start = 0,
                 bool ignoreCase = false);

}  // namespace lv
