// The start button's own words: the page count read from the box and the
// closing caption and message.
#include <gtest/gtest.h>

#include <climits>

#include "app/start_crawl.h"

namespace lv::app {
namespace {

crawl::CrawlTally Tally(int saved, int failed, int pagesFailed) {
  crawl::CrawlTally t;
  t.imagesSaved = saved;
  t.imagesFailed = failed;
  t.pagesFailed = pagesFailed;
  return t;
}

TEST(PageCountFrom, ReadsTheLeadingNumberCutTowardZero) {
  const struct {
    const char* text;
    int expected;
  } cases[] = {
      {"2", 2},
      {"2.9", 2},
      {"12abc", 12},
      {"abc", 0},
      {"-", 0},
      {"1-2", 1},
      {"-3", -3},
      {"-2.9", -2},
      {" 7", 7},
      {"\xA3\xB1\xA3\xB2", 12},  // full-width digits one and two
      {"99999999999", INT_MAX},
      {"-99999999999", INT_MIN},
      {"1e400", INT_MAX},
  };
  for (const auto& c : cases) EXPECT_EQ(PageCountFrom(c.text), c.expected) << c.text;
}

TEST(ClosingWords, NothingFailedReadsAsSuccess) {
  EXPECT_EQ(ClosingCaption(Tally(3, 0, 0)), "成功");
  EXPECT_EQ(ClosingMessage(Tally(3, 0, 0)), "mission completed");
  EXPECT_EQ(ClosingMessage(crawl::CrawlTally{}), "mission completed");
}

TEST(ClosingWords, AnyFailureIsCounted) {
  const crawl::CrawlTally tally = Tally(4, 2, 1);
  EXPECT_EQ(ClosingCaption(tally), "完成");
  EXPECT_EQ(ClosingMessage(tally),
            "mission completed with errors\r\nimages saved: 4\r\nimages failed: 2\r\npages failed: 1");
  EXPECT_EQ(ClosingCaption(Tally(0, 0, 1)), "完成");
}

}  // namespace
}  // namespace lv::app
