// The request header block: the extra headers a caller of HttpRequest passes,
// one "Name: value" line per header, lines separated by CR LF. HttpRequest
// normalises its working copy of the block and then hands each line to the
// WinHttp object cut into a name and a value. None of these can fail and
// none changes its argument.
#pragma once

#include <string_view>

#include "text/text.h"

namespace lv {

// The block with every header name's "-"-separated words capitalised and
// every line without a colon dropped; no empty lines, no closing CR LF.
// Everything from a line's first colon on stays byte for byte.
Text NormalizeHeaderBlock(std::string_view block);

// The word with its first byte upper-cased (ASCII letters only); the rest,
// and the length, unchanged.
Text CapitalizeFirst(std::string_view word);

// The text before the line's first colon, trimmed; "" without a colon.
Text HeaderName(std::string_view line);

// The text after the line's first colon, trimmed; "" without a colon.
Text HeaderValue(std::string_view line);

}  // namespace lv
