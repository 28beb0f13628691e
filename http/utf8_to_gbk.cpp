#include "http/utf8_to_gbk.h"

#include <windows.h>

#include <climits>
#include <cstring>
#include <vector>

namespace lv {
namespace {

constexpr UINT kUtf8 = 65001;
constexpr UINT kGbk = 936;

}  // namespace

Text Utf8ToGbk(const ByteSet& body) {
  // The platform counts in int; a body beyond that cannot be a page.
  if (body.empty() || body.size() >= static_cast<std::size_t>(INT_MAX)) return {};
  const auto* bytes = reinterpret_cast<const char*>(body.data());
  const int length = static_cast<int>(body.size());

  // Flags 0 in both directions: bad input is substituted, never refused.
  const int units = ::MultiByteToWideChar(kUtf8, 0, bytes, length, nullptr, 0);
  if (units <= 0) return {};
  // One more unit, left zero, so that the second step ends the text itself.
  std::vector<wchar_t> wide(static_cast<std::size_t>(units) + 1, L'\0');
  ::MultiByteToWideChar(kUtf8, 0, bytes, length, wide.data(), units);

  const int size = ::WideCharToMultiByte(kGbk, 0, wide.data(), units + 1, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return {};
  Text out(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(kGbk, 0, wide.data(), units + 1, out.data(), size, nullptr, nullptr);
  // Up to the first zero byte: the converted zero unit, or an earlier zero
  // byte of the body.
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
