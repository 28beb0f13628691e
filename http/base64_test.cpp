#include "http/base64.h"
#include "http/base64_strict_decode.h"

#include <gtest/gtest.h>

#include <random>

namespace lv {
namespace {

TEST(Base64Encode, Rfc4648Vectors) {
  struct Case { std::string text, encoded; };
  const Case cases[] = {
      {"", ""},         {"f", "Zg=="},        {"fo", "Zm8="},        {"foo", "Zm9v"},
      {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"},
      {"user:pass", "dXNlcjpwYXNz"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(Base64Encode(ToBytes(c.text)), c.encoded);
  }
}

TEST(Base64Encode, ZeroAndHighBytes) {
  struct Case { ByteSet bytes; std::string encoded; };
  const Case cases[] = {
      {{0}, "AA=="},          {{0, 0}, "AAA="},      {{0, 0, 0}, "AAAA"},
      {{0, 'a'}, "AGE="},     // no early stop at a zero byte
      {{0xFF}, "/w=="},       {{0xFF, 0xFF, 0xFF}, "////"},
      {{0x80}, "gA=="},       {{0xFB, 0xFF}, "+/8="},  // no sign extension
      {{0xD6, 0xD0, 0xCE, 0xC4}, "1tDOxA=="},          // 中文 in code page 936
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.encoded);
    EXPECT_EQ(Base64Encode(c.bytes), c.encoded);
  }
}

TEST(Base64Encode, LeavesTheCallersBytesAlone) {
  const ByteSet original{1, 2, 3, 4};
  ByteSet bytes = original;
  Base64Encode(bytes);
  EXPECT_EQ(bytes, original);
}

TEST(Base64Encode, DecodesBackForRandomInputs) {
  std::mt19937 rng(4648);
  std::uniform_int_distribution<int> byte(0, 255);
  for (int round = 0; round < 3000; ++round) {
    const std::size_t n = static_cast<std::size_t>(round % 301);
    ByteSet bytes(n);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(byte(rng));
    SCOPED_TRACE(n);

    const Text encoded = Base64Encode(bytes);
    ASSERT_EQ(encoded.size(), (n + 2) / 3 * 4);
    ASSERT_EQ(StrictBase64Decode(encoded), bytes);
  }
}

}  // namespace
}  // namespace lv
