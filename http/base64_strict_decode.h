// Test support: the check that a Base64 text is the one canonical encoding
// of some bytes, shared by the unit tests and the fuzz target.
#pragma once

#include <optional>
#include <string_view>

#include "text/text.h"

namespace lv {

// A strict decoder: only alphabet characters, "=" only as the last one or
// two, and the bits that padding leaves over must be zero. Only the canonical
// RFC 4648 encoding of a byte set passes it.
inline std::optional<ByteSet> StrictBase64Decode(std::string_view text) {
  constexpr std::string_view kAlphabet =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  if (text.size() % 4 != 0) return std::nullopt;
  std::size_t padding = 0;
  while (padding < 2 && padding < text.size() && text[text.size() - 1 - padding] == '=') ++padding;
  ByteSet out;
  unsigned bits = 0;
  int bitCount = 0;
  for (std::size_t i = 0; i < text.size() - padding; ++i) {
    const std::size_t value = kAlphabet.find(text[i]);
    if (value == std::string_view::npos) return std::nullopt;
    bits = (bits << 6) | static_cast<unsigned>(value);
    bitCount += 6;
    if (bitCount >= 8) {
      bitCount -= 8;
      out.push_back(static_cast<std::uint8_t>(bits >> bitCount));
      bits &= (1u << bitCount) - 1;
    }
  }
  if (bits != 0) return std::nullopt;
  return out;
}

}  // namespace lv
