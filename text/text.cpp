#include "text/text.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>

namespace lv {
namespace {

constexpr unsigned char kLeadMin = 0x80;

bool IsLead(unsigned char c) { return c >= kLeadMin; }

unsigned char FoldAscii(unsigned char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 32) : c;
}

// Size in bytes of the character starting at i, or 0 when it is a lone lead
// byte directly before the end of the text (the walk stops there).
std::size_t CharSize(std::string_view t, std::size_t i) {
  if (!IsLead(static_cast<unsigned char>(t[i]))) return 1;
  return i + 1 < t.size() ? 2 : 0;
}

// The occurrences of a marker that begin at character starts of a text, found
// in one left-to-right pass (Knuth-Morris-Pratt), so that find, find backward,
// replace and split stay linear whatever the text and the marker are.
//
// Ignoring case folds ASCII letters that stand alone as characters; the two
// bytes of a two-byte character always compare exactly. The marker and the
// text are each folded along their own character walk: where the walks line
// up at a match, folded bytes are equal exactly when the characters match.
class Occurrences {
 public:
  // sub must not be empty. Occurrences must begin at or after `from` (taken
  // as a character start) and end at or before `end`.
  Occurrences(std::string_view t, std::string_view sub, bool ignoreCase,
              std::size_t from, std::size_t end)
      : t_(t), sub_(sub), ignoreCase_(ignoreCase), end_(std::min(end, t.size())) {
    if (ignoreCase_) {
      for (std::size_t i = 0; i < sub_.size(); ++i) {
        if (IsLead(static_cast<unsigned char>(sub_[i]))) {
          ++i;  // the trail byte stays as it is
        } else {
          sub_[i] = static_cast<char>(FoldAscii(static_cast<unsigned char>(sub_[i])));
        }
      }
    }
    prefix_.resize(sub_.size());
    std::size_t k = 0;
    for (std::size_t i = 1; i < sub_.size(); ++i) {
      while (k > 0 && sub_[i] != sub_[k]) k = prefix_[k - 1];
      if (sub_[i] == sub_[k]) ++k;
      prefix_[i] = k;
    }
    RestartAt(from);
  }

  // Goes on from `from` as from a character start, forgetting any partial
  // match: after a replaced or split-off match the scan never looks back.
  void RestartAt(std::size_t from) {
    scan_ = walk_ = fold_ = from;
    matched_ = 0;
  }

  // The next occurrence (0-based), overlapping ones included; npos when none.
  std::size_t Next() {
    const std::size_t m = sub_.size();
    while (scan_ < end_) {
      if (matched_ == 0 && !ignoreCase_) {
        const void* hit = std::memchr(t_.data() + scan_, sub_[0], end_ - scan_);
        if (hit == nullptr) break;
        scan_ = static_cast<std::size_t>(static_cast<const char*>(hit) - t_.data());
      }
      const char c = ByteAt(scan_++);
      while (matched_ > 0 && c != sub_[matched_]) matched_ = prefix_[matched_ - 1];
      if (c == sub_[matched_]) ++matched_;
      if (matched_ == m) {
        matched_ = prefix_[m - 1];
        const std::size_t at = scan_ - m;
        if (IsCharStart(at)) return at;
      }
    }
    scan_ = end_;
    return std::string_view::npos;
  }

 private:
  // Byte j of the text as the matcher sees it.
  char ByteAt(std::size_t j) {
    if (!ignoreCase_) return t_[j];
    while (fold_ < j) fold_ += IsLead(static_cast<unsigned char>(t_[fold_])) ? 2 : 1;
    if (fold_ != j) return t_[j];  // a trail byte
    return static_cast<char>(FoldAscii(static_cast<unsigned char>(t_[j])));
  }

  // Does the character walk from the start position reach byte s, and may a
  // match begin there? A lone lead byte at the end of the text stops the walk.
  bool IsCharStart(std::size_t s) {
    while (walk_ < s) walk_ += IsLead(static_cast<unsigned char>(t_[walk_])) ? 2 : 1;
    return walk_ == s && CharSize(t_, s) != 0;
  }

  std::string_view t_;
  Text sub_;  // folded when ignoring case
  std::vector<std::size_t> prefix_;
  bool ignoreCase_;
  std::size_t end_;
  std::size_t scan_ = 0;     // next byte fed to the matcher
  std::size_t matched_ = 0;  // length of the partial match before scan_
  std::size_t walk_ = 0;     // character walk that checks where matches begin
  std::size_t fold_ = 0;     // character walk that decides which bytes fold
};

}  // namespace

int Len(std::string_view t) { return static_cast<int>(t.size()); }

Text Left(std::string_view t, int n) {
  if (n <= 0) return {};
  return Text(t.substr(0, static_cast<std::size_t>(n)));
}

Text Right(std::string_view t, int n) {
  if (n <= 0) return {};
  if (static_cast<std::size_t>(n) >= t.size()) return Text(t);
  return Text(t.substr(t.size() - static_cast<std::size_t>(n)));
}

Text Mid(std::string_view t, int start, int n) {
  if (start < 1 || n <= 0 || static_cast<std::size_t>(start) > t.size()) return {};
  return Text(t.substr(static_cast<std::size_t>(start) - 1, static_cast<std::size_t>(n)));
}

int CharCode(std::string_view t, int pos) {
  if (pos < 1 || static_cast<std::size_t>(pos) > t.size()) return 0;
  return static_cast<signed char>(t[static_cast<std::size_t>(pos) - 1]);
}

Text CharFromCode(int c) {
  const char byte = static_cast<char>(c & 0xFF);
  if (byte == 0) return {};
  return Text(1, byte);
}

int Find(std::string_view t, std::string_view sub, int start, bool ignoreCase) {
  if (start < 1) start = 1;
  if (static_cast<std::size_t>(start) > t.size()) return -1;
  if (sub.empty()) return 1;
  const std::size_t at =
      Occurrences(t, sub, ignoreCase, static_cast<std::size_t>(start) - 1, t.size()).Next();
  return at == std::string_view::npos ? -1 : static_cast<int>(at) + 1;
}

int FindBackward(std::string_view t, std::string_view sub, int start,
                 bool ignoreCase) {
  std::size_t window = t.size();
  if (start != kWholeText) {
    if (start <= 1) return -1;
    window = std::min(window, static_cast<std::size_t>(start) - 1);
  }
  if (window == 0) return -1;
  if (sub.empty()) return 1;
  // The walk runs from byte 1 so that matches begin at true character starts.
  Occurrences occurrences(t, sub, ignoreCase, 0, window);
  int last = -1;
  for (std::size_t at = occurrences.Next(); at != std::string_view::npos;
       at = occurrences.Next()) {
    last = static_cast<int>(at) + 1;
  }
  return last;
}

Text Replace(std::string_view t, std::string_view sub, std::string_view repl,
             int start, int count, bool matchCase) {
  if (start < 1) start = 1;
  if (t.empty() || sub.empty() || static_cast<std::size_t>(start) > t.size() ||
      count == 0) {
    return Text(t);
  }
  Text out;
  out.reserve(t.size());
  std::size_t copied = static_cast<std::size_t>(start) - 1;
  out.append(t.substr(0, copied));
  Occurrences occurrences(t, sub, !matchCase, copied, t.size());
  for (int left = count; left != 0; left = left > 0 ? left - 1 : left) {
    const std::size_t at = occurrences.Next();
    if (at == std::string_view::npos) break;
    out.append(t.substr(copied, at - copied));
    out.append(repl);
    copied = at + sub.size();
    occurrences.RestartAt(copied);
  }
  // Copy the rest character by character so that a lone lead byte at the
  // very end is dropped, as the walk would drop it.
  std::string_view rest = t.substr(copied);
  if (!rest.empty()) {
    std::size_t keep = rest.size();
    std::size_t i = 0;
    while (i < rest.size()) {
      std::size_t n = CharSize(rest, i);
      if (n == 0) { keep = i; break; }
      i += n;
    }
    out.append(rest.substr(0, keep));
  }
  return out;
}

TextArray Split(std::string_view t, std::string_view delimiter, int max) {
  TextArray pieces;
  if (t.empty()) return pieces;
  if (delimiter.empty()) {
    if (max != 0) pieces.emplace_back(t);
    return pieces;
  }
  Occurrences occurrences(t, delimiter, false, 0, t.size());
  std::size_t from = 0;
  while (max < 0 || pieces.size() < static_cast<std::size_t>(max)) {
    const std::size_t at = occurrences.Next();
    if (at == std::string_view::npos) {
      if (from < t.size()) pieces.emplace_back(t.substr(from));
      break;
    }
    pieces.emplace_back(t.substr(from, at - from));
    from = at + delimiter.size();
    occurrences.RestartAt(from);
  }
  return pieces;
}

Text Trim(std::string_view t) {
  auto isSpaceAt = [&](std::size_t i, std::size_t n) {
    return (n == 1 && t[i] == ' ') ||
           (n == 2 && static_cast<unsigned char>(t[i]) == 0xA1 &&
            static_cast<unsigned char>(t[i + 1]) == 0xA1);
  };
  std::size_t begin = 0;
  std::size_t end = 0;  // one past the last character that is not a space
  bool seenText = false;
  std::size_t i = 0;
  while (i < t.size()) {
    std::size_t n = CharSize(t, i);
    if (n == 0) {
      // A lone lead byte ends the text: it is dropped, and since it was the
      // last character (not a space), the spaces before it stay.
      if (!seenText) begin = i;
      end = i;
      return Text(t.substr(begin, end - begin));
    }
    if (!isSpaceAt(i, n)) {
      if (!seenText) { begin = i; seenText = true; }
      end = i + n;
    }
    i += n;
  }
  if (!seenText) return {};
  return Text(t.substr(begin, end - begin));
}

Text Upper(std::string_view t) {
  Text out(t);
  std::size_t i = 0;
  while (i < out.size()) {
    std::size_t n = CharSize(out, i);
    if (n == 0) break;
    if (n == 1 && out[i] >= 'a' && out[i] <= 'z') out[i] = static_cast<char>(out[i] - 32);
    i += n;
  }
  return out;
}

int Compare(std::string_view a, std::string_view b) {
  std::size_t n = std::min(a.size(), b.size());
  int c = std::memcmp(a.data(), b.data(), n);
  if (c == 0) c = a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

ByteSet JoinBytes(const std::vector<ByteSet>& parts) {
  std::size_t total = 0;
  for (const ByteSet& p : parts) total += p.size();
  ByteSet out;
  out.reserve(total);
  for (const ByteSet& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

ByteSet ToBytes(std::string_view t) { return ByteSet(t.begin(), t.end()); }

Text BytesToText(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return {};
  const void* zero = std::memchr(data, 0, size);
  std::size_t n = zero ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(zero) - data) : size;
  return Text(reinterpret_cast<const char*>(data), n);
}

Text BytesToText(const ByteSet& b) { return BytesToText(b.data(), b.size()); }

int BytesLen(const ByteSet& b) { return static_cast<int>(b.size()); }

ByteSet BytesMid(const ByteSet& b, int start, int n) {
  long long first = std::clamp<long long>(start, 1, static_cast<long long>(b.size()) + 1) - 1;
  long long count = std::max(n, 0);
  long long last = std::min<long long>(first + count, static_cast<long long>(b.size()));
  return ByteSet(b.begin() + first, b.begin() + last);
}

ByteSet BlankBytes(int n) { return ByteSet(static_cast<std::size_t>(std::max(n, 0)), 0); }

Text BlankText(int n) { return Text(static_cast<std::size_t>(std::max(n, 0)), ' '); }

std::uint8_t ToByte(std::int32_t v) { return static_cast<std::uint8_t>(v & 0xFF); }

std::int32_t ShiftLeft(std::int32_t v, int n) {
  unsigned s = static_cast<unsigned>(n) & 31u;
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(v) << s);
}

std::int32_t ShiftRight(std::int32_t v, int n) {
  unsigned s = static_cast<unsigned>(n) & 31u;
  // Sign-keeping shift written without relying on how >> treats negatives.
  if (v >= 0) return v >> s;
  return ~(~v >> s);
}

std::int32_t BitAnd(std::int32_t a, std::int32_t b) { return a & b; }

double Modulo(double a, double b) { return std::fmod(a, b); }

int ClampToInt(double v) {
  if (std::isnan(v)) return 0;
  if (v <= static_cast<double>(INT_MIN)) return INT_MIN;
  if (v >= static_cast<double>(INT_MAX)) return INT_MAX;
  return static_cast<int>(v);
}

Text ToText(long long v) { return std::to_string(v); }

namespace {

// Code page 936's full-width forms (A3 A1 to A3 FE) as their ASCII
// characters, its ideographic space (A1 A1) as a space and the marks A1 AB,
// A1 EE and A1 EF as ~ and *; every other character as it is.
Text FullWidthToAscii(std::string_view t) {
  Text ascii;
  ascii.reserve(t.size());
  std::size_t i = 0;
  while (i < t.size()) {
    std::size_t n = CharSize(t, i);
    if (n == 0) break;
    if (n == 2) {
      auto hi = static_cast<unsigned char>(t[i]);
      auto lo = static_cast<unsigned char>(t[i + 1]);
      if (hi == 0xA3 && lo >= 0xA1 && lo <= 0xFE) {
        ascii.push_back(static_cast<char>(lo - 0x80));
      } else if (hi == 0xA1 && lo == 0xA1) {
        ascii.push_back(' ');
      } else if (hi == 0xA1 && lo == 0xAB) {
        ascii.push_back('~');
      } else if (hi == 0xA1 && (lo == 0xEE || lo == 0xEF)) {
        ascii.push_back('*');
      } else {
        ascii.append(t.substr(i, 2));
      }
    } else {
      ascii.push_back(t[i]);
    }
    i += n;
  }
  return ascii;
}

// The longest leading decimal real number after leading white space; 0 when
// there is none.
double LeadingNumber(const Text& ascii) {
  std::size_t p = ascii.find_first_not_of(" \t\n\v\f\r");
  if (p == Text::npos) return 0;
  bool negative = false;
  if (ascii[p] == '+' || ascii[p] == '-') negative = ascii[p++] == '-';
  auto isDigit = [&](std::size_t k) { return k < ascii.size() && ascii[k] >= '0' && ascii[k] <= '9'; };
  std::size_t numStart = p;
  std::size_t digits = 0;
  while (isDigit(p)) { ++p; ++digits; }
  if (p < ascii.size() && ascii[p] == '.') {
    std::size_t q = p + 1;
    std::size_t frac = 0;
    while (isDigit(q)) { ++q; ++frac; }
    if (digits + frac > 0) { p = q; digits += frac; }
  }
  if (digits == 0) return 0;
  if (p < ascii.size() && (ascii[p] == 'e' || ascii[p] == 'E')) {
    std::size_t q = p + 1;
    if (q < ascii.size() && (ascii[q] == '+' || ascii[q] == '-')) ++q;
    if (isDigit(q)) {
      while (isDigit(q)) ++q;
      p = q;
    }
  }
  double value = 0;
  auto [end, ec] = std::from_chars(ascii.data() + numStart, ascii.data() + p, value);
  (void)end;
  if (ec == std::errc::result_out_of_range) {
    // from_chars gives no value then: a negative exponent went below the
    // smallest double (zero), any other above the largest.
    std::size_t e = ascii.find_first_of("eE", numStart);
    bool tiny = e != Text::npos && e < p && e + 1 < p && ascii[e + 1] == '-';
    value = tiny ? 0.0 : HUGE_VAL;
  }
  return negative ? -value : value;
}

}  // namespace

double ToNumber(std::string_view t) { return LeadingNumber(FullWidthToAscii(t)); }

}  // namespace lv
