#include "text/extract.h"

#include <gtest/gtest.h>

#include <climits>

namespace lv {
namespace {

// The marker the crawl cuts the full-size image address with.
constexpr const char* kImageMarker = "<img id=#引号wallpaper#引号 src=#引号";

TEST(QuoteToken, IsHashFollowedByTheTwoCharacters) {
  EXPECT_EQ(kQuoteToken, "#\xD2\xFD\xBA\xC5");
  EXPECT_EQ(kQuoteToken, "#引号");
}

TEST(QuoteToken, ExpandsEveryOccurrenceExactly) {
  EXPECT_EQ(ExpandQuoteToken(kImageMarker), "<img id=\"wallpaper\" src=\"");
  EXPECT_EQ(ExpandQuoteToken("#引号#引号"), "\"\"");
  EXPECT_EQ(ExpandQuoteToken("#引"), "#引");
  EXPECT_EQ(ExpandQuoteToken("##引号"), "#\"");
  EXPECT_EQ(ExpandQuoteToken(""), "");
}

struct BeforeCase {
  std::string text;
  std::string marker;
  int start;
  bool ignoreCase;
  std::string expected;
};

TEST(TextBefore, ForwardAndBackward) {
  const BeforeCase cases[] = {
      {"a:b:c", ":", 0, false, "a"},
      {"a:b:c", ":", 1, false, "a"},
      {"a:b:c", ":", 3, false, "a:b"},   // the search starts at byte 3, the result at byte 1
      {"a:b:c", ":", 5, false, ""},
      {"a:b:c", ":", 6, false, ""},      // start past the end
      {"a:b:c", ":", -1, false, "a:b"},  // the last occurrence
      {"a:b:c", ":", -2, false, "a"},    // the last two bytes left out
      {"a:b:c", ":", -3, false, "a"},
      {"a:b:c", ":", -4, false, ""},     // only "a" is considered
      {"a:b:c", ":", -5, false, ""},
      {"a:b:c", ":", INT_MIN, false, ""},
      {"a:b:", ":", -1, false, "a:b"},
      {"a:b:", ":", -2, false, "a"},     // the closing ":" lies in the bytes left out
      {"ab", "ab", -1, false, ""},       // marker at byte 1
      {":a", ":", 0, false, ""},
      {"abc", "x", 0, false, ""},
      {"abc", "x", -1, false, ""},
      {"", ":", 0, false, ""},
      {"", ":", -1, false, ""},
      {"abc", "", 0, false, ""},         // the empty marker is found at byte 1
      {"abc", "", -1, false, ""},
      {"xKEYy", "key", 0, false, ""},
      {"xKEYy", "key", 0, true, "x"},
      {"xKEYy", "key", -1, true, "x"},
      {"Set-Cookie: a=1", ": ", 0, false, "Set-Cookie"},
      {"a#引号b", "#引号", 0, false, "a"},   // no quote token meaning here
      {"a\"b", "#引号", 0, false, ""},
      {"\xB0:x:", ":", 0, false, "\xB0:x"},  // the first ":" is a trail byte
      {"x:\xB0:", ":", -1, false, "x"},
  };
  for (const BeforeCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.text << " / " << c.marker << " start " << c.start);
    EXPECT_EQ(TextBefore(c.text, c.marker, c.start, c.ignoreCase), c.expected);
  }
  EXPECT_EQ(TextBefore("a:b:c", ":"), "a");
}

struct BetweenCase {
  std::string text;
  std::string left;
  std::string right;
  int start;
  bool ignoreCase;
  std::string expected;
};

TEST(TextBetween, EdgeResults) {
  const BetweenCase cases[] = {
      {"Set-Cookie: a=1; path=/", "Set-Cookie:", ";", 0, false, " a=1"},  // nothing is trimmed
      {"abc", "x", "c", 0, false, ""},        // left marker absent
      {"]ab[", "[", "]", 0, false, ""},       // right marker only before the left one
      {"[]", "[", "]", 0, false, ""},
      {"ab[", "[", "]", 0, false, ""},        // left marker at the very end
      {"a[b]", "[", "", 0, false, ""},        // empty right marker
      {"ab]c]", "", "]", 0, false, "ab"},     // empty left marker: from byte 1
      {"ab]c]", "", "]", 3, false, "ab"},     // ... whatever the start
      {"ab]c]", "", "]", 6, false, ""},       // ... unless it lies past the end
      {"aXa", "a", "a", 0, false, "X"},       // markers may be equal
      {"aa", "a", "a", 0, false, ""},
      {"a#引号b", "a", "#引号", 0, false, ""},  // the token in the text stays text
      {"a#引号b\"", "a", "#引号", 0, false, "#引号b"},
      {"x<A>1</A><a>2</a>", "<a>", "</a>", 0, false, "2"},
      {"x<A>1</A><a>2</a>", "<a>", "</a>", 0, true, "1"},
      {"k=1;k=2;", "k=", ";", 0, false, "1"},
      {"k=1;k=2;", "k=", ";", 4, false, "2"},
      {"k=1;k=2;", "k=", ";", -3, false, "1"},
      {"k=1;k=2;", "k=", ";", 9, false, ""},
      {"k=1;", "k=", ";=", 0, false, ""},
      {"[a]\xB0]b]", "[", "]", 0, false, "a"},
      {"\xB0[a]", "[", "]", 0, false, ""},    // "[" is the trail byte of \xB0[
      {"[\xB0]b]", "[", "]", 0, false, "\xB0]b"},  // so is the first "]"
  };
  for (const BetweenCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.text << " / " << c.left << " / " << c.right << " start "
                                    << c.start);
    EXPECT_EQ(TextBetween(c.text, c.left, c.right, c.start, c.ignoreCase), c.expected);
  }
}

TEST(TextBetween, QuoteTokenInBothMarkers) {
  const std::string page =
      "<div><img id=\"thumb\" src=\"https://thumbs.example.com/small.jpg\">"
      "<p>壁纸 #引号</p>"
      "<img id=\"wallpaper\" src=\"https://w.example/full/lakeside-1.jpg\" alt=\"壁纸\">";
  EXPECT_EQ(TextBetween(page, kImageMarker, "#引号"), "https://w.example/full/lakeside-1.jpg");
  EXPECT_EQ(TextBetween("id=#引号x#引号", "id=#引号", "#引号"), "");
  EXPECT_EQ(TextBetween("<b>\"q\"</b>", "<b>#引号", "#引号</b>"), "q");
}

TEST(TextBetween, RightMarkerIsSearchedFromTheEndOfTheLeftMarker) {
  // The right marker overlapping the left one is never used.
  EXPECT_EQ(TextBetween("abcd", "abc", "cd"), "");
  EXPECT_EQ(TextBetween("abcdcd", "abc", "cd"), "d");
  EXPECT_EQ(TextBetween("abcd", "ab", "b"), "");
}

}  // namespace
}  // namespace lv
