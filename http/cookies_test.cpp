#include "http/cookies.h"

#include <gtest/gtest.h>

namespace lv {
namespace {

struct MergeCase {
  std::string sent;
  std::string received;
  std::string merged;
};

void ExpectMerges(const MergeCase& c) {
  SCOPED_TRACE(testing::Message() << "sent [" << c.sent << "] received [" << c.received << "]");
  Text sent = c.sent;
  Text received = c.received;
  EXPECT_EQ(MergeCookies(sent, received), c.merged);
  EXPECT_EQ(sent, c.merged);  // sent is rewritten with the result
}

TEST(MergeCookies, ReceivedWinsAndSentFollows) {
  const MergeCase cases[] = {
      {"a=1; b=2", "b=3; c=4", "b=3; c=4; a=1"},
      {"a=1; b=2", "", "a=1; b=2"},
      {"", "x=1; ", "x=1"},
      {"", "", ""},
      {"a=1; a=2", "b=1", "b=1; a=1"},          // only the first sent entry of a name
      {"a=1", "a=1", "a=1"},
      {"SID=1", "sid=2", "sid=2; SID=1"},       // names compare exactly
      {"flag", "flag=1", "flag=1"},             // no "=": the whole entry is the name
      {" flag ", "flag=1", "flag=1"},
      {"=x", "=y", "=y"},                       // the name "" is a name like any other
  };
  for (const MergeCase& c : cases) ExpectMerges(c);
}

TEST(MergeCookies, DeletedCookiesDisappear) {
  const MergeCase cases[] = {
      {"a=1; b=2", "a=deleted", "b=2"},         // also keeps the sent a=1 out
      {"a=deleted; b=1", "", "b=1"},
      {"a=0", "a=1; a=deleted", "a=1"},
      {"", "a=DELETED", "a=DELETED"},           // case-sensitive
      {"", "=deleted", ""},
      {"", "deleted", "deleted"},
      {"", "a=deleted ; b=1", "a=deleted ; b=1"},  // must be the entry's last bytes
  };
  for (const MergeCase& c : cases) ExpectMerges(c);
}

TEST(MergeCookies, RepeatsAndEmptyEntries) {
  const MergeCase cases[] = {
      {"", "a=1; a=2", "a=1; a=2"},             // same name, other value: both stay
      {"", "a=1; a=1", "a=1"},
      {"", "a=1; ; b=2", "a=1; ; b=2"},         // an empty entry in the middle survives once
      {"", "a=1; ; b=2; ; c=3", "a=1; ; b=2; c=3"},
      {"", "a=1; ; ", "a=1"},                   // ... and is lost at the end
  };
  for (const MergeCase& c : cases) ExpectMerges(c);
}

TEST(MergeCookies, SurroundingSpacesAndClosingSemicolons) {
  const std::string wideSpace = "\xA1\xA1";
  const MergeCase cases[] = {
      {" a=1; ", "", "a=1"},
      {"a=1;", "", "a=1"},
      {" a=1;", "b=2; ", "b=2; a=1"},
      {"a=1", " b=2;", "b=2; a=1"},
      {wideSpace + "a=1" + wideSpace, "", "a=1"},
      {"a=1;  b=2", "", "a=1;  b=2"},           // entries are not trimmed ...
      {"a=1;  b=2", "b=3", "b=3; a=1"},         // ... but " b=2" is still named b
      {"\ta=1", "", "\ta=1"},                    // tabs are not trimmed
      // A ";" right after a lead byte is its trail, not a closing semicolon.
      {"", "x=\xC9;", "x=\xC9;"},
      {"a=\xC9;", "b=2", "b=2; a=\xC9;"},
  };
  for (const MergeCase& c : cases) ExpectMerges(c);
}

TEST(MergeCookies, ReceivedHoldsItsTidiedForm) {
  Text sent = "a=1";
  Text received = "  x=1;";
  MergeCookies(sent, received);
  EXPECT_EQ(received, "x=1; ");
  EXPECT_EQ(sent, "x=1; a=1");

  received = " y=2 ";
  sent.clear();
  MergeCookies(sent, received);
  EXPECT_EQ(received, "y=2");
}

TEST(CookieName, TextBeforeTheFirstEqualsTrimmed) {
  struct Case { std::string entry, name; };
  const Case cases[] = {
      {"a=1", "a"},     {" a =1", "a"},  {"a=b=c", "a"}, {"=x", ""},
      {"flag", "flag"}, {" flag ", "flag"}, {"", ""},    {"\ta=1", "\ta"},
      {"\xB0=x=1", "\xB0=x"},  // "=" right after a lead byte is its trail
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.entry);
    EXPECT_EQ(CookieName(c.entry), c.name);
  }
}

TEST(ContainsCookieName, ComparesNamesExactly) {
  const TextArray entries{"a=1", " b=2", "=x", "flag"};
  EXPECT_TRUE(ContainsCookieName(entries, "a"));
  EXPECT_TRUE(ContainsCookieName(entries, "b"));
  EXPECT_TRUE(ContainsCookieName(entries, ""));
  EXPECT_TRUE(ContainsCookieName(entries, "flag"));
  EXPECT_FALSE(ContainsCookieName(entries, "A"));
  EXPECT_FALSE(ContainsCookieName(entries, "a=1"));
  EXPECT_FALSE(ContainsCookieName({}, ""));
}

TEST(FindMember, FirstEqualMemberFromOne) {
  const TextArray list{"a", "b", "a", ""};
  EXPECT_EQ(FindMember(list, "a"), 1);
  EXPECT_EQ(FindMember(list, "b"), 2);
  EXPECT_EQ(FindMember(list, ""), 4);
  EXPECT_EQ(FindMember(list, "A"), -1);
  EXPECT_EQ(FindMember(list, "a "), -1);
  EXPECT_EQ(FindMember({}, ""), -1);
}

TEST(RemoveDuplicates, KeepsFirstOccurrences) {
  struct Case { std::string text, delimiter, expected; };
  const Case cases[] = {
      {"a; b; a", "; ", "a; b"},
      {"a; b; a; ", "; ", "a; b"},
      {"a=1; a= 1", "; ", "a=1; a= 1"},
      {"a,a,,b,,", ",", "a,,b"},
      {",,", ",", ""},
      {"", ",", ""},
      {"a,a", "", "a,a"},
      {"x", ",", "x"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.text << " at " << c.delimiter);
    EXPECT_EQ(RemoveDuplicates(c.text, c.delimiter), c.expected);
  }
}

}  // namespace
}  // namespace lv
