#include "text/extract.h"

namespace lv {

Text ExpandQuoteToken(std::string_view t) {
  return Replace(t, kQuoteToken, "\"", /*matchCase=*/true);
}

Text TextBefore(std::string_view text, std::string_view marker, int start,
                bool ignoreCase) {
  const int length = Len(text);
  int found = -1;
  if (start < 0) {
    // Widened so that a start of INT_MIN cannot overflow.
    long long k = -static_cast<long long>(start);
    if (k == 1) k = 0;
    long long window = length - k + 1;
    found = window <= 1 ? -1 : FindBackward(text, marker, static_cast<int>(window), ignoreCase);
  } else {
    found = Find(text, marker, start == 0 ? 1 : start, ignoreCase);
  }
  if (found < 0) return {};
  return Left(text, found - 1);
}

Text TextBetween(std::string_view text, std::string_view leftMarker,
                 std::string_view rightMarker, int start, bool ignoreCase) {
  const Text left = ExpandQuoteToken(leftMarker);
  const Text right = ExpandQuoteToken(rightMarker);
  if (right.empty()) return {};
  const int l = Find(text, left, start, ignoreCase);
  if (l < 0) return {};
  const int q = l + Len(left);
  const int d = Find(text, right, q, ignoreCase);
  if (d < 0) return {};
  return Mid(text, q, d - q);
}

}  // namespace lv
