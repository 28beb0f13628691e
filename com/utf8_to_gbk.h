// Converts UTF-8 page bodies into the system's code page 936 text, and back.
#pragma once

#include <string_view>

#include "text/text.h"

namespace lv {

// Goes through UTF-16. Malformed input and characters that code page 936
// lacks come out as the platform's substitutes; nothing is reported. The
// text ends at the body's first zero byte.
Text Utf8ToGbk(const ByteSet& body);

// The other way, for what leaves the system as UTF-8 (the console program's
// JSON lines): code page 936 text through UTF-16 into UTF-8 bytes, held in a
// Text. Bytes that are not valid code page 936 come out as the platform's
// substitutes.
Text GbkToUtf8(std::string_view text);

}  // namespace lv
