#include "app/crawl.h"

#include <cmath>
#include <limits>
#include <utility>
#include <vector>

#include "app/image_download.h"
#include "app/image_file.h"
#include "app/settings.h"
#include "app/site.h"
#include "http/http_request.h"
#include "http/utf8_to_gbk.h"
#include "text/extract.h"
#include "text/regex_matcher.h"

namespace lv::app {
namespace {

constexpr char kListingPath[] = "/toplist?page=";
// Each wallpaper's detail link on a listing page; the group is its address.
constexpr char kDetailLinkPattern[] = "<a class=#引号preview#引号 href=#引号(.*?)#引号 ";
constexpr char kImageLeftMarker[] = "<img id=#引号wallpaper#引号 src=#引号";
constexpr char kImageRightMarker[] = "#引号";

constexpr char kCaptionCrawling[] = "正在爬取";
constexpr char kCaptionSucceeded[] = "成功";
constexpr char kCaptionFinishedWithErrors[] = "完成";
constexpr char kMessageTitle[] = "提示";
constexpr char kMessageNoFolder[] = "请选择你要保存的地址呀";
constexpr char kMessageNoPageCount[] = "请输入你要爬取的页数呀";
constexpr char kMessageCompleted[] = "mission completed";

Text ControlText(HWND control) {
  const int length = ::GetWindowTextLengthA(control);
  if (length <= 0) return {};
  std::vector<char> buffer(static_cast<std::size_t>(length) + 1);
  const int got = ::GetWindowTextA(control, buffer.data(), length + 1);
  return Text(buffer.data(), static_cast<std::size_t>(got > 0 ? got : 0));
}

// One OK button, no icon, no owner; task-modal so the program's windows stay
// disabled until the user answers.
void ShowMessage(const Text& message) {
  ::MessageBoxA(nullptr, message.c_str(), kMessageTitle, MB_OK | MB_TASKMODAL);
}

bool IsSuccess(int status) { return status >= 200 && status <= 299; }

// Saves one wallpaper's image under `fileName`; false when nothing was saved.
// The image is received into `storage`, which keeps its memory for the next
// image: under Wine, touching a fresh buffer of an image's size costs about
// as much as receiving the image.
bool SaveImage(const Text& imageAddress, const Text& folder, const Text& fileName, bool& folderReady,
               ByteSet& storage) {
  if (imageAddress.empty()) return false;
  ImageDownload image = DownloadImage(imageAddress, std::move(storage));
  bool saved = false;
  if (IsSavable(image)) {
    if (!folderReady) folderReady = EnsureFolder(folder);
    saved = folderReady && ReplaceFileWith(fileName, image.bytes);
  }
  storage = std::move(image.bytes);
  return saved;
}

}  // namespace

Text FetchPageText(std::string_view address, int* status) {
  std::int32_t code = 0;
  HttpRequestOptions options;
  options.StatusCode = &code;
  const ByteSet body = HttpRequest(address, options);
  if (status) *status = code;
  return Utf8ToGbk(body);
}

int PageCountFrom(std::string_view text) {
  const double value = std::trunc(ToNumber(text));
  if (value >= static_cast<double>(std::numeric_limits<int>::max())) return std::numeric_limits<int>::max();
  if (value <= static_cast<double>(std::numeric_limits<int>::min())) return std::numeric_limits<int>::min();
  return static_cast<int>(value);
}

Text ClosingCaption(const CrawlTally& tally) {
  const bool clean = tally.imagesFailed == 0 && tally.pagesFailed == 0;
  return clean ? kCaptionSucceeded : kCaptionFinishedWithErrors;
}

Text ClosingMessage(const CrawlTally& tally) {
  if (tally.imagesFailed == 0 && tally.pagesFailed == 0) return kMessageCompleted;
  return Text(kMessageCompleted) + " with errors\r\nimages saved: " + ToText(tally.imagesSaved) +
         "\r\nimages failed: " + ToText(tally.imagesFailed) + "\r\npages failed: " + ToText(tally.pagesFailed);
}

void RunCrawl(const CrawlTargets& targets) {
  RegexMatcher matcher;
  int fileCounter = 0;

  const Text folder = ControlText(targets.saveFolderEdit);
  if (folder.empty()) {
    ShowMessage(kMessageNoFolder);
    return;
  }
  const Text pageCountText = ControlText(targets.pageCountEdit);
  if (pageCountText.empty()) {
    ShowMessage(kMessageNoPageCount);
    return;
  }
  WriteSaveFolder(targets.settingsPath, folder);
  const int pageCount = PageCountFrom(pageCountText);

  CrawlTally tally;
  bool folderReady = false;
  ByteSet imageStorage;
  for (int page = 1; page <= pageCount; ++page) {
    ::SetWindowTextA(targets.window, kCaptionCrawling);
    int listingStatus = 0;
    const Text listing = FetchPageText(SiteAddress() + kListingPath + ToText(page), &listingStatus);
    matcher.Create(kDetailLinkPattern, listing, /*caseSensitive=*/true, /*multiline=*/true,
                   /*global=*/true, /*expandQuoteToken=*/true);
    const int linkCount = matcher.MatchCount();
    if (listing.empty() || !IsSuccess(listingStatus) || linkCount <= 0) ++tally.pagesFailed;

    for (int link = 1; link <= linkCount; ++link) {
      const Text detail = FetchPageText(matcher.SubMatchText(link, 1));
      const Text imageAddress = TextBetween(detail, kImageLeftMarker, kImageRightMarker);
      const Text fileName = folder + "\\" + ToText(fileCounter) + ".png";
      if (SaveImage(imageAddress, folder, fileName, folderReady, imageStorage)) {
        ++tally.imagesSaved;
      } else {
        ++tally.imagesFailed;
      }
      ++fileCounter;
    }
    if (page == std::numeric_limits<int>::max()) break;
  }

  ::SetWindowTextA(targets.window, ClosingCaption(tally).c_str());
  ShowMessage(ClosingMessage(tally));
}

}  // namespace lv::app
