// Base64 of arbitrary bytes: the canonical encoding, which decodes back.
#include "fuzz/fuzz_input.h"
#include "http/base64.h"
#include "http/base64_strict_decode.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using lv::fuzz::Check;
  const lv::ByteSet bytes(data, data + size);
  const lv::Text encoded = lv::Base64Encode(bytes);
  Check(encoded.size() == (size + 2) / 3 * 4, "four characters for every three bytes begun");
  Check(lv::StrictBase64Decode(encoded) == bytes, "the encoding is canonical and decodes back");
  return 0;
}
