// Converts a UTF-8 page body into the system's code page 936 text.
#pragma once

#include "text/text.h"

namespace lv {

// Goes through UTF-16. Malformed input and characters that code page 936
// lacks come out as the platform's substitutes; nothing is reported. The
// text ends at the body's first zero byte.
Text Utf8ToGbk(const ByteSet& body);

}  // namespace lv
