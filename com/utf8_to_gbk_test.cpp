#include "com/utf8_to_gbk.h"

#include <gtest/gtest.h>

#include <string>

namespace lv {
namespace {

ByteSet Bytes(std::string_view s) { return ByteSet(s.begin(), s.end()); }

// Source literals are compiled to code page 936; u8 literals stay UTF-8.
TEST(Utf8ToGbk, ConvertsToCodePage936) {
  const struct {
    std::string utf8;
    std::string gbk;
  } cases[] = {
      {"", ""},
      {"plain <b>ASCII</b>\r\n\t~", "plain <b>ASCII</b>\r\n\t~"},
      {u8"中文", "\xD6\xD0\xCE\xC4"},
      {u8"壁纸：第1页。", "壁纸：第1页。"},
      // A zero byte ends the text.
      {std::string("ab\0" "cd", 5), "ab"},
      {std::string("\0x", 2), ""},
  };
  for (const auto& c : cases) EXPECT_EQ(Utf8ToGbk(Bytes(c.utf8)), c.gbk) << c.utf8;
}

TEST(Utf8ToGbk, BadInputIsSubstitutedWithoutLosingTheRest) {
  const struct {
    std::string utf8;
    std::string before;  // the result starts with this
    std::string after;   // and ends with this, something in between
  } cases[] = {
      {"ab\xE4\xB8", "ab", ""},                        // cut-off sequence at the end
      {"a\xFF" "b", "a", "b"},                         // byte that never starts UTF-8
      {"x\xC0\xAFy", "x", "y"},                        // overlong form
      {u8"中😀文", "\xD6\xD0", "\xCE\xC4"},            // outside code page 936
      {u8"กx", "", "x"},                               // Thai, not in code page 936
  };
  for (const auto& c : cases) {
    const Text out = Utf8ToGbk(Bytes(c.utf8));
    ASSERT_GT(out.size(), c.before.size() + c.after.size()) << c.utf8;
    EXPECT_EQ(out.substr(0, c.before.size()), c.before) << c.utf8;
    EXPECT_EQ(out.substr(out.size() - c.after.size()), c.after) << c.utf8;
    EXPECT_EQ(out.find('\0'), Text::npos);
  }
}

TEST(Utf8ToGbk, LargeMixedPageConvertsWhole) {
  std::string utf8;
  Text gbk;
  for (int i = 0; i < 20000; ++i) {
    utf8 += u8"<li>第" + std::to_string(i) + u8"张壁纸</li>\n";
    gbk += "<li>第" + std::to_string(i) + "张壁纸</li>\n";
  }
  EXPECT_EQ(Utf8ToGbk(Bytes(utf8)), gbk);
}

// Pages over a megabyte are converted a slice at a time; a character, or a
// malformed sequence, that straddles a slice's end must come out as it would
// in one piece.
TEST(Utf8ToGbk, SlicesNeverSplitACharacter) {
  for (std::size_t shift = 0; shift < 4; ++shift) {
    std::string utf8(1024 * 1024 - shift, 'a');
    Text gbk(utf8);
    for (int i = 0; i < 3; ++i) {
      utf8 += u8"壁纸";
      gbk += "壁纸";
    }
    utf8 += "\xE5\xA3z";  // a cut three-byte character before ASCII
    EXPECT_EQ(Utf8ToGbk(Bytes(utf8)), gbk + Utf8ToGbk(Bytes("\xE5\xA3z"))) << shift;
  }
}

TEST(GbkToUtf8, TurnsSystemTextBackIntoUtf8) {
  const struct {
    std::string gbk;
    std::string utf8;
  } cases[] = {
      {"", ""},
      {"C:\\out\\0.png", "C:\\out\\0.png"},
      {"\xD6\xD0\xCE\xC4", u8"中文"},
      // 縗 ends in 0x5C, which must not come out as a backslash.
      {"\xBF\x5C", u8"縗"},
      {std::string("a\0b", 3), std::string("a\0b", 3)},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(GbkToUtf8(c.gbk), c.utf8) << c.gbk;
    EXPECT_EQ(Utf8ToGbk(Bytes(GbkToUtf8(c.gbk))), c.gbk.substr(0, c.gbk.find('\0'))) << c.gbk;
  }
}

}  // namespace
}  // namespace lv
