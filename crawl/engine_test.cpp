// The engine in-process against a site served on 127.0.0.1: what it asks
// for, what it tells its observer, and what it leaves on disk.
#include "crawl/engine.h"

#include <windows.h>

#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "testing/wallpaper_site.h"

namespace lv::crawl {
namespace {

using namespace lv::testing;

// Every event as one line of text, in order.
class Recorder : public CrawlObserver {
 public:
  void OnPageStarted(int page, int pageCount, const Text& address) override {
    Add("page " + std::to_string(page) + "/" + std::to_string(pageCount) + " " + address);
  }
  void OnPageLoaded(int page, int status, int linkCount) override {
    Add("loaded " + std::to_string(page) + " " + std::to_string(status) + " " + std::to_string(linkCount));
  }
  void OnPageFailed(int page, const Text&, const Failure& why, int linkCount) override {
    Add("page failed " + std::to_string(page) + " " + Describe(why) + " links " + std::to_string(linkCount));
  }
  void OnImageStarted(int fileNumber, const Text& address) override {
    Add("image " + std::to_string(fileNumber) + " " + address);
    if (stopAtImage == fileNumber && stop) stop->Request();
  }
  void OnImageProgress(int, std::int64_t received, std::int64_t announced) override {
    progress.push_back({received, announced});
  }
  void OnImageSaved(int fileNumber, const Text& fileName, std::int64_t bytes, double seconds) override {
    Add("saved " + std::to_string(fileNumber) + " " + fileName + " " + std::to_string(bytes));
    EXPECT_GE(seconds, 0.0);
  }
  void OnImageFailed(int fileNumber, const Text& address, const Failure& why) override {
    Add("failed " + std::to_string(fileNumber) + " " + Describe(why) + " " + address);
  }

  std::vector<std::string> events;
  std::vector<std::pair<std::int64_t, std::int64_t>> progress;
  int stopAtImage = -1;
  StopSignal* stop = nullptr;

 private:
  void Add(const std::string& line) { events.push_back(line); }
};

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(site_.Server().Ok());
    folder_ = TestFolder("lumivant engine");
  }
  void TearDown() override { RemoveTree(folder_); }

  CrawlTally Crawl(int pages, StopSignal* stop = nullptr) {
    CrawlInput input;
    input.folder = folder_;
    input.pageCount = pages;
    input.site = site_.Server().Url("");
    input.limits = limits_;
    return RunCrawl(input, recorder_, stop);
  }
  std::string Url(const std::string& target) { return site_.Server().Url(target); }

  Site site_;
  Recorder recorder_;
  std::string folder_;
  DownloadLimits limits_;
};

TEST_F(EngineTest, TwoPagesInOrderWithEveryEventAndTheFilesTheyName) {
  site_.AddPage(1, {"a1", "a2"});
  site_.AddWallpaper("b1", JpegBytes("b1"), "image/jpeg");
  site_.AddPage(2, {"b1"});

  const CrawlTally tally = Crawl(2);
  EXPECT_EQ(tally.imagesSaved, 3);
  EXPECT_EQ(tally.imagesFailed, 0);
  EXPECT_EQ(tally.pagesFailed, 0);
  EXPECT_FALSE(tally.interrupted);

  const std::string f = folder_ + "\\";
  const std::vector<std::string> expected = {
      "page 1/2 " + Url("/toplist?page=1"),
      "loaded 1 200 2",
      "image 0 " + Url("/full/a1#frag"),
      "saved 0 " + f + "0.png " + std::to_string(site_.Image("a1").size()),
      "image 1 " + Url("/full/a2#frag"),
      "saved 1 " + f + "1.png " + std::to_string(site_.Image("a2").size()),
      "page 2/2 " + Url("/toplist?page=2"),
      "loaded 2 200 1",
      "image 2 " + Url("/full/b1#frag"),
      "saved 2 " + f + "2.png " + std::to_string(site_.Image("b1").size()),
  };
  EXPECT_EQ(recorder_.events, expected);
  EXPECT_EQ(site_.Targets(), (std::vector<std::string>{"/toplist?page=1", "/w/a1", "/full/a1", "/w/a2", "/full/a2",
                                                       "/toplist?page=2", "/w/b1", "/full/b1"}));
  std::int64_t total = 0;
  for (const char* name : {"a1", "a2", "b1"}) total += static_cast<std::int64_t>(site_.Image(name).size());
  EXPECT_EQ(tally.bytesSaved, total);
  EXPECT_EQ(ReadFile(f + "2.png"), site_.Image("b1"));
  for (const ServedRequest& r : site_.Server().Requests()) {
    const bool image = r.target.rfind("/full/", 0) == 0;
    EXPECT_EQ(r.version, image ? "HTTP/1.0" : "HTTP/1.1") << r.target;
    EXPECT_EQ(r.Header("User-Agent"), image ? "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)"
                                            : "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)");
    if (image) {
      EXPECT_EQ(r.Header("Accept"), "*/*");
      EXPECT_EQ(r.Header("Connection"), "close");  // never a kept-alive image connection
    }
  }
}

TEST_F(EngineTest, EveryFailureHasItsReasonAndTheCounterStillAdvances) {
  HttpServer& server = site_.Server();
  site_.AddWallpaper("good", PngBytes("good"));
  server.Route("/w/missing", Reply::Body(DetailPage(Url("/full/missing"))));
  server.Route("/full/missing", Reply::Body("<h1>404</h1>", "text/html", 404));
  server.Route("/w/nomarker", Reply::Body("<html><img id=\"other\" src=\"/x.png\"></html>"));
  server.Route("/w/detail500", Reply::Body(DetailPage(Url("/full/good")), "text/html", 500));
  server.Route("/w/detail404", Reply::Body("<h1>gone</h1>", "text/html", 404));
  server.Route("/w/empty", Reply::Body(DetailPage(Url("/full/empty"))));
  server.Route("/full/empty", Reply::Body("", "image/png"));
  server.Route("/w/cut", Reply::Body(DetailPage(Url("/full/cut"))));
  server.Route("/full/cut", Reply::Raw("HTTP/1.1 200 OK\r\nContent-Type: image/png\r\nContent-Length: 5000\r\n"
                                       "Connection: close\r\n\r\n" + PngBytes("cut").substr(0, 100)));
  std::string unreachable;
  {
    HttpServer gone;  // a port that refuses: its server stops before the crawl
    unreachable = gone.Url("");
  }
  server.Route("/w/unreachable", Reply::Body(DetailPage(unreachable + "/full/gone.png")));
  server.Route("/w/detailgone", Reply::Redirect(unreachable + "/w/x"));
  server.Route("/toplist?page=1",
               Reply::Body(ListingPage({Url("/w/good"), Url("/w/missing"), Url("/w/nomarker"), Url("/w/detail500"),
                                        Url("/w/detail404"), Url("/w/empty"), Url("/w/cut"), Url("/w/unreachable"),
                                        Url("/w/detailgone")},
                                       Url("/w/decoy"))));
  server.Route("/toplist?page=2", Reply::Body("<h1>server error</h1>", "text/html", 500));
  server.Route("/toplist?page=3", Reply::Body("<html>nothing to see</html>"));
  server.Route("/toplist?page=4",
               Reply::Body(ListingPage({Url("/w/good")}, Url("/w/decoy")), "text/html", 503));

  ASSERT_TRUE(::CreateDirectoryA(folder_.c_str(), nullptr));
  for (int i : {1, 6}) std::ofstream(folder_ + "\\" + std::to_string(i) + ".png", std::ios::binary) << "older " << i;

  const CrawlTally tally = Crawl(4);
  // Images: good, detail500 (its marker still leads to the image) and the
  // link on the failed page 4 are saved.
  EXPECT_EQ(tally.imagesSaved, 3);
  EXPECT_EQ(tally.imagesFailed, 7);
  EXPECT_EQ(tally.pagesFailed, 3);

  std::vector<std::string> failures;
  for (const std::string& e : recorder_.events) {
    if (e.rfind("failed ", 0) == 0 || e.rfind("page failed ", 0) == 0) failures.push_back(e);
  }
  ASSERT_EQ(failures.size(), 10u) << ::testing::PrintToString(recorder_.events);
  EXPECT_EQ(failures[0], "failed 1 HTTP 404 " + Url("/full/missing"));
  EXPECT_EQ(failures[1], "failed 2 no image address on the detail page " + Url("/w/nomarker"));
  EXPECT_EQ(failures[2], "failed 4 detail page: HTTP 404 " + Url("/w/detail404"));
  EXPECT_EQ(failures[3], "failed 5 empty body " + Url("/full/empty"));
  EXPECT_EQ(failures[4], "failed 6 cut short (got 100 of 5000 bytes) " + Url("/full/cut"));
  EXPECT_EQ(failures[5].rfind("failed 7 no response (error ", 0), 0u) << failures[5];
  EXPECT_EQ(failures[6].rfind("failed 8 detail page: no response (error ", 0), 0u) << failures[6];
  EXPECT_EQ(failures[7], "page failed 2 HTTP 500 links 0");
  EXPECT_EQ(failures[8], "page failed 3 no wallpaper link on the listing links 0");
  EXPECT_EQ(failures[9], "page failed 4 HTTP 503 links 1");

  // Only whole answers replace a file; the numbers run on regardless.
  EXPECT_EQ(ReadFile(folder_ + "\\1.png"), "older 1");
  EXPECT_EQ(ReadFile(folder_ + "\\6.png"), "older 6");
  EXPECT_EQ(FilesIn(folder_), (std::vector<std::string>{"0.png", "1.png", "3.png", "6.png", "9.png"}));
}

TEST_F(EngineTest, FolderAndFileProblemsAreNamed) {
  site_.AddPage(1, {"x1", "x2"});
  ASSERT_TRUE(::CreateDirectoryA(folder_.c_str(), nullptr));
  std::ofstream(folder_ + "\\blocker", std::ios::binary) << "a file, not a folder";
  const std::string saved = folder_;
  folder_ = saved + "\\blocker\\壁纸";
  CrawlTally tally = Crawl(1);
  EXPECT_EQ(tally.imagesFailed, 2);
  // The file stands where the first missing folder would go.
  EXPECT_EQ(recorder_.events.back(), "failed 1 folder could not be created (error " +
                                         std::to_string(ERROR_ALREADY_EXISTS) + ") " + Url("/full/x2#frag"));

  // A folder standing where the file must go.
  folder_ = saved;
  ASSERT_TRUE(::CreateDirectoryA((folder_ + "\\0.png").c_str(), nullptr));
  recorder_.events.clear();
  tally = Crawl(1);
  EXPECT_EQ(tally.imagesSaved, 1);
  EXPECT_EQ(recorder_.events[3], "failed 0 file could not be written " + Url("/full/x1#frag"));
}

TEST_F(EngineTest, AStopEndsTheCrawlAfterTheImageInFlightWithNothingMoreRequested) {
  site_.AddPage(1, {"s1", "s2", "s3"});
  site_.AddPage(2, {"t1"});
  StopSignal stop;
  recorder_.stop = &stop;
  recorder_.stopAtImage = 1;
  ASSERT_TRUE(::CreateDirectoryA(folder_.c_str(), nullptr));
  std::ofstream(folder_ + "\\1.png", std::ios::binary) << "older";

  const CrawlTally tally = Crawl(2, &stop);
  EXPECT_TRUE(tally.interrupted);
  EXPECT_EQ(tally.imagesSaved, 1);
  EXPECT_EQ(site_.Targets(), (std::vector<std::string>{"/toplist?page=1", "/w/s1", "/full/s1", "/w/s2", "/full/s2"}));
  EXPECT_EQ(recorder_.events.back(), "failed 1 interrupted " + Url("/full/s2#frag"));
  EXPECT_EQ(ReadFile(folder_ + "\\1.png"), "older");
  EXPECT_EQ(FilesIn(folder_), (std::vector<std::string>{"0.png", "1.png"}));
}

TEST_F(EngineTest, ProgressComesWhileABigImageArrivesAndNeverPassesItsLength) {
  const std::string big = PngBytes("big", 24 * 1024 * 1024);
  site_.AddWallpaper("big", big, "application/octet-stream");
  site_.AddPage(1, {"big"});
  const CrawlTally tally = Crawl(1);
  EXPECT_EQ(tally.imagesSaved, 1);
  // 24 MB take Wine well over a tenth of a second on loopback.
  ASSERT_FALSE(recorder_.progress.empty());
  std::int64_t last = 0;
  for (const auto& [received, announced] : recorder_.progress) {
    EXPECT_EQ(announced, static_cast<std::int64_t>(big.size()));
    EXPECT_GT(received, last);
    EXPECT_LE(received, announced);
    last = received;
  }
}

TEST_F(EngineTest, NoPagesMeansNoRequestAndNoEvent) {
  for (int pages : {0, -3}) {
    const CrawlTally tally = Crawl(pages);
    EXPECT_EQ(tally.imagesSaved + tally.imagesFailed + tally.pagesFailed, 0);
  }
  EXPECT_TRUE(recorder_.events.empty());
  EXPECT_EQ(site_.Server().RequestCount(), 0u);
  EXPECT_FALSE(Exists(folder_));
}

}  // namespace
}  // namespace lv::crawl
