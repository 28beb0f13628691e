#include "crawl/engine.h"

#include <windows.h>

#include <chrono>
#include <limits>
#include <memory>
#include <utility>

#include "crawl/image_download.h"
#include "crawl/image_file.h"
#include "com/http_request.h"
#include "com/utf8_to_gbk.h"
#include "text/extract.h"
#include "com/regex_matcher.h"

namespace lv::crawl {
namespace {

constexpr char kListingPath[] = "/toplist?page=";
// Each wallpaper's detail link on a listing page; the group is its address.
constexpr char kDetailLinkPattern[] = "<a class=#引号preview#引号 href=#引号(.*?)#引号 ";
constexpr char kImageLeftMarker[] = "<img id=#引号wallpaper#引号 src=#引号";
constexpr char kImageRightMarker[] = "#引号";
// Progress reports are for eyes, not for every read.
constexpr auto kProgressInterval = std::chrono::milliseconds(100);

using Clock = std::chrono::steady_clock;

// The stop signal's file lock, when there is a signal.
class FileLock {
 public:
  explicit FileLock(StopSignal* stop) {
    if (stop) lock_ = stop->LockFiles();
  }
  void Release() {
    if (lock_.owns_lock()) lock_.unlock();
  }

 private:
  std::unique_lock<std::mutex> lock_;
};

bool IsSuccess(int status) { return status >= 200 && status <= 299; }

// WinHttp reports its errors as HRESULTs of the Win32 facility; people and
// the documentation know them by the plain number (12029 and the like).
std::int64_t PlainErrorCode(std::int32_t hresult) {
  const auto h = static_cast<HRESULT>(hresult);
  if (HRESULT_FACILITY(h) == FACILITY_WIN32) return HRESULT_CODE(h);
  return static_cast<std::uint32_t>(h);
}

struct Page {
  Text text;
  int status = 0;
  std::int64_t error = 0;
  bool tooLarge = false;
};

struct PageBytes {
  ByteSet body;
  int status = 0;
  std::int64_t error = 0;  // why no answer came
};

PageBytes RequestPage(std::string_view address, int timeoutSeconds) {
  PageBytes page;
  std::int32_t code = 0;
  std::int32_t sent = 0;
  HttpRequestOptions options;
  options.TimeoutSeconds = timeoutSeconds;
  options.StatusCode = &code;
  options.SendResult = &sent;
  page.body = HttpRequest(address, options);
  page.status = code;
  page.error = code == 0 && FAILED(sent) ? PlainErrorCode(sent) : 0;
  return page;
}

// A request that got no answer at all is sent once more: a server may close
// a kept-alive connection just as the next request goes out on it, and not
// every WinHttp sends that request again by itself. A silent server is not
// asked twice.
// A page's text: the body of a plain request for the address, turned from
// UTF-8 into code page 936; empty when the request failed.
Page FetchPageText(std::string_view address, const DownloadLimits& limits) {
  PageBytes bytes = RequestPage(address, limits.pageTimeoutSeconds);
  if (bytes.status == 0 && bytes.error != kWinHttpTimeout) bytes = RequestPage(address, limits.pageTimeoutSeconds);
  Page page;
  page.status = bytes.status;
  page.error = bytes.error;
  if (static_cast<std::int64_t>(bytes.body.size()) > limits.maxPageBytes) {
    page.tooLarge = true;
    return page;
  }
  page.text = Utf8ToGbk(bytes.body);
  return page;
}

// Why a fetched page gives nothing to work with, if it does not.
bool PageFailure(const Page& page, FailedRequest request, Failure& why) {
  why.request = request;
  if (page.tooLarge) {
    why.kind = FailureKind::kTooLarge;
    return true;
  }
  if (page.status == 0) {
    why.kind = FailureKind::kNoResponse;
    why.code = page.error;
    return true;
  }
  if (!IsSuccess(page.status)) {
    why.kind = FailureKind::kHttpStatus;
    why.code = page.status;
    return true;
  }
  if (page.text.empty()) {
    why.kind = FailureKind::kEmptyBody;
    return true;
  }
  return false;
}

class Crawl {
 public:
  Crawl(const CrawlInput& input, CrawlObserver& observer, StopSignal* stop)
      : input_(input), observer_(observer), stop_(stop) {}

  CrawlTally Run() {
    for (int page = 1; page <= input_.pageCount && !Stopping(); ++page) {
      CrawlPage(page);
      if (page == std::numeric_limits<int>::max()) break;
    }
    tally_.interrupted = Stopping();
    return tally_;
  }

 private:
  bool Stopping() const { return stop_ && stop_->Requested(); }

  void CrawlPage(int page) {
    const Text address = ListingAddress(input_.site, page);
    observer_.OnPageStarted(page, input_.pageCount, address);
    const Page listing = FetchPageText(address, input_.limits);
    matcher_.Create(kDetailLinkPattern, listing.text, /*caseSensitive=*/true, /*multiline=*/true,
                    /*global=*/true, /*expandQuoteToken=*/true);
    const int linkCount = matcher_.MatchCount();

    Failure why;
    bool failed = PageFailure(listing, FailedRequest::kListing, why);
    if (!failed && linkCount <= 0) {
      failed = true;
      why.kind = FailureKind::kNoLinks;
    }
    if (failed) {
      ++tally_.pagesFailed;
      observer_.OnPageFailed(page, address, why, linkCount > 0 ? linkCount : 0);
    } else {
      observer_.OnPageLoaded(page, listing.status, linkCount);
    }

    for (int link = 1; link <= linkCount && !Stopping(); ++link) {
      FollowLink(matcher_.SubMatchText(link, 1));
      ++fileCounter_;
    }
  }

  // One attempt at one wallpaper, saved under the current file number.
  void FollowLink(const Text& detailAddress) {
    const int number = fileCounter_;
    const Page detail = FetchPageText(detailAddress, input_.limits);
    const Text imageAddress = TextBetween(detail.text, kImageLeftMarker, kImageRightMarker);
    if (imageAddress.empty()) {
      Failure why;
      if (!PageFailure(detail, FailedRequest::kDetail, why)) why.kind = FailureKind::kNoImageAddress;
      Fail(number, detailAddress, why);
      return;
    }
    // The folder is settled before the first image is asked for: one that
    // cannot be made costs no downloads.
    if (!folderChecked_) {
      folderReady_ = EnsureFolder(input_.folder, &folderError_);
      folderChecked_ = true;
    }
    if (!folderReady_) {
      Fail(number, imageAddress, MakeFailure(FailureKind::kFolder, folderError_));
      return;
    }
    SaveImage(number, imageAddress);
  }

  void SaveImage(int number, const Text& imageAddress) {
    const Text fileName = input_.folder + "\\" + ToText(number) + ".png";
    std::unique_ptr<PartFile> part;
    {
      FileLock lock(stop_);
      if (Stopping()) return;
      part = std::make_unique<PartFile>(fileName);
      if (!part->Ok()) {
        part.reset();
        Fail(number, imageAddress, MakeFailure(FailureKind::kFileWrite));
        return;
      }
      if (stop_) stop_->SetPartInFlight(part->TemporaryPath());
    }

    observer_.OnImageStarted(number, imageAddress);
    const Clock::time_point started = Clock::now();
    Clock::time_point lastReport = started;
    const auto progress = [&](std::int64_t received, std::int64_t announced) {
      if (Stopping()) return false;
      const Clock::time_point now = Clock::now();
      if (now - lastReport >= kProgressInterval) {
        lastReport = now;
        observer_.OnImageProgress(number, received, announced);
      }
      return true;
    };
    const ImageDownload image = DownloadImage(imageAddress, *part, buffer_, progress, input_.limits);

    Failure why = image.why;
    {
      FileLock lock(stop_);
      if (stop_) stop_->SetPartInFlight({});
      if (!image.ok) {
        part->Discard();
      } else if (Stopping()) {
        part->Discard();
        why = MakeFailure(FailureKind::kInterrupted);
      } else {
        switch (part->Commit()) {
          case PartFile::Outcome::kSaved: {
            const std::chrono::duration<double> took = Clock::now() - started;
            ++tally_.imagesSaved;
            tally_.bytesSaved += image.received;
            lock.Release();
            observer_.OnImageSaved(number, fileName, image.received, took.count());
            return;
          }
          case PartFile::Outcome::kNotAnImage:
            why = MakeFailure(FailureKind::kNotAnImage);
            break;
          case PartFile::Outcome::kWriteFailed:
            why = MakeFailure(FailureKind::kFileWrite);
            break;
        }
      }
    }
    Fail(number, imageAddress, why);
  }

  void Fail(int number, const Text& address, const Failure& why) {
    // An image abandoned because the crawl was stopped did not fail.
    if (why.kind != FailureKind::kInterrupted) ++tally_.imagesFailed;
    observer_.OnImageFailed(number, address, why);
  }

  const CrawlInput& input_;
  CrawlObserver& observer_;
  StopSignal* stop_;
  // Constructed before anything is fetched; it holds its own COM
  // initialisation for the whole crawl.
  RegexMatcher matcher_;
  CrawlTally tally_;
  int fileCounter_ = 0;
  bool folderChecked_ = false;
  bool folderReady_ = false;
  unsigned long folderError_ = 0;  // the system's reason when it is not ready
  // One read buffer for every image: under Wine, touching fresh memory costs
  // about as much as receiving into it.
  ReadBuffer buffer_;
};

}  // namespace

void StopSignal::TakeFilesOver() {
  fileLock_.lock();  // for good: the process is about to end
  if (!partInFlight_.empty()) ::DeleteFileA(partInFlight_.c_str());
  partInFlight_.clear();
}

Text ListingAddress(const Text& site, int page) { return site + kListingPath + ToText(page); }

CrawlTally RunCrawl(const CrawlInput& input, CrawlObserver& observer, StopSignal* stop) {
  return Crawl(input, observer, stop).Run();
}

}  // namespace lv::crawl
