// The text primitives on arbitrary code page 936 bytes: searching, replacing,
// splitting, trimming and reading numbers, with the relations between them
// that callers lean on.
#include <algorithm>
#include <cmath>

#include "fuzz/fuzz_input.h"
#include "text/text.h"

namespace lv {
namespace {

using fuzz::Check;
using fuzz::EndsWithLoneLead;

void Searching(std::string_view t, std::string_view sub, int start, bool ignoreCase) {
  const int first = Find(t, sub, start, ignoreCase);
  if (first != -1 && sub.empty()) Check(first == 1, "an empty sub is found at byte 1");
  if (first != -1 && !sub.empty()) {
    Check(first >= start && first + Len(sub) - 1 <= Len(t), "Find lies inside the text, at or after start");
    // A match covers sub, with ASCII letters folded when case is ignored.
    const std::string_view found = t.substr(static_cast<std::size_t>(first) - 1, sub.size());
    Check(ignoreCase ? Upper(found) == Upper(sub) : found == sub, "Find points at sub");
  }
  const int whole = Find(t, sub, 1, ignoreCase);
  const int last = FindBackward(t, sub, kWholeText, ignoreCase);
  Check((whole == -1) == (last == -1), "Find and FindBackward agree on whether sub occurs");
  Check(last >= whole, "the last occurrence is not before the first");
  const int window = FindBackward(t, sub, start, ignoreCase);
  Check(window == -1 || window <= last, "a narrower window finds no later occurrence");
  if (window != -1 && !sub.empty() && start != kWholeText) {
    Check(static_cast<long long>(window) + Len(sub) <= start, "FindBackward stays inside its window");
  }
}

void Replacing(std::string_view t, std::string_view sub, std::string_view repl, int start, int count,
               bool matchCase) {
  const Text out = Replace(t, sub, repl, start, count, matchCase);
  if (t.empty() || sub.empty() || count == 0 || (start > 0 && static_cast<std::size_t>(start) > t.size())) {
    Check(out == t, "nothing to replace leaves the text as it was");
  }
  // The walk may drop a lone lead byte at the very end, and nothing else.
  const Text same = Replace(t, sub, sub, 1, kAll, true);
  Check(same == t || (same.size() + 1 == t.size() && t.compare(0, same.size(), same) == 0 &&
                      static_cast<unsigned char>(t.back()) >= 0x80),
        "replacing sub by itself changes nothing but a closing lone lead byte");
  if (!EndsWithLoneLead(t)) Check(same == t || Find(t, sub) > 0, "without a match nothing is dropped");
}

void Splitting(std::string_view t, std::string_view delimiter, int max) {
  const TextArray pieces = Split(t, delimiter);
  Text joined;
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    if (i > 0) joined += delimiter;
    joined += pieces[i];
  }
  Check(joined == t || joined + std::string(delimiter) == t,
        "the pieces joined give the text back, less a closing delimiter");
  if (!delimiter.empty()) {
    for (const Text& piece : pieces) Check(Find(piece, delimiter) < 0, "no piece holds the delimiter");
  }
  const TextArray limited = Split(t, delimiter, max);
  Check(max < 0 || limited.size() <= static_cast<std::size_t>(max), "no more pieces than asked for");
  for (std::size_t i = 0; i < limited.size(); ++i) {
    Check(i < pieces.size() && limited[i] == pieces[i], "a limited split is a prefix of the full one");
  }
}

void TrimmingAndCase(std::string_view t) {
  const Text trimmed = Trim(t);
  // A closing lone lead byte counts as text and is then dropped, so the
  // spaces before it stay for a second Trim to take.
  Check(EndsWithLoneLead(t) || Trim(trimmed) == trimmed, "Trim is idempotent");
  Check(t.find(trimmed) != std::string_view::npos, "Trim cuts, never rewrites");
  const Text upper = Upper(t);
  Check(upper.size() == t.size() && Upper(upper) == upper, "Upper keeps the length and is idempotent");
  Check(!std::isnan(ToNumber(t)), "ToNumber reads a number or 0");
}

void Cutting(std::string_view t, std::string_view other, int start, int n) {
  const Text left = Left(t, n);
  const Text right = Right(t, n);
  const Text mid = Mid(t, start, n);
  Check(t.substr(0, left.size()) == left, "Left is a prefix");
  Check(right.size() <= t.size() && t.substr(t.size() - right.size()) == right, "Right is a suffix");
  Check(mid.empty() || (start >= 1 && t.substr(static_cast<std::size_t>(start) - 1, mid.size()) == mid),
        "Mid is the text at start");
  const ByteSet bytes = ToBytes(t);
  const ByteSet piece = BytesMid(bytes, start, n);
  Check(piece.size() <= bytes.size() && piece.size() <= static_cast<std::size_t>(std::max(n, 0)),
        "BytesMid stays inside the bytes");
  const Text untilZero = BytesToText(bytes);
  Check(untilZero == t.substr(0, untilZero.size()) && untilZero.find('\0') == Text::npos,
        "BytesToText stops at the first zero byte");
  Check(Compare(t, other) == -Compare(other, t) && (Compare(t, other) == 0) == (t == other),
        "Compare orders consistently");
  Check(CharCode(t, start) == (start >= 1 && start <= Len(t) ? static_cast<signed char>(t[start - 1]) : 0),
        "CharCode reads the byte at start");
}

}  // namespace
}  // namespace lv

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  lv::fuzz::FuzzInput in(data, size);
  const int start = in.Int();
  const int count = in.Int();
  const bool flag = in.Flag();
  const std::string sub = in.Text();
  const std::string repl = in.Text();
  const std::string t = in.Rest();
  lv::Searching(t, sub, start, flag);
  lv::Replacing(t, sub, repl, start, count, flag);
  lv::Splitting(t, sub, count);
  lv::TrimmingAndCase(t);
  lv::Cutting(t, sub, start, count);
  return 0;
}
