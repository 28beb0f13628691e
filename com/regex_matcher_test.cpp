// Runs against the system's own VBScript.RegExp.
#include "com/regex_matcher.h"

#include <psapi.h>

#include <climits>
#include <limits>
#include <ostream>
#include <thread>

#include <gtest/gtest.h>

#include "testing/class_stand_in.h"
#include "testing/fake_dispatch.h"

namespace lv {
namespace {

// The crawl's detail-link pattern, quote tokens and trailing space included.
constexpr char kDetailLinkPattern[] = "<a class=#引号preview#引号 href=#引号(.*?)#引号 ";

// What the crawl relies on after any failure: no match to walk.
void ExpectNoMatch(const RegexMatcher& m) {
  EXPECT_EQ(m.MatchCount(), 0);
  EXPECT_EQ(m.SubMatchCount(), 0);
  EXPECT_EQ(m.MatchText(1), "");
  EXPECT_EQ(m.SubMatchText(1, 1), "");
}

TEST(RegexMatcher, NothingHeldBeforeCreate) {
  RegexMatcher m;
  ExpectNoMatch(m);
  EXPECT_EQ(m.GetPattern(), "");
  EXPECT_EQ(m.ReplaceMatches("x"), "");
  int position = 99;
  EXPECT_EQ(m.MatchText(1, &position), "");
  EXPECT_EQ(position, -2);  // the held subject is empty
}

TEST(RegexMatcher, FlagsLeftOutIgnoreCaseAndRunMultilineAndGlobal) {
  RegexMatcher m;
  EXPECT_TRUE(m.Create("^ab$", "AB\nab"));
  EXPECT_EQ(m.MatchCount(), 2);
  EXPECT_EQ(m.MatchText(1), "AB");
  EXPECT_EQ(m.MatchText(2), "ab");
}

struct FlagCase {
  bool caseSensitive;
  bool multiline;
  bool global;
  int count;
};

class RegexMatcherFlags : public ::testing::TestWithParam<FlagCase> {};

TEST_P(RegexMatcherFlags, EachFlagReachesTheObject) {
  const FlagCase& c = GetParam();
  RegexMatcher m;
  EXPECT_TRUE(m.Create("^ab$", "AB\nab", c.caseSensitive, c.multiline, c.global));
  EXPECT_EQ(m.MatchCount(), c.count);
}

INSTANTIATE_TEST_SUITE_P(, RegexMatcherFlags,
                         ::testing::Values(FlagCase{true, true, true, 1},    // case counts
                                         FlagCase{false, false, true, 0},  // ^ and $ at the ends only
                                         FlagCase{false, true, false, 1}));  // first match only

TEST(RegexMatcher, DotNeverMatchesALineBreak) {
  // The "Singleline" write fails on every Create and neither changes the
  // matching nor stops the Create.
  RegexMatcher m;
  EXPECT_TRUE(m.Create("a.b", "a\nb", true, false, true));
  EXPECT_EQ(m.MatchCount(), 0);
}

TEST(RegexMatcher, NoMatchStillHoldsACollection) {
  RegexMatcher m;
  EXPECT_TRUE(m.Create("z+", "abc"));
  ExpectNoMatch(m);
}

TEST(RegexMatcher, RefusedPatternLeavesEverythingEmptyButThePattern) {
  RegexMatcher m;
  EXPECT_FALSE(m.Create("(", "x=1"));
  ExpectNoMatch(m);
  EXPECT_EQ(m.ReplaceMatches("y"), "");
  EXPECT_EQ(m.GetPattern(), "(");
  int position = 99;
  m.MatchText(1, &position);
  EXPECT_EQ(position, 0);  // the subject is held even so
}

TEST(RegexMatcher, MatchesAndGroups) {
  RegexMatcher m;
  ASSERT_TRUE(m.Create("x=(\\d+)", "x=1, x=22"));
  EXPECT_EQ(m.MatchCount(), 2);
  EXPECT_EQ(m.SubMatchCount(), 1);
  EXPECT_EQ(m.MatchText(1), "x=1");
  EXPECT_EQ(m.MatchText(2), "x=22");
  EXPECT_EQ(m.SubMatchText(1, 1), "1");
  EXPECT_EQ(m.SubMatchText(2, 1), "22");
}

TEST(RegexMatcher, IndexesOutsideTheRangeGiveEmptyText) {
  RegexMatcher m;
  ASSERT_TRUE(m.Create("x=(\\d+)", "x=1, x=22"));
  for (int i : {0, -1, 3, INT_MIN, INT_MAX}) {
    EXPECT_EQ(m.MatchText(i), "") << i;
    EXPECT_EQ(m.SubMatchText(i, 1), "") << i;
    EXPECT_EQ(m.SubMatchText(1, i), "") << i;
  }
  EXPECT_EQ(m.SubMatchText(1, 2), "");
}

TEST(RegexMatcher, GroupOutsideTheMatchIsEmpty) {
  RegexMatcher m;
  ASSERT_TRUE(m.Create("(a)|(b)", "b"));
  EXPECT_EQ(m.SubMatchCount(), 2);
  EXPECT_EQ(m.SubMatchText(1, 1), "");
  EXPECT_EQ(m.SubMatchText(1, 2), "b");
}

TEST(RegexMatcher, GlobalFalseKeepsTheFirstMatchOnly) {
  RegexMatcher m;
  ASSERT_TRUE(m.Create("x=(\\d+)", "x=1, x=22", false, true, false));
  EXPECT_EQ(m.MatchCount(), 1);
  EXPECT_EQ(m.SubMatchText(1, 1), "1");
}

struct PositionCase {
  const char* why;
  const char* pattern;
  const char* subject;
  bool caseSensitive;
  int matchIndex;
  int subMatchIndex;  // 0: the whole match
  const char* text;
  int position;
};

void PrintTo(const PositionCase& c, std::ostream* os) { *os << c.why; }

class RegexMatcherPosition : public ::testing::TestWithParam<PositionCase> {};

TEST_P(RegexMatcherPosition, SearchesFromFirstIndexTakenAsABytePosition) {
  const PositionCase& c = GetParam();
  RegexMatcher m;
  m.Create(c.pattern, c.subject, c.caseSensitive);
  int position = 99;
  const Text text = c.subMatchIndex == 0 ? m.MatchText(c.matchIndex, &position)
                                         : m.SubMatchText(c.matchIndex, c.subMatchIndex, &position);
  EXPECT_EQ(text, c.text);
  EXPECT_EQ(position, c.position);
}

INSTANTIATE_TEST_SUITE_P(
    , RegexMatcherPosition,
    ::testing::Values(
        PositionCase{"two double-byte characters before the match", "ab", "ab 中文 ab", false, 2,
                     0, "ab", 8},
        PositionCase{"the first match", "x=(\\d+)", "x=1, x=22", true, 1, 0, "x=1", 0},
        PositionCase{"single-byte text: the search starts a byte early", "a", "aa", true, 2, 0,
                     "a", 0},
        PositionCase{"case ignored as the object's IgnoreCase says", "a", "Aa", false, 2, 0, "a",
                     0},
        PositionCase{"exact when the case counts", "a", "Aa", true, 1, 0, "a", 1},
        PositionCase{"the walk pairs bytes from FirstIndex on", "a", "中中a", true, 1, 0, "a",
                     -2},
        PositionCase{"a group is searched from its match", "x=(\\d+)", "x=1, x=22", true, 2, 1,
                     "22", 7},
        PositionCase{"no such match: empty text at the first byte", "x=(\\d+)", "x=1, x=22", true,
                     3, 0, "", 0},
        PositionCase{"no such group: empty text, found at the first byte", "x=(\\d+)",
                     "x=1, x=22", true, 2, 2, "", 0},
        PositionCase{"empty subject", "a", "", true, 1, 0, "", -2}));

TEST(RegexMatcher, QuoteTokenExpandedOnlyWhenAsked) {
  const Text pattern = "#引号(\\w+)#引号";
  RegexMatcher m;
  ASSERT_TRUE(m.Create(pattern, "say \"hi\"", false, true, true, true));
  EXPECT_EQ(m.GetPattern(), "\"(\\w+)\"");
  EXPECT_EQ(m.SubMatchText(1, 1), "hi");

  ASSERT_TRUE(m.Create(pattern, "say #引号hi#引号"));
  EXPECT_EQ(m.GetPattern(), pattern);
  EXPECT_EQ(m.SubMatchText(1, 1), "hi");
}

TEST(RegexMatcher, SecondCreateReplacesTheFirst) {
  RegexMatcher m;
  ASSERT_TRUE(m.Create("x=(\\d+)", "x=1, x=22", true));
  ASSERT_TRUE(m.Create("y(\\w)", "ya Yb yc", true));
  EXPECT_EQ(m.GetPattern(), "y(\\w)");
  EXPECT_EQ(m.MatchCount(), 2);
  EXPECT_EQ(m.MatchText(1), "ya");
  EXPECT_EQ(m.SubMatchText(2, 1), "c");
  EXPECT_EQ(m.ReplaceMatches("-"), "- Yb -");

  EXPECT_FALSE(m.Create("(", "x=1"));
  ExpectNoMatch(m);
}

TEST(RegexMatcher, ReplaceMatchesFollowsGlobalAndKeepsTheMatches) {
  RegexMatcher m;
  ASSERT_TRUE(m.Create("x=(\\d+)", "x=1, x=22"));
  EXPECT_EQ(m.ReplaceMatches("值[$1]"), "值[1], 值[22]");
  EXPECT_EQ(m.ReplaceMatches(), ", ");
  EXPECT_EQ(m.MatchCount(), 2);
  EXPECT_EQ(m.MatchText(2), "x=22");

  ASSERT_TRUE(m.Create("x=(\\d+)", "x=1, x=22", false, true, false));
  EXPECT_EQ(m.ReplaceMatches("[$1]"), "[1], x=22");
}

// Counts reach the crawl as ints whatever number the object reports: cut
// toward zero, held within the int range, and nothing for a NaN.
TEST(RegexMatcher, CountsAreReadAsWholeNumbersWithinRange) {
  const struct {
    double reported;
    int count;
  } cases[] = {
      {2.9, 2},
      {-2.9, -2},
      {1e300, INT_MAX},
      {-1e300, INT_MIN},
      {std::numeric_limits<double>::infinity(), INT_MAX},
      {std::numeric_limits<double>::quiet_NaN(), 0},
  };
  win::ComScope com;
  for (const auto& c : cases) {
    using lv::testing::FakeDispatch;
    const win::ComPtr<FakeDispatch> groups = FakeDispatch::Create();
    groups->SetResult(L"Count", win::Variant::FromDouble(c.reported));
    const win::ComPtr<FakeDispatch> match = FakeDispatch::Create();
    match->SetResult(L"SubMatches", win::Variant::FromDispatch(groups.Get()));
    const win::ComPtr<FakeDispatch> matches = FakeDispatch::Create();
    matches->SetResult(L"Count", win::Variant::FromDouble(c.reported));
    matches->SetResult(L"Item", win::Variant::FromDispatch(match.Get()));
    const win::ComPtr<FakeDispatch> regExp = FakeDispatch::Create();
    regExp->SetResult(L"Execute", win::Variant::FromDispatch(matches.Get()));

    lv::testing::ClassStandIn standIn(L"VBScript.RegExp", regExp.Get());
    ASSERT_TRUE(standIn.Ok());
    RegexMatcher m;
    ASSERT_TRUE(m.Create("a", "a"));
    EXPECT_EQ(m.MatchCount(), c.count) << c.reported;
    EXPECT_EQ(m.SubMatchCount(), c.count) << c.reported;
  }
}

// A listing page as the site serves it, after conversion to code page 936.
constexpr char kListingPage[] = R"(<html><head><title>排行榜</title></head><body>
<ul>
<li><figure><a class="preview" href="https://w.example/w/1a" target="_blank"></a></figure></li>
<li>壁纸<a class="preview" href="https://w.example/w/2b" target="_blank"></a></li>
<li><a class="preview"
 href="https://w.example/w/broken" target="_blank"></a></li>
<li><a href="https://w.example/w/reordered" class="preview" target="_blank"></a></li>
<li><a class="preview" href="https://w.example/w/noSpace"></a></li>
<li><A CLASS="preview" href="https://w.example/w/upper" ></A></li>
<li><a class="preview" href="https://w.example/w/3c" ><a class="preview" href="https://w.example/w/4d" ></a></li>
</ul></body></html>
)";

TEST(RegexMatcher, CrawlPatternFindsTheDetailLinksInOrder) {
  RegexMatcher m;
  m.Create(kDetailLinkPattern, kListingPage, true, true, true, true);
  ASSERT_EQ(m.MatchCount(), 4);
  EXPECT_EQ(m.SubMatchText(1, 1), "https://w.example/w/1a");
  EXPECT_EQ(m.SubMatchText(2, 1), "https://w.example/w/2b");
  EXPECT_EQ(m.SubMatchText(3, 1), "https://w.example/w/3c");
  EXPECT_EQ(m.SubMatchText(4, 1), "https://w.example/w/4d");
}

// Growth of the process's private memory while `work` runs.
template <typename Work>
SIZE_T PrivateGrowth(Work work) {
  auto privateBytes = [] {
    PROCESS_MEMORY_COUNTERS counters{};
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters);
    return counters.PagefileUsage;
  };
  const SIZE_T before = privateBytes();
  work();
  const SIZE_T after = privateBytes();
  return after > before ? after - before : 0;
}

TEST(RegexMatcher, ManyLifetimesLeakNothing) {
  // Twenty thousand matches make one collection, with its match and group
  // objects, take megabytes, and the long alternative does the same for the
  // object that compiled it: a reference kept per round to either, or per
  // read to a match or its groups, adds up to far more than the bound.
  Text subject;
  for (int i = 0; i < 20000; ++i) subject += "x=12 ";
  const Text pattern = "x=(\\d+)|" + Text(64 * 1024, 'b');
  auto round = [&] {
    RegexMatcher m;
    m.Create(pattern, subject);
    m.Create(pattern, subject);
    const int count = m.MatchCount();
    EXPECT_EQ(count, 20000);
    for (int i = 1; i <= count; ++i) {
      m.MatchText(i);
      m.SubMatchText(i, 1);
    }
    EXPECT_EQ(m.SubMatchCount(), 1);
  };
  round();
  const SIZE_T growth = PrivateGrowth([&] {
    for (int i = 0; i < 12; ++i) round();
  });
  EXPECT_LT(growth, SIZE_T{16} << 20);
}

// Runs `work` on a thread of its own, whose COM state no other test touches.
template <typename Work>
void OnFreshThread(Work work) {
  std::thread(work).join();
}

TEST(RegexMatcher, EachLifetimeUndoesItsComInitialisation) {
  OnFreshThread([] {
    for (int i = 0; i < 20; ++i) {
      RegexMatcher m;
      EXPECT_TRUE(m.Create("b", "abc"));
      EXPECT_EQ(m.MatchCount(), 1);
    }
    // A thread still in its single-threaded apartment could not switch.
    const HRESULT hr = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    EXPECT_EQ(hr, S_OK);
    if (SUCCEEDED(hr)) ::CoUninitialize();
  });
}

TEST(RegexMatcher, LeavesAnotherApartmentAlone) {
  OnFreshThread([] {
    ASSERT_EQ(::CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    {
      RegexMatcher m;  // its own initialisation is refused here
      EXPECT_TRUE(m.Create("b", "abc"));
      EXPECT_EQ(m.MatchText(1), "b");
    }
    // Still initialised: the matcher did not undo what it had not done.
    EXPECT_EQ(::CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_FALSE);
    ::CoUninitialize();
    ::CoUninitialize();
  });
}

}  // namespace
}  // namespace lv
