#include "http/cookies.h"

#include <utility>

namespace lv {
namespace {

constexpr std::string_view kSeparator = "; ";
constexpr std::string_view kDeleted = "=deleted";

// Trimmed, with a closing ";" turned into a closing "; " that the split
// then ignores. A ";" that is the trail byte of a two-byte character closes
// nothing: the split would not see a delimiter there, and the added space
// would end up inside the last entry.
Text Tidy(std::string_view cookies) {
  Text t = Trim(cookies);
  if (FindBackward(t, ";") == Len(t)) t += ' ';
  return t;
}

// The pieces joined, each followed by the delimiter, and the last delimiter
// removed.
Text JoinPieces(const TextArray& pieces, std::string_view delimiter) {
  Text out;
  for (const Text& piece : pieces) {
    out += piece;
    out += delimiter;
  }
  return Left(out, Len(out) - Len(delimiter));
}

}  // namespace

Text MergeCookies(Text& sent, Text& received) {
  sent = Tidy(sent);
  received = Tidy(received);
  TextArray merged = Split(received, kSeparator);
  // merged grows inside the loop, so of several sent entries of one name
  // that the server did not set, only the first is added.
  for (const Text& entry : Split(sent, kSeparator)) {
    if (!ContainsCookieName(merged, CookieName(entry))) merged.push_back(entry);
  }
  TextArray kept;
  for (Text& entry : merged) {
    if (Right(entry, Len(kDeleted)) != kDeleted) kept.push_back(std::move(entry));
  }
  sent = RemoveDuplicates(JoinPieces(kept, kSeparator), kSeparator);
  return sent;
}

Text CookieName(std::string_view entry) {
  const int equals = Find(entry, "=");
  if (equals < 0) return Trim(entry);
  return Trim(Left(entry, equals - 1));
}

bool ContainsCookieName(const TextArray& entries, std::string_view name) {
  for (const Text& entry : entries) {
    if (Compare(CookieName(entry), name) == 0) return true;
  }
  return false;
}

Text RemoveDuplicates(std::string_view text, std::string_view delimiter) {
  TextArray seen;
  for (Text& piece : Split(text, delimiter)) {
    if (FindMember(seen, piece) < 0) seen.push_back(std::move(piece));
  }
  return JoinPieces(seen, delimiter);
}

int FindMember(const TextArray& list, std::string_view text) {
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (Compare(list[i], text) == 0) return static_cast<int>(i) + 1;
  }
  return -1;
}

}  // namespace lv
