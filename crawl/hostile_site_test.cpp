// The crawl against a broken or hostile site served on 127.0.0.1: every way
// of answering badly ends in its reason, in bounded time, with the older
// file of that number kept and nothing left behind.
#include <windows.h>

#include <chrono>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "crawl/engine.h"
#include "testing/wallpaper_site.h"

namespace lv::crawl {
namespace {

using namespace lv::testing;
using Clock = std::chrono::steady_clock;

// Keeps what the observer was told about the one image and the pages.
class Outcomes : public CrawlObserver {
 public:
  void OnPageFailed(int, const Text&, const Failure& why, int) override { pageReasons.push_back(Describe(why)); }
  void OnImageSaved(int, const Text&, std::int64_t, double) override { imageReasons.push_back("saved"); }
  void OnImageFailed(int, const Text&, const Failure& why) override { imageReasons.push_back(Describe(why)); }

  std::vector<std::string> pageReasons;
  std::vector<std::string> imageReasons;
};

class HostileSiteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(site_.Server().Ok());
    folder_ = TestFolder("lumivant hostile");
    RemoveTree(folder_);  // left by a run that did not finish
    ASSERT_TRUE(::CreateDirectoryA(folder_.c_str(), nullptr));
    // Short enough for a test, in the same proportions as the real limits.
    limits_.idleSeconds = 2;
    limits_.minSeconds = 3;
    limits_.maxBytes = 4 * 1024 * 1024;
    limits_.pageTimeoutSeconds = 1;
  }
  void TearDown() override { RemoveTree(folder_); }

  // One listing page with one wallpaper whose image is answered by `image`.
  void OneWallpaper(const Reply& image) {
    HttpServer& server = site_.Server();
    server.Route("/w/one", Reply::Body(DetailPage(server.Url("/full/one.png"))));
    server.Route("/full/one.png", image);
    server.Route("/toplist?page=1", Reply::Body(ListingPage({server.Url("/w/one")}, server.Url("/w/decoy"))));
  }

  Outcomes Crawl(int pages) {
    CrawlInput input;
    input.folder = folder_;
    input.pageCount = pages;
    input.site = site_.Server().Url("");
    input.limits = limits_;
    Outcomes outcomes;
    const Clock::time_point started = Clock::now();
    RunCrawl(input, outcomes);
    seconds_ = std::chrono::duration<double>(Clock::now() - started).count();
    return outcomes;
  }

  Site site_;
  std::string folder_;
  DownloadLimits limits_;
  double seconds_ = 0;
};

TEST_F(HostileSiteTest, EveryBadImageAnswerFailsWithItsReasonAndKeepsTheOldFile) {
  const std::string image = PngBytes("hostile", 2000);
  const struct {
    Hostile kind;
    std::string reason;
  } cases[] = {
      {Hostile::ChunkedCutShort, "not an image"},
      {Hostile::LyingLength, "cut short (got 2000 of 3024 bytes)"},
      {Hostile::TwoLengths, "bad Content-Length"},
      {Hostile::NegativeLength, "bad Content-Length"},
      {Hostile::PartialContent, "HTTP 206"},
      {Hostile::ErrorPage, "not an image"},
      {Hostile::RedirectLoop, "too many redirects"},
      {Hostile::Drip, "stalled"},
      {Hostile::Stall, "stalled"},
      {Hostile::NeverAnswer, "stalled"},
      {Hostile::Endless, "too large"},
      {Hostile::KeepAliveThenClose, "saved"},
  };
  const std::string oldFile = folder_ + "\\0.png";
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(HostileName(c.kind)));
    std::ofstream(oldFile, std::ios::binary | std::ios::trunc) << "older";
    OneWallpaper(HostileReply(c.kind, "/full/one.png", image));
    site_.Server().ClearRequests();
    const Outcomes outcomes = Crawl(1);
    EXPECT_EQ(outcomes.imageReasons, std::vector<std::string>{c.reason});
    EXPECT_EQ(ReadFile(oldFile), c.reason == "saved" ? image : "older");
    EXPECT_EQ(FilesIn(folder_), std::vector<std::string>{"0.png"});
    // Idle and overall limits of 2 and 3 s, and nothing much else.
    EXPECT_LT(seconds_, 10.0);
    if (c.kind == Hostile::RedirectLoop) {
      // The first request and ten redirects followed: a listing, a detail
      // page and eleven image requests.
      EXPECT_EQ(site_.Server().RequestCount(), 13u);
    }
  }
}

TEST_F(HostileSiteTest, OnlyWebAddressesAreFetchedAndOthersGoOutAsUtf8Escapes) {
  HttpServer& server = site_.Server();
  const std::string image = PngBytes("escaped");
  // The detail page is UTF-8; its image address names a Chinese file.
  server.Route("/w/cn", Reply::Body(DetailPage(server.Url(u8"/full/壁纸 1.png"))));
  server.Route("/full/%E5%A3%81%E7%BA%B8%201.png", Reply::Body(image, "image/png"));
  server.Route("/w/ftp", Reply::Body(DetailPage("ftp://127.0.0.1:" + std::to_string(server.Port()) + "/x.png")));
  server.Route("/toplist?page=1",
               Reply::Body(ListingPage({server.Url("/w/cn"), server.Url("/w/ftp")}, server.Url("/w/decoy"))));

  const Outcomes outcomes = Crawl(1);
  EXPECT_EQ(outcomes.imageReasons, (std::vector<std::string>{"saved", "unsupported address"}));
  EXPECT_EQ(ReadFile(folder_ + "\\0.png"), image);
  EXPECT_EQ(site_.Targets(),
            (std::vector<std::string>{"/toplist?page=1", "/w/cn", "/full/%E5%A3%81%E7%BA%B8%201.png", "/w/ftp"}));
}

TEST_F(HostileSiteTest, PagesThatNeverAnswerLoopOrOverflowFailInBoundedTime) {
  HttpServer& server = site_.Server();
  server.Route("/toplist?page=1", Reply::Hang());
  server.Route("/toplist?page=2", HostileReply(Hostile::RedirectLoop, "/toplist?page=2", "x"));
  server.Route("/toplist?page=3", Reply::Body(std::string(33 * 1024 * 1024, 'a'), "text/html"));
  limits_.pageTimeoutSeconds = 5;  // time enough for 33 MB on a busy machine
  const Outcomes outcomes = Crawl(3);
  ASSERT_EQ(outcomes.pageReasons.size(), 3u);
  // A silent server is given up on after the time-out and not asked again.
  EXPECT_EQ(outcomes.pageReasons[0], "no response (error 12002)");
  EXPECT_EQ(outcomes.pageReasons[1].rfind("no response (error ", 0), 0u) << outcomes.pageReasons[1];
  EXPECT_EQ(outcomes.pageReasons[2], "too large");
  EXPECT_LT(seconds_, 40.0);
  int asked = 0;
  for (const std::string& target : site_.Targets()) asked += target == "/toplist?page=1";
  EXPECT_EQ(asked, 1);
}

TEST_F(HostileSiteTest, AKeptAliveConnectionClosedByTheServerCostsNoPage) {
  HttpServer& server = site_.Server();
  site_.AddWallpaper("k1", PngBytes("k1"));
  for (int page = 1; page <= 3; ++page) {
    Reply listing = Reply::Body(ListingPage({server.Url("/w/k1")}, server.Url("/w/decoy")));
    listing.keepAliveThenClose = true;
    server.Route("/toplist?page=" + std::to_string(page), listing);
  }
  const Outcomes outcomes = Crawl(3);
  EXPECT_TRUE(outcomes.pageReasons.empty()) << ::testing::PrintToString(outcomes.pageReasons);
  EXPECT_EQ(outcomes.imageReasons, (std::vector<std::string>{"saved", "saved", "saved"}));
}

}  // namespace
}  // namespace lv::crawl
