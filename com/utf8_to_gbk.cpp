#include "com/utf8_to_gbk.h"

#include <windows.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

namespace lv {
namespace {

constexpr UINT kUtf8 = 65001;
constexpr UINT kGbk = 936;
constexpr std::size_t kSlice = 1 << 20;

}  // namespace

Text Utf8ToGbk(const ByteSet& body) {
  // The text ends at the body's first zero byte.
  const auto* bytes = reinterpret_cast<const char*>(body.data());
  const void* zero = body.empty() ? nullptr : std::memchr(bytes, 0, body.size());
  const std::size_t length = zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - bytes) : body.size();

  // Slice by slice, so that a large page is never held in UTF-16 whole: a
  // slice ends before a byte that starts a character, and the conversions
  // see every character, malformed ones included, exactly as they would in
  // one piece. Flags 0 in both directions: bad input is substituted, never
  // refused.
  Text out;
  out.reserve(length);
  std::vector<wchar_t> wide;
  for (std::size_t start = 0; start < length;) {
    std::size_t end = std::min(length, start + kSlice);
    while (end < length && end > start + 1 && (static_cast<unsigned char>(bytes[end]) & 0xC0) == 0x80) --end;
    const int size = static_cast<int>(end - start);
    const int units = ::MultiByteToWideChar(kUtf8, 0, bytes + start, size, nullptr, 0);
    if (units <= 0) return {};
    wide.resize(static_cast<std::size_t>(units));
    ::MultiByteToWideChar(kUtf8, 0, bytes + start, size, wide.data(), units);
    const int gbk = ::WideCharToMultiByte(kGbk, 0, wide.data(), units, nullptr, 0, nullptr, nullptr);
    if (gbk <= 0) return {};
    const std::size_t had = out.size();
    out.resize(had + static_cast<std::size_t>(gbk));
    ::WideCharToMultiByte(kGbk, 0, wide.data(), units, out.data() + had, gbk, nullptr, nullptr);
    start = end;
  }
  // A substitute can itself be a zero byte in neither code page, but the
  // text still ends at the first one.
  out.resize(std::strlen(out.c_str()));
  return out;
}

Text GbkToUtf8(std::string_view text) {
  if (text.empty() || text.size() >= static_cast<std::size_t>(INT_MAX / 2)) return {};
  const int length = static_cast<int>(text.size());
  const int units = ::MultiByteToWideChar(kGbk, 0, text.data(), length, nullptr, 0);
  if (units <= 0) return {};
  std::vector<wchar_t> wide(static_cast<std::size_t>(units));
  ::MultiByteToWideChar(kGbk, 0, text.data(), length, wide.data(), units);
  const int size = ::WideCharToMultiByte(kUtf8, 0, wide.data(), units, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return {};
  Text out(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(kUtf8, 0, wide.data(), units, out.data(), size, nullptr, nullptr);
  return out;
}

}  // namespace lv
