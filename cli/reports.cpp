#include "cli/reports.h"

#include <cstdio>

#include "cli/json_line.h"
#include "com/utf8_to_gbk.h"

namespace lv::cli {
namespace {

// Wide enough for a typical console without wrapping.
constexpr std::size_t kLiveWidth = 79;

Text Fixed(double value, int decimals) {
  char digits[48];
  std::snprintf(digits, sizeof digits, "%.*f", decimals, value);
  return digits;
}

Text Rate(std::int64_t bytes, double seconds) {
  if (seconds <= 0) return "-";
  return FormatBytes(static_cast<std::int64_t>(static_cast<double>(bytes) / seconds)) + "/s";
}

// Every JSON object begins with the name of its event.
JsonLine Event(const char* name) {
  JsonLine line;
  line.Add("event", name);
  return line;
}

}  // namespace

Text FormatBytes(std::int64_t bytes) {
  const double b = static_cast<double>(bytes);
  if (bytes < 1024) return ToText(static_cast<long long>(bytes)) + " B";
  if (b < 1024.0 * 1024) return Fixed(b / 1024, 1) + " KB";
  if (b < 1024.0 * 1024 * 1024) return Fixed(b / (1024 * 1024), 1) + " MB";
  return Fixed(b / (1024.0 * 1024 * 1024), 2) + " GB";
}

// Each piece goes out whole and at once, so that a reader on a pipe sees it
// as soon as it is written.
void Report::Write(std::FILE* to, const Text& bytes) {
  if (finished_) return;
  std::fwrite(bytes.data(), 1, bytes.size(), to);
  std::fflush(to);
}

void Report::Line(const Text& line) {
  if (liveWidth_ > 0) {
    Write(err_, "\r" + Text(liveWidth_, ' ') + "\r");
    liveWidth_ = 0;
  }
  Write(out_, line + "\n");
}

void Report::Json(const Text& object) { Write(out_, object); }

Text Report::Where(int fileNumber) const {
  return "[page " + ToText(page_) + "/" + ToText(pageCount_) + "  " + ToText(linkOnPage_) + "/" + ToText(links_) +
         "]  " + ToText(fileNumber) + ".png";
}

void Report::OnPageStarted(int page, int pageCount, const Text& address) {
  std::lock_guard<std::mutex> hold(lock_);
  page_ = page;
  pageCount_ = pageCount;
  pageAddress_ = address;
  links_ = 0;
  linkOnPage_ = 0;
  if (!ForPeople()) {
    Json(Event("page_started").Add("page", page).Add("pages", pageCount).Add("address", GbkToUtf8(address)).Finish());
  }
}

void Report::OnPageLoaded(int page, int status, int linkCount) {
  std::lock_guard<std::mutex> hold(lock_);
  links_ = linkCount;
  if (ForPeople()) {
    Line("page " + ToText(page) + "/" + ToText(pageCount_) + "  HTTP " + ToText(status) + "  " +
         ToText(linkCount) + " links  " + pageAddress_);
  } else {
    Json(Event("page_loaded").Add("page", page).Add("status", status).Add("links", linkCount).Finish());
  }
}

void Report::OnPageFailed(int page, const Text& address, const crawl::Failure& why, int linkCount) {
  std::lock_guard<std::mutex> hold(lock_);
  ++pagesFailed_;
  links_ = linkCount;
  if (ForPeople()) {
    Line("page " + ToText(page) + "/" + ToText(pageCount_) + "  FAILED  " + crawl::Describe(why) + "  " + address);
  } else {
    Json(Event("page_failed")
             .Add("page", page)
             .Add("address", GbkToUtf8(address))
             .Add("reason", crawl::Describe(why))
             .Add("links", linkCount)
             .Finish());
  }
}

void Report::OnImageStarted(int fileNumber, const Text& address) {
  std::lock_guard<std::mutex> hold(lock_);
  imageStarted_ = Clock::now();
  if (!ForPeople()) Json(Event("image_started").Add("file", fileNumber).Add("address", GbkToUtf8(address)).Finish());
}

void Report::OnImageProgress(int fileNumber, std::int64_t received, std::int64_t announced) {
  std::lock_guard<std::mutex> hold(lock_);
  if (!ForPeople()) {
    JsonLine line = Event("image_progress");
    line.Add("file", fileNumber).Add("received", received);
    if (announced >= 0) {
      line.Add("total", announced);
    } else {
      line.AddNull("total");
    }
    Json(line.Finish());
    return;
  }
  if (!liveLine_ || finished_) return;
  const std::chrono::duration<double> took = Clock::now() - imageStarted_;
  Text live = "  " + ToText(fileNumber) + ".png  " + FormatBytes(received);
  if (announced >= 0) live += " / " + FormatBytes(announced);
  live += "  " + Rate(received, took.count());
  if (live.size() > kLiveWidth) live.resize(kLiveWidth);
  const std::size_t cover = live.size() < liveWidth_ ? liveWidth_ : live.size();
  Write(err_, "\r" + live + Text(cover - live.size(), ' '));
  liveWidth_ = cover;
}

void Report::OnImageSaved(int fileNumber, const Text& fileName, std::int64_t bytes, double seconds) {
  std::lock_guard<std::mutex> hold(lock_);
  ++saved_;
  bytes_ += bytes;
  ++linkOnPage_;
  if (ForPeople()) {
    Line(Where(fileNumber) + "  saved  " + FormatBytes(bytes) + "  " + Fixed(seconds, 1) + " s");
  } else {
    Json(Event("image_saved")
             .Add("file", fileNumber)
             .Add("name", GbkToUtf8(fileName))
             .Add("bytes", bytes)
             .Add("seconds", seconds)
             .Finish());
  }
}

void Report::OnImageFailed(int fileNumber, const Text& address, const crawl::Failure& why) {
  std::lock_guard<std::mutex> hold(lock_);
  // An image abandoned because the crawl was stopped did not fail.
  if (why.kind != crawl::FailureKind::kInterrupted) ++failed_;
  ++linkOnPage_;
  if (ForPeople()) {
    Line(Where(fileNumber) + "  FAILED  " + crawl::Describe(why) + "  " + address);
  } else {
    Json(Event("image_failed")
             .Add("file", fileNumber)
             .Add("address", GbkToUtf8(address))
             .Add("reason", crawl::Describe(why))
             .Finish());
  }
}

int Report::Finish(double seconds, bool interrupted) {
  std::lock_guard<std::mutex> hold(lock_);
  if (ForPeople()) {
    Line(Text(interrupted ? "interrupted: " : "done: ") + ToText(saved_) + " saved, " + ToText(failed_) +
         " failed, " + ToText(pagesFailed_) + " pages failed; " + FormatBytes(bytes_) + " in " +
         Fixed(seconds, 1) + " s (" + Rate(bytes_, seconds) + ")");
  } else {
    Json(Event("summary")
             .Add("saved", saved_)
             .Add("failed", failed_)
             .Add("pages_failed", pagesFailed_)
             .Add("bytes", bytes_)
             .Add("seconds", seconds)
             .Add("interrupted", interrupted)
             .Finish());
  }
  finished_ = true;
  if (interrupted) return 130;
  return failed_ == 0 && pagesFailed_ == 0 ? 0 : 1;
}

int Report::Failed() const {
  std::lock_guard<std::mutex> hold(lock_);
  return failed_;
}

}  // namespace lv::cli
