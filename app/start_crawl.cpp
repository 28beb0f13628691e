#include "app/start_crawl.h"

#include <vector>

#include "crawl/settings.h"
#include "crawl/site.h"

namespace lv::app {
namespace {

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

// The window's whole view of a running crawl: the caption, set as each page
// starts. It goes straight to the window; the queue is not served meanwhile.
class CaptionObserver : public crawl::CrawlObserver {
 public:
  explicit CaptionObserver(HWND window) : window_(window) {}
  void OnPageStarted(int, int, const Text&) override { ::SetWindowTextA(window_, kCaptionCrawling); }

 private:
  HWND window_;
};

class WindowDisabled {
 public:
  explicit WindowDisabled(HWND window) : window_(window) { ::EnableWindow(window_, FALSE); }
  ~WindowDisabled() { ::EnableWindow(window_, TRUE); }
  WindowDisabled(const WindowDisabled&) = delete;
  WindowDisabled& operator=(const WindowDisabled&) = delete;

 private:
  HWND window_;
};

bool IsClean(const crawl::CrawlTally& tally) { return tally.imagesFailed == 0 && tally.pagesFailed == 0; }

}  // namespace

int PageCountFrom(std::string_view text) { return ClampToInt(ToNumber(text)); }

Text ClosingCaption(const crawl::CrawlTally& tally) {
  return IsClean(tally) ? kCaptionSucceeded : kCaptionFinishedWithErrors;
}

Text ClosingMessage(const crawl::CrawlTally& tally) {
  if (IsClean(tally)) return kMessageCompleted;
  return Text(kMessageCompleted) + " with errors\r\nimages saved: " + ToText(tally.imagesSaved) +
         "\r\nimages failed: " + ToText(tally.imagesFailed) + "\r\npages failed: " + ToText(tally.pagesFailed);
}

void StartCrawl(const CrawlTargets& targets) {
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
  crawl::WriteSaveFolder(targets.settingsPath, folder);

  crawl::CrawlInput input;
  input.folder = folder;
  input.pageCount = PageCountFrom(pageCountText);
  input.site = crawl::SiteAddress();
  CaptionObserver caption(targets.window);
  crawl::CrawlTally tally;
  {
    // Disabled, the window takes no click or key while the crawl runs, even
    // where a request's wait serves the queue; the closing message then
    // disables it again for as long as it is open.
    WindowDisabled disabled(targets.window);
    tally = crawl::RunCrawl(input, caption);
  }

  ::SetWindowTextA(targets.window, ClosingCaption(tally).c_str());
  ShowMessage(ClosingMessage(tally));
}

}  // namespace lv::app
