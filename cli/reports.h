// How the console program shows a crawl: lines for people, or one JSON
// object per event for scripts. Events arrive on the crawling thread; the
// summary may be asked for from another one (after Ctrl+C), so every member
// takes the report's lock, and once the summary is out nothing more is
// written.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <mutex>

#include "crawl/engine.h"

namespace lv::cli {

enum class Style {
  kText,  // lines for people on stdout, and a live line on stderr when asked
  kJson,  // one JSON object per event on stdout, texts in UTF-8
};

class Report : public crawl::CrawlObserver {
 public:
  // liveLine: stderr is a console, so the image in flight may be shown there
  // on one line redrawn in place (text style only).
  Report(std::FILE* out, std::FILE* err, Style style, bool liveLine = false)
      : out_(out), err_(err), style_(style), liveLine_(liveLine && style == Style::kText) {}

  void OnPageStarted(int page, int pageCount, const Text& address) override;
  void OnPageLoaded(int page, int status, int linkCount) override;
  void OnPageFailed(int page, const Text& address, const crawl::Failure& why, int linkCount) override;
  void OnImageStarted(int fileNumber, const Text& address) override;
  void OnImageProgress(int fileNumber, std::int64_t received, std::int64_t announced) override;
  void OnImageSaved(int fileNumber, const Text& fileName, std::int64_t bytes, double seconds) override;
  void OnImageFailed(int fileNumber, const Text& address, const crawl::Failure& why) override;

  // Writes the closing summary once and gives the exit code: 0 nothing
  // failed, 1 something failed, 130 interrupted.
  int Finish(double seconds, bool interrupted);
  int Failed() const;

 private:
  using Clock = std::chrono::steady_clock;
  // A line for people (without its line end); ends any live line first.
  void Line(const Text& line);
  void Json(const Text& object);
  void Write(std::FILE* to, const Text& bytes);
  Text Where(int fileNumber) const;
  bool ForPeople() const { return style_ == Style::kText; }

  mutable std::mutex lock_;
  std::FILE* out_;
  std::FILE* err_;
  const Style style_;
  const bool liveLine_;
  bool finished_ = false;
  int saved_ = 0;
  int failed_ = 0;
  int pagesFailed_ = 0;
  std::int64_t bytes_ = 0;
  // Where the crawl is, for the lines of people.
  int page_ = 0;
  int pageCount_ = 0;
  Text pageAddress_;
  int links_ = 0;
  int linkOnPage_ = 0;
  Clock::time_point imageStarted_;
  std::size_t liveWidth_ = 0;  // what the live line covers now
};

// "512 B", "3.4 KB", "2.4 MB", "1.20 GB".
Text FormatBytes(std::int64_t bytes);

}  // namespace lv::cli
