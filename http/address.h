// Addresses as the crawl finds them in pages: they may name another scheme,
// or carry spaces and non-ASCII characters that no request line may hold.
// The caller converts a page's address to UTF-8 first; these see UTF-8 bytes.
//
// No Windows header here: this builds and is tested natively too.
#pragma once

#include <string_view>

#include "text/text.h"

namespace lv {

// The reason given for an address that HasWebScheme turns down.
inline constexpr std::string_view kUnsupportedAddress = "unsupported address";

// Whether the address starts with the scheme http: or https:, ASCII case
// ignored. Nothing is trimmed first.
bool HasWebScheme(std::string_view address);

// The address with every byte of 0x80 or more, every control byte (below
// 0x20, and 0x7F) and every space written as %XX, upper-case hex. All other
// bytes stay, so escapes already present, reserved characters and the query
// keep their meaning; encoding an encoded address changes nothing.
Text PercentEncodeAddress(std::string_view utf8Address);

}  // namespace lv
