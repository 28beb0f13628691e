#include "http/header_block.h"

namespace lv {
namespace {

constexpr std::string_view kLineBreak = "\r\n";

// Each "-"-separated word capitalised. A trailing "-" yields no word of its
// own, so the result is then one byte shorter than the name.
Text CapitalizeWords(std::string_view name) {
  if (Find(name, "-") < 0) return CapitalizeFirst(name);
  Text out;
  out.reserve(name.size());
  bool first = true;
  for (const Text& word : Split(name, "-")) {
    if (!first) out += '-';
    out += CapitalizeFirst(word);
    first = false;
  }
  return out;
}

}  // namespace

Text CapitalizeFirst(std::string_view word) {
  if (word.empty()) return {};
  return Upper(Left(word, 1)) + Text(word.substr(1));
}

Text NormalizeHeaderBlock(std::string_view block) {
  Text out;
  out.reserve(block.size());
  for (const Text& line : Split(block, kLineBreak)) {
    const int colon = Find(line, ":");
    if (colon < 0) continue;  // not a header
    const Text name = CapitalizeWords(Left(line, colon - 1));
    // The tail is taken by length from the line as read, so a name that lost
    // its trailing "-" gets it back from the line.
    out += name;
    out += Right(line, Len(line) - Len(name));
    out += kLineBreak;
  }
  return Left(out, Len(out) - Len(kLineBreak));
}

Text HeaderName(std::string_view line) {
  const int colon = Find(line, ":");
  if (colon < 0) return {};
  return Trim(Left(line, colon - 1));
}

Text HeaderValue(std::string_view line) {
  const int colon = Find(line, ":");
  if (colon < 0) return {};
  return Trim(Right(line, Len(line) - colon));
}

}  // namespace lv
