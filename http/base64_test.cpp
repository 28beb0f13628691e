#include "http/base64.h"

#include <gtest/gtest.h>

#include <optional>
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

// A strict decoder: only alphabet characters, "=" only as the last one or
// two, and the bits that padding leaves over must be zero. Only the canonical
// RFC 4648 encoding of a byte set passes it.
std::optional<ByteSet> StrictDecode(const std::string& text) {
  static const std::string kAlphabet =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  if (text.size() % 4 != 0) return std::nullopt;
  std::size_t padding = 0;
  while (padding < 2 && padding < text.size() && text[text.size() - 1 - padding] == '=') ++padding;
  ByteSet out;
  unsigned bits = 0;
  int bitCount = 0;
  for (std::size_t i = 0; i < text.size() - padding; ++i) {
    const std::size_t value = kAlphabet.find(text[i]);
    if (value == std::string::npos) return std::nullopt;
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
    ASSERT_EQ(StrictDecode(encoded), bytes);
  }
}

}  // namespace
}  // namespace lv
