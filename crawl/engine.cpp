#include "crawl/engine.h"

#include <windows.h>

#include <chrono>
#include <limits>
#include <utility>

#include "crawl/image_download.h"
#include "crawl/image_file.h"
#include "http/http_request.h"
#include "http/utf8_to_gbk.h"
#include "text/extract.h"
#include "text/regex_matcher.h"

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
};

Page FetchPage(std::string_view address) {
  Page page;
  page.text = FetchPageText(address, &page.status, &page.error);
  return page;
}

// Why a fetched page gives nothing to work with, if it does not.
bool PageFailure(const Page& page, FailedRequest request, Failure& why) {
  why.request = request;
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
    const Page listing = FetchPage(address);
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
    const Page detail = FetchPage(detailAddress);
    const Text imageAddress = TextBetween(detail.text, kImageLeftMarker, kImageRightMarker);
    if (imageAddress.empty()) {
      Failure why;
      if (!PageFailure(detail, FailedRequest::kDetail, why)) why.kind = FailureKind::kNoImageAddress;
      Fail(number, detailAddress, why);
      return;
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
    ImageDownload image = DownloadImage(imageAddress, std::move(storage_), progress);
    Failure why;
    if (!IsSavable(image, &why)) {
      storage_ = std::move(image.bytes);
      Fail(number, imageAddress, why);
      return;
    }
    Save(number, imageAddress, image.bytes, started);
    storage_ = std::move(image.bytes);
  }

  void Save(int number, const Text& imageAddress, const ByteSet& bytes, Clock::time_point started) {
    const Text fileName = input_.folder + "\\" + ToText(number) + ".png";
    Failure why;
    {
      // Whoever holds the lock may end the process: no file is begun after
      // a stop, and none is left half-written while it is held.
      std::unique_lock<std::mutex> lock;
      if (stop_) lock = std::unique_lock<std::mutex>(stop_->fileLock);
      if (Stopping()) {
        why.kind = FailureKind::kInterrupted;
      } else if (!folderReady_ && !(folderReady_ = EnsureFolder(input_.folder))) {
        why.kind = FailureKind::kFolder;
      } else if (!ReplaceFileWith(fileName, bytes)) {
        why.kind = FailureKind::kFileWrite;
      } else {
        const std::chrono::duration<double> took = Clock::now() - started;
        ++tally_.imagesSaved;
        tally_.bytesSaved += static_cast<std::int64_t>(bytes.size());
        lock = {};
        observer_.OnImageSaved(number, fileName, static_cast<std::int64_t>(bytes.size()), took.count());
        return;
      }
    }
    Fail(number, imageAddress, why);
  }

  void Fail(int number, const Text& address, const Failure& why) {
    ++tally_.imagesFailed;
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
  bool folderReady_ = false;
  // Each image is received into the memory of the one before: under Wine,
  // touching a fresh buffer of an image's size costs about as much as
  // receiving the image.
  ByteSet storage_;
};

}  // namespace

Text ListingAddress(const Text& site, int page) { return site + kListingPath + ToText(page); }

Text FetchPageText(std::string_view address, int* status, std::int64_t* error) {
  std::int32_t code = 0;
  std::int32_t sent = 0;
  HttpRequestOptions options;
  options.StatusCode = &code;
  options.SendResult = &sent;
  const ByteSet body = HttpRequest(address, options);
  if (status) *status = code;
  if (error) *error = code == 0 && FAILED(sent) ? PlainErrorCode(sent) : 0;
  return Utf8ToGbk(body);
}

CrawlTally RunCrawl(const CrawlInput& input, CrawlObserver& observer, StopSignal* stop) {
  return Crawl(input, observer, stop).Run();
}

}  // namespace lv::crawl
