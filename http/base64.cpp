#include "http/base64.h"

namespace lv {
namespace {

constexpr char kAlphabet[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

}  // namespace

Text Base64Encode(const ByteSet& bytes) {
  const std::size_t n = bytes.size();
  Text out((n + 2) / 3 * 4, '\0');
  char* o = out.data();
  for (std::size_t i = 0; i < n; i += 3) {
    // A short last group reads zero bytes in place of the missing ones.
    const unsigned b0 = bytes[i];
    const unsigned b1 = i + 1 < n ? bytes[i + 1] : 0u;
    const unsigned b2 = i + 2 < n ? bytes[i + 2] : 0u;
    *o++ = kAlphabet[b0 >> 2];
    *o++ = kAlphabet[((b0 & 3u) << 4) | (b1 >> 4)];
    *o++ = kAlphabet[((b1 & 15u) << 2) | (b2 >> 6)];
    *o++ = kAlphabet[b2 & 63u];
  }
  // Characters made only of padding bytes become "=".
  const std::size_t missing = (3 - n % 3) % 3;
  for (std::size_t k = 0; k < missing; ++k) out[out.size() - 1 - k] = '=';
  return out;
}

}  // namespace lv
