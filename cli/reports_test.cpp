#include "cli/reports.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace lv::cli {
namespace {

// A stream the report writes to, read back whole.
class Capture {
 public:
  Capture() : file_(std::tmpfile()) {}
  ~Capture() {
    if (file_) std::fclose(file_);
  }
  Capture(const Capture&) = delete;
  Capture& operator=(const Capture&) = delete;
  std::FILE* File() const { return file_; }
  std::string Text() const {
    std::fflush(file_);
    std::rewind(file_);
    std::string all;
    char buffer[4096];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, file_)) > 0;) all.append(buffer, got);
    std::fseek(file_, 0, SEEK_END);
    return all;
  }

 private:
  std::FILE* file_;
};

crawl::Failure Why(crawl::FailureKind kind, std::int64_t code = 0,
                   crawl::FailedRequest request = crawl::FailedRequest::kImage) {
  crawl::Failure f;
  f.kind = kind;
  f.code = code;
  f.request = request;
  return f;
}

// One page of three links: saved, failed on the image, failed on the detail
// page; then a second page that fails.
void PlayCrawl(crawl::CrawlObserver& o) {
  o.OnPageStarted(1, 2, "http://wallpapers.example.com/toplist?page=1");
  o.OnPageLoaded(1, 200, 3);
  o.OnImageStarted(0, "http://img.example.com/0.jpg");
  o.OnImageProgress(0, 1024, 2 * 1024 * 1024);
  o.OnImageSaved(0, "D:\\壁纸\\0.png", 2516582, 0.8);
  o.OnImageStarted(1, "http://img.example.com/1.jpg");
  o.OnImageFailed(1, "http://img.example.com/1.jpg", Why(crawl::FailureKind::kHttpStatus, 404));
  o.OnImageFailed(2, "http://wallpapers.example.com/w/2",
                  Why(crawl::FailureKind::kNoResponse, 12029, crawl::FailedRequest::kDetail));
  o.OnPageStarted(2, 2, "http://wallpapers.example.com/toplist?page=2");
  o.OnPageFailed(2, "http://wallpapers.example.com/toplist?page=2", Why(crawl::FailureKind::kHttpStatus, 500), 0);
}

TEST(ReportForPeople, ALinePerPageAndImageThenTheSummary) {
  Capture out, err;
  Report report(out.File(), err.File(), Style::kText);
  PlayCrawl(report);
  EXPECT_EQ(report.Finish(2.0, false), 1);
  EXPECT_EQ(out.Text(),
            "page 1/2  HTTP 200  3 links  http://wallpapers.example.com/toplist?page=1\n"
            "[page 1/2  1/3]  0.png  saved  2.4 MB  0.8 s\n"
            "[page 1/2  2/3]  1.png  FAILED  HTTP 404  http://img.example.com/1.jpg\n"
            "[page 1/2  3/3]  2.png  FAILED  detail page: no response (error 12029)  http://wallpapers.example.com/w/2\n"
            "page 2/2  FAILED  HTTP 500  http://wallpapers.example.com/toplist?page=2\n"
            "done: 1 saved, 2 failed, 1 pages failed; 2.4 MB in 2.0 s (1.2 MB/s)\n");
  EXPECT_EQ(err.Text(), "");
}

TEST(ReportForPeople, TheLiveLineIsRedrawnInPlaceAndClearedBeforeTheNextLine) {
  Capture out, err;
  Report report(out.File(), err.File(), Style::kText, /*liveLine=*/true);
  report.OnPageStarted(1, 1, "http://wallpapers.example.com/toplist?page=1");
  report.OnPageLoaded(1, 200, 1);
  report.OnImageStarted(7, "http://img.example.com/7.jpg");
  report.OnImageProgress(7, 100, -1);
  report.OnImageProgress(7, 2048, 4096);
  report.OnImageSaved(7, "x\\7.png", 4096, 0.5);
  const std::string live = err.Text();
  EXPECT_NE(live.find("\r  7.png  100 B  "), std::string::npos) << live;
  EXPECT_NE(live.find("\r  7.png  2.0 KB / 4.0 KB  "), std::string::npos) << live;
  // Ends by blanking what it drew and going back to the start of the line.
  const std::size_t blank = live.rfind('\r', live.size() - 2);
  ASSERT_NE(blank, std::string::npos);
  EXPECT_EQ(live.back(), '\r');
  EXPECT_EQ(live.substr(blank + 1, live.size() - blank - 2).find_first_not_of(' '), std::string::npos);
  EXPECT_EQ(out.Text().find('\r'), std::string::npos);
}

TEST(ReportAsJson, OneObjectPerEventInUtf8) {
  Capture out, err;
  Report report(out.File(), err.File(), Style::kJson);
  PlayCrawl(report);
  EXPECT_EQ(report.Finish(2.0, false), 1);
  EXPECT_EQ(out.Text(),
            "{\"event\":\"page_started\",\"page\":1,\"pages\":2,\"address\":\"http://wallpapers.example.com/toplist?page=1\"}\n"
            "{\"event\":\"page_loaded\",\"page\":1,\"status\":200,\"links\":3}\n"
            "{\"event\":\"image_started\",\"file\":0,\"address\":\"http://img.example.com/0.jpg\"}\n"
            "{\"event\":\"image_progress\",\"file\":0,\"received\":1024,\"total\":2097152}\n"
            "{\"event\":\"image_saved\",\"file\":0,\"name\":\"D:\\\\" u8"壁纸" "\\\\0.png\",\"bytes\":2516582,\"seconds\":0.800}\n"
            "{\"event\":\"image_started\",\"file\":1,\"address\":\"http://img.example.com/1.jpg\"}\n"
            "{\"event\":\"image_failed\",\"file\":1,\"address\":\"http://img.example.com/1.jpg\",\"reason\":\"HTTP 404\"}\n"
            "{\"event\":\"image_failed\",\"file\":2,\"address\":\"http://wallpapers.example.com/w/2\","
            "\"reason\":\"detail page: no response (error 12029)\"}\n"
            "{\"event\":\"page_started\",\"page\":2,\"pages\":2,\"address\":\"http://wallpapers.example.com/toplist?page=2\"}\n"
            "{\"event\":\"page_failed\",\"page\":2,\"address\":\"http://wallpapers.example.com/toplist?page=2\","
            "\"reason\":\"HTTP 500\",\"links\":0}\n"
            "{\"event\":\"summary\",\"saved\":1,\"failed\":2,\"pages_failed\":1,\"bytes\":2516582,\"seconds\":2.000,"
            "\"interrupted\":false}\n");
}

TEST(Report, ExitCodesAndNothingAfterTheSummary) {
  {
    Capture out, err;
    Report report(out.File(), err.File(), Style::kText);
    EXPECT_EQ(report.Finish(0.0, false), 0);  // nothing crawled, nothing failed
    EXPECT_EQ(out.Text(), "done: 0 saved, 0 failed, 0 pages failed; 0 B in 0.0 s (-)\n");
  }
  {
    Capture out, err;
    Report report(out.File(), err.File(), Style::kJson);
    report.OnImageStarted(0, "http://img.example.com/0.jpg");
    // The image in flight when the crawl was stopped was abandoned, not failed.
    report.OnImageFailed(0, "http://img.example.com/0.jpg", Why(crawl::FailureKind::kInterrupted));
    EXPECT_EQ(report.Finish(1.0, true), 130);
    EXPECT_EQ(report.Failed(), 0);
    const std::string before = out.Text();
    EXPECT_NE(before.find("\"interrupted\":true"), std::string::npos);
    report.OnPageStarted(2, 2, "late");
    EXPECT_EQ(report.Finish(1.0, true), 130);
    EXPECT_EQ(out.Text(), before);
  }
}

TEST(FormatBytes, PicksTheUnit) {
  EXPECT_EQ(FormatBytes(0), "0 B");
  EXPECT_EQ(FormatBytes(1023), "1023 B");
  EXPECT_EQ(FormatBytes(1536), "1.5 KB");
  EXPECT_EQ(FormatBytes(2516582), "2.4 MB");
  EXPECT_EQ(FormatBytes(3LL * 1024 * 1024 * 1024), "3.00 GB");
}

}  // namespace
}  // namespace lv::cli
