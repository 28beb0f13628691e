#include "http/address.h"

namespace lv {
namespace {

bool StartsWithIgnoringCase(std::string_view text, std::string_view lowerPrefix) {
  if (text.size() < lowerPrefix.size()) return false;
  for (std::size_t i = 0; i < lowerPrefix.size(); ++i) {
    const char c = text[i];
    if ((c >= 'A' && c <= 'Z' ? char(c + 32) : c) != lowerPrefix[i]) return false;
  }
  return true;
}

bool NeedsEscape(unsigned char c) { return c <= 0x20 || c >= 0x7F; }

}  // namespace

bool HasWebScheme(std::string_view address) {
  return StartsWithIgnoringCase(address, "http:") || StartsWithIgnoringCase(address, "https:");
}

Text PercentEncodeAddress(std::string_view utf8Address) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  Text out;
  out.reserve(utf8Address.size());
  for (const char c : utf8Address) {
    const auto byte = static_cast<unsigned char>(c);
    if (NeedsEscape(byte)) {
      out += '%';
      out += kHex[byte >> 4];
      out += kHex[byte & 15];
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace lv
