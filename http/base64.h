// Base64 for the proxy's Basic credentials.
#pragma once

#include "text/text.h"

namespace lv {

// The RFC 4648 Base64 encoding of the bytes, "=" padded, on one line; "" for
// no bytes. The bytes are read only: the zero padding is never added to the
// caller's byte set.
Text Base64Encode(const ByteSet& bytes);

}  // namespace lv
