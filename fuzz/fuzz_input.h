// What a fuzz target needs besides the code under test: the fuzzer's bytes
// cut into the arguments of a call, and a check that stops the run when an
// invariant fails, so that libFuzzer keeps the input as a crash and the
// corpus replay fails.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace lv::fuzz {

// Reads arguments front to back; once the bytes run out every argument is
// zero or empty, so any input is a valid call.
class FuzzInput {
 public:
  FuzzInput(const std::uint8_t* data, std::size_t size)
      : rest_(reinterpret_cast<const char*>(data), size) {}

  std::uint8_t Byte() {
    if (rest_.empty()) return 0;
    const auto b = static_cast<std::uint8_t>(rest_.front());
    rest_.remove_prefix(1);
    return b;
  }
  bool Flag() { return (Byte() & 1) != 0; }
  // A position or count around the text sizes the fuzzer makes: -128..127,
  // with the two ends standing for INT_MIN and INT_MAX.
  int Int() {
    const auto v = static_cast<std::int8_t>(Byte());
    if (v == -128) return INT32_MIN;
    if (v == 127) return INT32_MAX;
    return v;
  }
  // A length byte, then up to that many bytes.
  std::string Text() {
    const std::size_t wanted = Byte();  // before rest_ is measured
    const std::size_t n = std::min(wanted, rest_.size());
    std::string t(rest_.substr(0, n));
    rest_.remove_prefix(n);
    return t;
  }
  // Everything not read yet.
  std::string Rest() {
    std::string t(rest_);
    rest_ = {};
    return t;
  }

 private:
  std::string_view rest_;
};

// Stops the run with a message when an invariant does not hold.
inline void Check(bool holds, const char* invariant) {
  if (holds) return;
  std::fprintf(stderr, "invariant failed: %s\n", invariant);
  std::abort();
}

// Whether the character walk of t ends on a lone lead byte, which the text
// primitives drop (and Trim counts as text before dropping it).
inline bool EndsWithLoneLead(std::string_view t) {
  std::size_t i = 0;
  while (i + 1 < t.size()) i += static_cast<unsigned char>(t[i]) < 0x80 ? 1 : 2;
  return i + 1 == t.size() && static_cast<unsigned char>(t[i]) >= 0x80;
}

}  // namespace lv::fuzz
