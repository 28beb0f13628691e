// Address encoding on arbitrary bytes: the result is printable ASCII that
// means what the address meant, and encoding it again changes nothing.
#include "fuzz/fuzz_input.h"
#include "http/address.h"

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Every %XX with two hex digits becomes its byte; any other byte stays.
std::string PercentDecode(std::string_view s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '%' && i + 2 < s.size() && HexValue(s[i + 1]) >= 0 && HexValue(s[i + 2]) >= 0) {
      out += static_cast<char>(HexValue(s[i + 1]) * 16 + HexValue(s[i + 2]));
      i += 2;
    } else {
      out += s[i];
    }
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using lv::fuzz::Check;
  const std::string address(reinterpret_cast<const char*>(data), size);
  const lv::Text encoded = lv::PercentEncodeAddress(address);
  std::size_t escaped = 0;
  for (unsigned char c : address) escaped += (c <= ' ' || c >= 0x7F) ? 1 : 0;
  Check(encoded.size() == size + 2 * escaped, "each escaped byte takes three");
  for (char c : encoded) Check(c > ' ' && c < 0x7F, "the encoding is printable ASCII without spaces");
  Check(lv::PercentEncodeAddress(encoded) == encoded, "encoding is idempotent");
  Check(PercentDecode(encoded) == PercentDecode(address), "the encoding decodes to what the address meant");
  Check(lv::HasWebScheme(encoded) == lv::HasWebScheme(address), "encoding keeps the scheme");
  return 0;
}
