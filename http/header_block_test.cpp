#include "http/header_block.h"

#include <gtest/gtest.h>

namespace lv {
namespace {

TEST(CapitalizeFirst, OnlyTheFirstByteChanges) {
  struct Case { std::string word, expected; };
  const Case cases[] = {
      {"", ""},         {"type", "Type"},  {"tYPE", "TYPE"},  {"TYPE", "TYPE"},
      {"a", "A"},       {"1a", "1a"},      {" a", " a"},      {"中文", "中文"},
      {"\xB0\x61", "\xB0\x61"},  // a lead byte is not a letter; its trail is left alone
      {"\xB0", "\xB0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.word);
    EXPECT_EQ(CapitalizeFirst(c.word), c.expected);
  }
}

TEST(NormalizeHeaderBlock, CapitalisesNamesAndDropsOtherLines) {
  struct Case { std::string block, expected; };
  const Case cases[] = {
      {"", ""},
      {"accept: text/html", "Accept: text/html"},
      {"\r\naccept: text/html\r\nreferer: x", "Accept: text/html\r\nReferer: x"},
      {"content-type:text/html\r\n", "Content-Type:text/html"},  // no space added, no closing CR LF
      {"x-requested-with: XMLHttpRequest", "X-Requested-With: XMLHttpRequest"},
      {"user-AGENT: a", "User-AGENT: a"},
      {"garbage\r\na: b", "A: b"},
      {"one\r\ntwo\r\n", ""},
      {"\r\n\r\n", ""},
      {"a:  b:c\t\r\n\r\nb:\r\n", "A:  b:c\t\r\nB:"},  // the tail stays byte for byte
      {" accept : x", " accept : x"},                  // the first byte is a space
      {": v", ": v"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.block);
    EXPECT_EQ(NormalizeHeaderBlock(c.block), c.expected);
  }
}

TEST(NormalizeHeaderBlock, OddDashesInNamesStay) {
  struct Case { std::string block, expected; };
  const Case cases[] = {
      {"a-: v", "A-: v"},     {"a--b: v", "A--B: v"}, {"-x: v", "-X: v"},
      {"--: v", "--: v"},     {"-: v", "-: v"},       {"a--: v", "A--: v"},
      {"a-:-b", "A-:-b"},     {"a-b-c:d-e", "A-B-C:d-e"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.block);
    EXPECT_EQ(NormalizeHeaderBlock(c.block), c.expected);
  }
}

TEST(NormalizeHeaderBlock, OnlyCrLfSeparatesLines) {
  // LF or CR alone: one line, and only its first colon is seen.
  EXPECT_EQ(NormalizeHeaderBlock("a: 1\nb: 2"), "A: 1\nb: 2");
  EXPECT_EQ(NormalizeHeaderBlock("a\rb: 1"), "A\rb: 1");
  EXPECT_EQ(NormalizeHeaderBlock("a\nb\r\nc-d: 1"), "C-D: 1");
}

TEST(NormalizeHeaderBlock, TwoByteCharactersAreLeftAlone) {
  struct Case { std::string block, expected; };
  const Case cases[] = {
      {"中a: v", "中a: v"},
      {"\xB0\x61-b: v", "\xB0\x61-B: v"},   // the trail byte "a" is not upper-cased
      {"a-\xB0-b: v", "A-\xB0-b: v"},       // "-" right after a lead byte is its trail
      {"\xB0:x", ""},                       // a colon as trail byte is no colon
      {"\xB0::x", "\xB0::x"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.block);
    EXPECT_EQ(NormalizeHeaderBlock(c.block), c.expected);
  }
}

TEST(HeaderNameAndValue, CutAtTheFirstColonAndTrim) {
  const std::string wideSpace = "\xA1\xA1";
  struct Case { std::string line, name, value; };
  const Case cases[] = {
      {"  Host : x ", "Host", "x"},
      {"novalue", "", ""},
      {"Key:", "Key", ""},
      {"a:b:c", "a", "b:c"},
      {":v", "", "v"},
      {"k:\tv", "k", "\tv"},                   // tabs are not trimmed
      {"k:" + wideSpace + "v" + wideSpace, "k", "v"},
      {"k: v\r", "k", "v\r"},
      {"\tk: v", "\tk", "v"},
      {"\xB0:x", "", ""},                      // the colon is a trail byte
      {"中: 文", "中", "文"},
      {"", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    EXPECT_EQ(HeaderName(c.line), c.name);
    EXPECT_EQ(HeaderValue(c.line), c.value);
  }
}

}  // namespace
}  // namespace lv
