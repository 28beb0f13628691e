#include "text/text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <limits>
#include <random>
#include <utility>

namespace lv {
namespace {

// Readable form of a text for failure messages: bytes of 0x80 and above (the
// halves of two-byte characters) are shown as \xNN.
std::string Shown(std::string_view t) {
  std::string out;
  for (unsigned char c : t) {
    if (c >= 0x20 && c < 0x7F) {
      out.push_back(static_cast<char>(c));
    } else {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", c);
      out += buf;
    }
  }
  return out;
}

// Texts used below. In code page 936 a byte of 0x80 or more starts a two-byte
// character; the second byte may look like an ASCII letter.
const std::string kLeadA = "\xB0\x41";           // two-byte character whose trail byte is "A"
const std::string kLeadLowA = "\xB0\x61";        // ... whose trail byte is "a"
const std::string kWideSpace = "\xA1\xA1";       // the full-width space

// --- Cutting and measuring ---

TEST(Cutting, LengthCountsBytes) {
  EXPECT_EQ(Len(""), 0);
  EXPECT_EQ(Len("abc"), 3);
  EXPECT_EQ(Len("中文"), 4);
}

TEST(Cutting, LeftAndRightClampTheirCount) {
  struct Case { int n; const char* left; const char* right; };
  const Case cases[] = {
      {-1, "", ""}, {0, "", ""}, {1, "a", "c"}, {2, "ab", "bc"}, {3, "abc", "abc"}, {9, "abc", "abc"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.n);
    EXPECT_EQ(Left("abc", c.n), c.left);
    EXPECT_EQ(Right("abc", c.n), c.right);
  }
  // Byte-wise: a two-byte character can be cut in two.
  EXPECT_EQ(Left("中文", 1), "\xD6");
  EXPECT_EQ(Right("中文", 1), "\xC4");
}

TEST(Cutting, MiddleIsNotClamped) {
  struct Case { int start; int n; const char* expected; };
  const Case cases[] = {
      {1, 2, "ab"}, {2, 1, "b"}, {3, 5, "c"},  // cut at the end
      {0, 2, ""},   {-1, 9, ""},               // start < 1 is not moved to 1
      {4, 1, ""},   {2, 0, ""},  {2, -1, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.start << "," << c.n);
    EXPECT_EQ(Mid("abc", c.start, c.n), c.expected);
  }
  EXPECT_EQ(Mid("", 1, 1), "");
}

TEST(Cutting, CharacterCodeIsSigned) {
  EXPECT_EQ(CharCode("\xA8" "bc"), -88);
  EXPECT_EQ(CharCode("\xFF"), -1);
  EXPECT_EQ(CharCode("abc", 2), 'b');
  EXPECT_EQ(CharCode(""), 0);
  EXPECT_EQ(CharCode("abc", 0), 0);
  EXPECT_EQ(CharCode("abc", 4), 0);
}

TEST(Cutting, CharacterFromCode) {
  EXPECT_EQ(CharFromCode('A'), "A");
  EXPECT_EQ(CharFromCode(-88), "\xA8");
  EXPECT_EQ(CharFromCode(0xA8), "\xA8");
  EXPECT_EQ(CharFromCode(0), "");
}

// --- Searching ---

struct FindCase {
  std::string t;
  std::string sub;
  int start;
  bool ignoreCase;
  int expected;
};

TEST(Find, EdgeResults) {
  const FindCase cases[] = {
      {"a:b:c", ":", 1, false, 2},
      {"a:b:c", ":", 3, false, 4},
      {"a:b:c", ":", 4, false, 4},
      {"a:b:c", ":", 5, false, -1},
      {"a:b:c", ":", 6, false, -1},   // start past the end
      {"a:b:c", ":", 0, false, 2},    // start <= 1 means byte 1
      {"a:b:c", ":", -7, false, 2},
      {"", ":", 1, false, -1},
      {"abc", "", 1, false, 1},       // the empty sub is found at byte 1 ...
      {"abc", "", 3, false, 1},       // ... whatever the start ...
      {"abc", "", 4, false, -1},      // ... while a byte lies at or after it
      {"", "", 1, false, -1},
      {"abc", "abcd", 1, false, -1},
      {"abc", "abc", 1, false, 1},
      {"aabaabaaab", "aabaaab", 1, false, 4},  // a partial match must not be lost
      {"aaaab", "aaab", 1, false, 2},
      {"abab", "ab", 2, false, 3},
  };
  for (const FindCase& c : cases) {
    SCOPED_TRACE(testing::Message() << Shown(c.t) << " / " << Shown(c.sub) << " from " << c.start);
    EXPECT_EQ(Find(c.t, c.sub, c.start, c.ignoreCase), c.expected);
  }
}

TEST(Find, IgnoreCaseFoldsAsciiLettersOnly) {
  const FindCase cases[] = {
      {"X-ACCEPT: 1", "accept:", 1, true, 3},
      {"X-ACCEPT: 1", "accept:", 1, false, -1},
      {"xKEYy", "key", 1, true, 2},
      {"\xA3\xC1", "\xA3\xE1", 1, true, -1},  // full-width A and a never fold
      {"[", "{", 1, true, -1},                // neighbours of the letters do not fold
      {"@", "`", 1, true, -1},
  };
  for (const FindCase& c : cases) {
    SCOPED_TRACE(testing::Message() << Shown(c.t) << " / " << Shown(c.sub));
    EXPECT_EQ(Find(c.t, c.sub, c.start, c.ignoreCase), c.expected);
  }
}

TEST(Find, MatchesOnlyAtCharacterStarts) {
  const FindCase cases[] = {
      {kLeadA, "A", 1, false, -1},              // "A" only as a trail byte
      {kLeadA, "a", 1, true, -1},
      {kLeadA + "A", "A", 1, false, 3},
      {kLeadA + "BAB", "AB", 1, false, 4},       // the occurrence at byte 2 is skipped
      {"中文", "\xD0\xCE", 1, false, -1},       // straddles two characters
      {"中文", "文", 1, false, 3},
      {kLeadA + "A", "A", 2, false, 2},          // the start byte counts as a character start
      {"\xB0\xB0\xB0", "\xB0", 2, false, 2},
      {kLeadA, kLeadA, 1, true, 1},
      {kLeadLowA, kLeadA, 1, true, -1},         // a trail byte is never folded
      {kLeadLowA + "a", "A", 1, true, 3},
      {"ab\xB0", "\xB0", 1, false, -1},         // a lone lead byte at the end stops the walk
      {"ab\xB0", "b\xB0", 1, false, 2},         // ... but may end a match
  };
  for (const FindCase& c : cases) {
    SCOPED_TRACE(testing::Message() << Shown(c.t) << " / " << Shown(c.sub) << " from " << c.start);
    EXPECT_EQ(Find(c.t, c.sub, c.start, c.ignoreCase), c.expected);
  }
}

TEST(FindBackward, EdgeResults) {
  const FindCase cases[] = {
      {"abca", "a", kWholeText, false, 4},
      {"abca", "a", 4, false, 1},      // the window is "abc"
      {"abca", "a", 100, false, 4},    // a window longer than the text is the whole text
      {"abca", "a", 1, false, -1},
      {"abca", "a", 0, false, -1},
      {"abca", "ca", 5, false, 3},
      {"abca", "ca", 4, false, -1},    // must lie wholly inside the window
      {"abc", "", kWholeText, false, 1},
      {"abc", "", 2, false, 1},
      {"abc", "", 1, false, -1},
      {"", "", kWholeText, false, -1},
      {"", "a", kWholeText, false, -1},
      {"aaaa", "aa", kWholeText, false, 3},  // overlapping occurrences count
      {"aXbx", "x", kWholeText, true, 4},
      {"aXbx", "X", kWholeText, false, 2},
      {"A" + kLeadA, "A", kWholeText, false, 1},  // the last "A" is a trail byte
      {"a\xB0", "\xB0", kWholeText, false, -1},
      {"\xB0\xB0\xB0", "\xB0", 2, false, 1},     // window "\xB0": a lead byte whose trail lies outside
  };
  for (const FindCase& c : cases) {
    SCOPED_TRACE(testing::Message() << Shown(c.t) << " / " << Shown(c.sub) << " window " << c.start);
    EXPECT_EQ(FindBackward(c.t, c.sub, c.start, c.ignoreCase), c.expected);
  }
}

// --- Replacing and splitting ---

TEST(Replace, EdgeResults) {
  struct Case {
    std::string t, sub, repl;
    int start, count;
    bool matchCase;
    std::string expected;
  };
  const Case cases[] = {
      {"a#b#", "#", "\"", 1, kAll, true, "a\"b\""},
      {"Cookie: 1 COOKIE: 2", "cookie:", "", 1, kAll, false, " 1  2"},
      {"Cookie: 1 cookie: 2", "cookie:", "", 1, kAll, true, "Cookie: 1  2"},
      {"a#b#", "#", "-", 3, kAll, true, "a#b-"},      // bytes before start stay
      {"a#b#", "#", "-", 0, kAll, true, "a-b-"},
      {"a#b#", "#", "-", 1, 1, true, "a-b#"},         // count limits the replacements
      {"a#b#", "#", "-", 1, 0, true, "a#b#"},
      {"aaa", "aa", "b", 1, kAll, true, "ba"},         // matches never overlap
      {"aa", "a", "aa", 1, kAll, true, "aaaa"},        // a replacement is not scanned again
      {"abc", "x", "y", 1, kAll, true, "abc"},
      {"", "a", "b", 1, kAll, true, ""},
      {"abc", "", "y", 1, kAll, true, "abc"},
      {kLeadA + "A", "A", "x", 1, kAll, true, kLeadA + "x"},   // the trail byte is not matched
      {kLeadA + "a", "A", "x", 1, kAll, false, kLeadA + "x"},
      {kLeadA + "A", "A", "x", 2, kAll, true, "\xB0xx"},      // the start byte counts as a character start
      {"ab\xB0", "a", "x", 1, kAll, true, "xb"},            // a lone lead byte at the end is dropped
      {"ab\xB0", "z", "x", 1, kAll, true, "ab"},
      {"a#\xB0", "#", "x", 4, kAll, true, "a#\xB0"},        // start past the end: unchanged
      {"a#\xB0", "#", "x", 1, 0, true, "a#\xB0"},           // count 0: unchanged
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << Shown(c.t) << " / " << Shown(c.sub) << " from " << c.start
                                    << " count " << c.count);
    EXPECT_EQ(Replace(c.t, c.sub, c.repl, c.start, c.count, c.matchCase), c.expected);
  }
  EXPECT_EQ(Replace("a#b#", "#", "\"", /*matchCase=*/true), "a\"b\"");
}

TEST(Split, EmptyPieces) {
  struct Case { std::string t, delimiter; TextArray expected; };
  const Case cases[] = {
      {"a,b", ",", {"a", "b"}},
      {"a,,b", ",", {"a", "", "b"}},
      {",a", ",", {"", "a"}},
      {"a,b,", ",", {"a", "b"}},            // no empty member after a closing delimiter
      {",", ",", {""}},
      {",,", ",", {"", ""}},
      {"a", ",", {"a"}},
      {"", ",", {}},
      {"abc", "", {"abc"}},
      {"a=1; b=2; ", "; ", {"a=1", "b=2"}},
      {"a;;;b", ";;", {"a", ";b"}},          // delimiters do not overlap
      {"\xB0,a,b", ",", {"\xB0,a", "b"}},    // "," right after a lead byte is its trail
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << Shown(c.t) << " at " << Shown(c.delimiter));
    EXPECT_EQ(Split(c.t, c.delimiter), c.expected);
  }
  EXPECT_EQ(Split("a,b"), (TextArray{"a", "b"}));
  EXPECT_EQ(Split("a,b,c", ",", 2), (TextArray{"a", "b"}));
  // A limit of none holds also when there is nothing to split at.
  EXPECT_EQ(Split("a,b", ",", 0), TextArray{});
  EXPECT_EQ(Split("abc", "", 0), TextArray{});
  EXPECT_EQ(Split("abc", "", 1), TextArray{"abc"});
}

// --- Trimming and case ---

TEST(Trim, AsciiAndFullWidthSpacesOnly) {
  const std::string& ws = kWideSpace;
  struct Case { std::string t; std::string expected; };
  const Case cases[] = {
      {"  a b  ", "a b"},
      {"\ta ", "\ta"},                     // tabs stay
      {" \r\n", "\r\n"},
      {ws + "a" + ws + " ", "a"},
      {ws + " " + ws, ""},
      {"", ""},
      {"   ", ""},
      {"a  \xB0", "a  "},                  // a lone lead byte at the end goes, the spaces before it stay
      {"a" + ws + "\xA1", "a" + ws},
      {"\xB0 ", "\xB0 "},                  // a space as a trail byte is not a space
      {" \xB0\xA1\xA1", "\xB0\xA1"},       // the walk pairs B0 A1; the last A1 is a lone lead byte
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Shown(c.t));
    EXPECT_EQ(Trim(c.t), c.expected);
  }
}

TEST(Upper, AsciiLettersOutsideTwoByteCharacters) {
  EXPECT_EQ(Upper("content-type"), "CONTENT-TYPE");
  EXPECT_EQ(Upper("a中b"), "A中B");
  EXPECT_EQ(Upper(kLeadLowA), kLeadLowA);          // trail byte "a" stays
  EXPECT_EQ(Upper("\xA3\xE1"), "\xA3\xE1");          // full-width a stays
  EXPECT_EQ(Upper("\xB0"), "\xB0");                  // a lone lead byte is kept
  EXPECT_EQ(Upper("a\xB0"), "A\xB0");
  EXPECT_EQ(Upper(""), "");
}

// --- Comparing and joining ---

TEST(Compare, BytewiseUnsignedCaseSensitive) {
  struct Case { std::string_view a, b; int expected; };
  const Case cases[] = {
      {"a", "a", 0}, {"", "", 0}, {"a", "b", -1}, {"b", "a", 1},
      {"a", "", 1},  {"", "a", -1}, {"ab", "abc", -1},
      {"SID", "sid", -1}, {"\x80", "a", 1},  // bytes compare unsigned
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << Shown(c.a) << " vs " << Shown(c.b));
    EXPECT_EQ(Compare(c.a, c.b), c.expected);
  }
}

TEST(JoinBytes, Concatenates) {
  EXPECT_TRUE(JoinBytes({}).empty());
  EXPECT_TRUE(JoinBytes({{}, {}}).empty());
  EXPECT_EQ(JoinBytes({{1}, {}, {2, 0, 3}}), (ByteSet{1, 2, 0, 3}));
}

// --- Bytes and text ---

TEST(Bytes, ToAndFromText) {
  EXPECT_TRUE(ToBytes("").empty());
  EXPECT_EQ(ToBytes("中a"), (ByteSet{0xD6, 0xD0, 'a'}));
  EXPECT_EQ(BytesToText(ByteSet{'a', 0, 'b'}), "a");  // up to the first zero byte
  EXPECT_EQ(BytesToText(ByteSet{0xD6, 0xD0}), "中");
  EXPECT_EQ(BytesToText(ByteSet{}), "");
  EXPECT_EQ(BytesToText(ByteSet{0}), "");
  EXPECT_EQ(BytesLen(ByteSet{0, 0, 0}), 3);
}

TEST(Bytes, MiddleIsClamped) {
  const ByteSet b{1, 2, 3};
  struct Case { int start; int n; ByteSet expected; };
  const Case cases[] = {
      {1, 2, {1, 2}}, {0, 2, {1, 2}}, {-5, 1, {1}},   // start < 1 is taken as 1
      {2, 9, {2, 3}}, {4, 1, {}},     {9, 1, {}},
      {1, -1, {}},    {2, 0, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.start << "," << c.n);
    EXPECT_EQ(BytesMid(b, c.start, c.n), c.expected);
  }
  EXPECT_EQ(BytesMid(b, INT_MIN, INT_MAX), b);
}

TEST(Bytes, Blanks) {
  EXPECT_EQ(BlankBytes(3), (ByteSet{0, 0, 0}));
  EXPECT_TRUE(BlankBytes(0).empty());
  EXPECT_TRUE(BlankBytes(-2).empty());
  EXPECT_EQ(BlankText(2), "  ");
  EXPECT_EQ(BlankText(-1), "");
}

// --- Numbers ---

TEST(Numbers, BitOperations) {
  EXPECT_EQ(ToByte(0x1FF), 0xFF);
  EXPECT_EQ(ToByte(-1), 0xFF);
  EXPECT_EQ(ShiftLeft(1, 4), 16);
  EXPECT_EQ(ShiftLeft(1, 33), 2);            // n mod 32
  EXPECT_EQ(ShiftLeft(1, 31), INT_MIN);
  EXPECT_EQ(ShiftRight(200, 4), 12);
  EXPECT_EQ(ShiftRight(-8, 1), -4);          // sign kept
  EXPECT_EQ(ShiftRight(-1, 31), -1);
  EXPECT_EQ(ShiftRight(5, 32), 5);
  EXPECT_EQ(BitAnd(0xF0, 0x3C), 0x30);
  EXPECT_EQ(BitAnd(-1, 0x3F), 0x3F);
}

TEST(Numbers, ModuloKeepsTheSignOfTheDividend) {
  EXPECT_DOUBLE_EQ(Modulo(7, 3), 1);
  EXPECT_DOUBLE_EQ(Modulo(-7, 3), -1);
  EXPECT_DOUBLE_EQ(Modulo(7, -3), 1);
  EXPECT_DOUBLE_EQ(Modulo(7.5, 2), 1.5);
}

TEST(Numbers, ClampToIntCutsTowardZeroWithinTheRange) {
  constexpr double kInfinity = std::numeric_limits<double>::infinity();
  const struct {
    double v;
    int expected;
  } cases[] = {
      {2.9, 2},
      {-2.9, -2},
      {-0.5, 0},
      {2147483646.9, INT_MAX - 1},
      {2147483647.0, INT_MAX},
      {-2147483648.0, INT_MIN},
      {-2147483648.9, INT_MIN},
      {1e300, INT_MAX},
      {-1e300, INT_MIN},
      {kInfinity, INT_MAX},
      {-kInfinity, INT_MIN},
      {std::numeric_limits<double>::quiet_NaN(), 0},
      {-std::numeric_limits<double>::quiet_NaN(), 0},
  };
  for (const auto& c : cases) EXPECT_EQ(ClampToInt(c.v), c.expected) << c.v;
}

TEST(Numbers, ToText) {
  EXPECT_EQ(ToText(0), "0");
  EXPECT_EQ(ToText(-7), "-7");
  EXPECT_EQ(ToText(1234567), "1234567");
  EXPECT_EQ(ToText(INT_MIN), "-2147483648");
}

TEST(Numbers, ToNumber) {
  struct Case { std::string_view t; double expected; };
  const Case cases[] = {
      {"12abc", 12},     {"  3.5", 3.5},   {"abc", 0},      {"", 0},
      {"１２", 12},      // full-width digits
      {"－３", -3},      // full-width minus
      {"１．５", 1.5},   {"\xA1\xA1" "7", 7},  // a full-width space is white space
      {"\t\r\n 8", 8},   {"-4.5e2x", -450}, {"1e", 1},       {"1e+", 1},
      {".5", 0.5},       {"5.", 5},         {"+", 0},        {".", 0},
      {"1.5.3", 1.5},    {"+2", 2},         {"- 2", 0},      {"0x1A", 0},
      {"中1", 0},        // a two-byte character is no white space
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Shown(c.t));
    EXPECT_DOUBLE_EQ(ToNumber(c.t), c.expected);
  }
}

// --- The searches against a plain reference ---
//
// The reference reads the rules literally: walk the characters from the
// start position, try every character start, compare character by character.
// Random texts over an alphabet rich in lead bytes, trail-looking letters and
// repeats exercise the one-pass matcher's partial matches and folding.

bool RefMatchAt(std::string_view t, std::size_t i, std::string_view sub, bool ignoreCase) {
  if (sub.size() > t.size() - i) return false;
  auto fold = [&](unsigned char c) { return ignoreCase && c >= 'A' && c <= 'Z' ? c + 32 : int{c}; };
  for (std::size_t k = 0; k < sub.size(); ++k) {
    const auto a = static_cast<unsigned char>(t[i + k]);
    const auto b = static_cast<unsigned char>(sub[k]);
    if (b >= 0x80) {
      if (a != b) return false;
      if (k + 1 < sub.size()) {
        ++k;
        if (t[i + k] != sub[k]) return false;
      }
    } else if (fold(a) != fold(b)) {
      return false;
    }
  }
  return true;
}

// Every character start of t from `from` at which sub occurs, 0-based.
std::vector<std::size_t> RefOccurrences(std::string_view t, std::string_view sub,
                                        std::size_t from, bool ignoreCase) {
  std::vector<std::size_t> found;
  std::size_t i = from;
  while (i < t.size()) {
    const bool lead = static_cast<unsigned char>(t[i]) >= 0x80;
    if (lead && i + 1 == t.size()) break;
    if (RefMatchAt(t, i, sub, ignoreCase)) found.push_back(i);
    i += lead ? 2 : 1;
  }
  return found;
}

Text RandomText(std::mt19937& rng, std::size_t maxLength) {
  static const char kAlphabet[] = {'a', 'A', 'b', 'B', ',', ' ', '\xB0', '\xA1', '\xC1', 'a', 'a'};
  const std::size_t n = std::uniform_int_distribution<std::size_t>(0, maxLength)(rng);
  Text t;
  for (std::size_t i = 0; i < n; ++i) {
    t.push_back(kAlphabet[std::uniform_int_distribution<std::size_t>(0, sizeof kAlphabet - 1)(rng)]);
  }
  return t;
}

// A random text and a random marker that is not empty.
std::pair<Text, Text> RandomSearch(std::mt19937& rng, std::size_t maxMarker) {
  std::pair<Text, Text> search{RandomText(rng, 24), RandomText(rng, maxMarker)};
  if (search.second.empty()) search.second = "a";
  return search;
}

TEST(SearchReference, FindAndFindBackwardAgreeWithTheCharacterWalk) {
  std::mt19937 rng(20240611);
  for (int round = 0; round < 20000; ++round) {
    const auto [t, sub] = RandomSearch(rng, 4);
    const bool ignoreCase = round % 2 == 1;
    const int start = std::uniform_int_distribution<int>(0, static_cast<int>(t.size()) + 1)(rng);
    SCOPED_TRACE(testing::Message() << Shown(t) << " / " << Shown(sub) << " start " << start
                                    << (ignoreCase ? " ignoring case" : ""));

    const std::size_t from = start <= 1 ? 0 : static_cast<std::size_t>(start) - 1;
    int expected = -1;
    if (from < t.size()) {
      const auto all = RefOccurrences(t, sub, from, ignoreCase);
      if (!all.empty()) expected = static_cast<int>(all.front()) + 1;
    }
    ASSERT_EQ(Find(t, sub, start, ignoreCase), expected);

    expected = -1;
    const std::size_t window = start <= 1 ? 0 : std::min(t.size(), from);
    for (std::size_t at : RefOccurrences(t, sub, 0, ignoreCase)) {
      if (at + sub.size() <= window) expected = static_cast<int>(at) + 1;
    }
    ASSERT_EQ(FindBackward(t, sub, start, ignoreCase), expected);
  }
}

TEST(SearchReference, ReplaceAndSplitAgreeWithTheCharacterWalk) {
  std::mt19937 rng(7);
  for (int round = 0; round < 20000; ++round) {
    const auto [t, sub] = RandomSearch(rng, 3);
    const bool matchCase = round % 2 == 0;
    SCOPED_TRACE(testing::Message() << Shown(t) << " / " << Shown(sub)
                                    << (matchCase ? "" : " ignoring case"));

    // Non-overlapping occurrences, left to right, never looking back.
    Text replaced;
    TextArray pieces;
    std::size_t i = 0;
    std::size_t pieceStart = 0;
    while (i < t.size()) {
      const bool lead = static_cast<unsigned char>(t[i]) >= 0x80;
      if (lead && i + 1 == t.size()) break;  // dropped by replace
      if (RefMatchAt(t, i, sub, !matchCase)) {
        replaced += "<>";
        if (matchCase) pieces.push_back(t.substr(pieceStart, i - pieceStart));
        i += sub.size();
        pieceStart = i;
        continue;
      }
      replaced.append(t, i, lead ? 2 : 1);
      i += lead ? 2 : 1;
    }
    if (pieceStart < t.size()) pieces.push_back(t.substr(pieceStart));

    ASSERT_EQ(Replace(t, sub, "<>", matchCase), t.empty() ? t : replaced);
    if (matchCase) {
      ASSERT_EQ(Split(t, sub), pieces);
    }
  }
}

}  // namespace
}  // namespace lv
