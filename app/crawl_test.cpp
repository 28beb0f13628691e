// The start button end to end: the real program, driven from outside like a
// user would, crawls a small wallpaper site that the test serves on
// 127.0.0.1 and logs.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "crawl/settings.h"
#include "testing/http_server.h"
#include "testing/wallpaper_site.h"
#include "testing/window_driver.h"

namespace lv::app {
using crawl::ReadSaveFolder;
namespace {

using namespace lv::testing;

constexpr DWORD kCrawlPatienceMs = 60000;

// The caption as the system keeps it, read without sending the window a
// message: it answers none while it crawls.
std::string CaptionWithoutMessages(HWND window) {
  char caption[256] = {};
  const int got = ::GetWindowTextA(window, caption, sizeof caption);
  return std::string(caption, got > 0 ? static_cast<std::size_t>(got) : 0);
}

// The text of a message box: its one static control that holds text.
std::string MessageText(HWND box) {
  for (HWND child : ChildrenOf(box)) {
    if (::lstrcmpiA(ClassOf(child).c_str(), "Static") == 0 && !TextOf(child).empty()) return TextOf(child);
  }
  return {};
}

// Waits for the program's message box with this title, answers OK and gives
// its text; "" when none came.
std::string DismissMessage(const Program& program, const std::string& title) {
  HWND box = nullptr;
  for (DWORD waited = 0; waited < kCrawlPatienceMs && !box; waited += 20) {
    HWND found = VisibleTopLevelWindow(program.ProcessId(), "#32770");
    if (found && CaptionWithoutMessages(found) == title) box = found;
    if (!box) ::Sleep(20);
  }
  if (!box) return {};
  const std::string text = MessageText(box);
  ::PostMessageA(box, WM_COMMAND, IDOK, 0);
  WaitUntil([&] { return !::IsWindow(box) || !::IsWindowVisible(box); });
  return text;
}

void Click(HWND button) {
  ::PostMessageA(::GetParent(button), WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(button), BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
}

// One program with the site's address in its environment.
class CrawlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(site_.Server().Ok());
    ::SetEnvironmentVariableA("LUMIVANT_SITE", site_.Server().Url("").c_str());
    saveRoot_ = TestFolder("lumivant crawl");
    ASSERT_TRUE(program_.Start());
  }
  void TearDown() override {
    program_.Close();
    RemoveTree(saveRoot_);
  }

  // Fills both boxes, clicks the start button, and gives the message that
  // ends the click (dismissed), or "" when none came.
  std::string Crawl(const std::string& folder, const std::string& pages) {
    SetTextOf(program_.Control(k编辑框1), folder);
    SetTextOf(program_.Control(k编辑框2), pages);
    Click(program_.Control(k按钮1));
    return DismissMessage(program_, "提示");
  }

  Site site_;
  Program program_;
  std::string saveRoot_;
};

TEST_F(CrawlTest, InputChecksStopBeforeAnythingIsSavedOrFetched) {
  EXPECT_EQ(Crawl("", ""), "请选择你要保存的地址呀");
  EXPECT_EQ(Crawl("", "3"), "请选择你要保存的地址呀");
  EXPECT_EQ(Crawl(saveRoot_, ""), "请输入你要爬取的页数呀");
  EXPECT_EQ(site_.Server().RequestCount(), 0u);
  EXPECT_FALSE(Exists(program_.SettingsPath()));
  EXPECT_EQ(TextOf(program_.Window()), "Lumivant");
}

TEST_F(CrawlTest, CountsOfZeroOrLessSaveTheFolderAndSucceedAtOnce) {
  for (const char* count : {"0", "-3", "-", "abc"}) {
    SCOPED_TRACE(count);
    ::DeleteFileA(program_.SettingsPath().c_str());
    EXPECT_EQ(Crawl("   ", count), "mission completed");  // spaces pass the check
    // The profile functions trim a value's blanks, so the key's presence is
    // what shows that the folder was saved.
    EXPECT_NE(ReadFile(program_.SettingsPath()).find("[路径保存]\r\n路径="), std::string::npos);
    EXPECT_EQ(TextOf(program_.Window()), "成功");
  }
  EXPECT_EQ(site_.Server().RequestCount(), 0u);
}

TEST_F(CrawlTest, DownloadsEveryLinkedImageInLinkOrderAcrossPages) {
  site_.AddPage(1, {"a1", "a2", "a3"});
  site_.AddWallpaper("b1", JpegBytes("b1"), "image/jpeg");
  site_.AddPage(2, {"b1", "b2"});
  const std::string folder = saveRoot_ + "\\壁纸";  // missing: made by the crawl
  std::string captionAtFirstRequest;
  bool settingsSavedBeforeFirstRequest = false;
  site_.Server().Route("/toplist?page=1", [&](const ServedRequest&) {
    // The window is busy crawling: its caption is read without a message.
    captionAtFirstRequest = CaptionWithoutMessages(program_.Window());
    settingsSavedBeforeFirstRequest = ReadSaveFolder(program_.SettingsPath()) == folder;
    return Reply::Body(site_.Listing(1), "text/html; charset=utf-8");
  });

  EXPECT_EQ(Crawl(folder, "2"), "mission completed");
  EXPECT_EQ(TextOf(program_.Window()), "成功");
  EXPECT_EQ(captionAtFirstRequest, "正在爬取");
  EXPECT_TRUE(settingsSavedBeforeFirstRequest);

  const std::vector<std::string> expectedOrder = {
      "/toplist?page=1", "/w/a1", "/full/a1", "/w/a2", "/full/a2", "/w/a3", "/full/a3",
      "/toplist?page=2", "/w/b1", "/full/b1", "/w/b2", "/full/b2"};
  EXPECT_EQ(site_.Targets(), expectedOrder);
  EXPECT_EQ(FilesIn(folder), (std::vector<std::string>{"0.png", "1.png", "2.png", "3.png", "4.png"}));
  const char* names[] = {"a1", "a2", "a3", "b1", "b2"};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(ReadFile(folder + "\\" + std::to_string(i) + ".png"), site_.Image(names[i])) << names[i];
  }

  for (const ServedRequest& r : site_.Server().Requests()) {
    SCOPED_TRACE(r.head);
    if (r.target.rfind("/full/", 0) == 0) {
      EXPECT_EQ(r.version, "HTTP/1.0");
      EXPECT_EQ(r.Header("User-Agent"), "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)");
      EXPECT_EQ(r.Header("Accept"), "*/*");
      EXPECT_EQ(r.target.find('#'), std::string::npos);
    } else {
      EXPECT_EQ(r.Header("Accept"), "*/*");
      EXPECT_EQ(r.Header("Referer"), site_.Server().Url(r.target));
      EXPECT_EQ(r.Header("Accept-Language"), "zh-cn");
      EXPECT_EQ(r.Header("User-Agent"), "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)");
    }
  }
}

TEST_F(CrawlTest, PastedCountsAreReadLikeNumbers) {
  const struct {
    const char* text;
    int pages;
  } cases[] = {{"2.9", 2}, {"12abc", 12}, {"\xA3\xB3", 3}, {" 1", 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    site_.Server().ClearRequests();
    // No page has links, so every page counts as failed.
    const std::string expected = "mission completed with errors\r\nimages saved: 0\r\nimages failed: 0\r\npages failed: " +
                                 std::to_string(c.pages);
    EXPECT_EQ(Crawl(saveRoot_, c.text), expected);
    std::vector<std::string> pages;
    for (int p = 1; p <= c.pages; ++p) pages.push_back("/toplist?page=" + std::to_string(p));
    EXPECT_EQ(site_.Targets(), pages);
    EXPECT_EQ(TextOf(program_.Window()), "完成");
  }
}

TEST_F(CrawlTest, FolderEndingInABackslashAndASecondCrawlOverwriting) {
  site_.AddPage(1, {"c1", "c2"});
  ASSERT_TRUE(::CreateDirectoryA(saveRoot_.c_str(), nullptr));
  EXPECT_EQ(Crawl(saveRoot_ + "\\", "1"), "mission completed");
  EXPECT_EQ(ReadFile(saveRoot_ + "\\1.png"), site_.Image("c2"));

  site_.AddWallpaper("c1", PngBytes("c1 changed"));
  site_.AddWallpaper("c2", PngBytes("c2 changed"));
  EXPECT_EQ(Crawl(saveRoot_, "1"), "mission completed");
  EXPECT_EQ(ReadFile(saveRoot_ + "\\0.png"), PngBytes("c1 changed"));
  EXPECT_EQ(ReadFile(saveRoot_ + "\\1.png"), PngBytes("c2 changed"));
  EXPECT_EQ(FilesIn(saveRoot_), (std::vector<std::string>{"0.png", "1.png"}));
}

TEST_F(CrawlTest, FailuresAreCountedAndNothingBrokenIsWritten) {
  HttpServer& server = site_.Server();
  site_.AddWallpaper("good", PngBytes("good"));
  site_.AddWallpaper("late", PngBytes("late"));
  // Detail pages whose image cannot be had, each in its own way.
  server.Route("/w/missing", Reply::Body(DetailPage(server.Url("/full/missing"))));
  server.Route("/full/missing", Reply::Body("<h1>404</h1>", "text/html", 404));
  server.Route("/w/nomarker", Reply::Body("<html><img id=\"other\" src=\"/x.png\"></html>"));
  server.Route("/w/cut", Reply::Body(DetailPage(server.Url("/full/cut"))));
  server.Route("/full/cut", Reply::Raw("HTTP/1.1 200 OK\r\nContent-Type: image/png\r\nContent-Length: 5000\r\n"
                                       "Connection: close\r\n\r\n" + PngBytes("cut").substr(0, 100)));
  std::string unreachable;
  {
    HttpServer gone;  // a port that refuses: its server stops before the crawl
    unreachable = gone.Url("/full/gone.png");
  }
  server.Route("/w/unreachable", Reply::Body(DetailPage(unreachable)));
  server.Route("/toplist?page=1",
               Reply::Body(ListingPage({server.Url("/w/good"), server.Url("/w/missing"), server.Url("/w/nomarker"),
                                        server.Url("/w/cut"), server.Url("/w/unreachable")},
                                       server.Url("/w/decoy"))));
  server.Route("/toplist?page=2", Reply::Body("<h1>server error</h1>", "text/html", 500));
  server.Route("/toplist?page=3", Reply::Body(ListingPage({server.Url("/w/late")}, server.Url("/w/decoy"))));

  ASSERT_TRUE(::CreateDirectoryA(saveRoot_.c_str(), nullptr));
  for (int i : {1, 3}) {
    std::ofstream(saveRoot_ + "\\" + std::to_string(i) + ".png", std::ios::binary) << "older image " << i;
  }

  EXPECT_EQ(Crawl(saveRoot_, "3"),
            "mission completed with errors\r\nimages saved: 2\r\nimages failed: 4\r\npages failed: 1");
  EXPECT_EQ(TextOf(program_.Window()), "完成");
  EXPECT_EQ(ReadFile(saveRoot_ + "\\0.png"), site_.Image("good"));
  EXPECT_EQ(ReadFile(saveRoot_ + "\\1.png"), "older image 1");  // a 404 leaves the old file alone
  EXPECT_EQ(ReadFile(saveRoot_ + "\\3.png"), "older image 3");  // so does a body cut short
  EXPECT_EQ(ReadFile(saveRoot_ + "\\5.png"), site_.Image("late"));
  EXPECT_EQ(FilesIn(saveRoot_), (std::vector<std::string>{"0.png", "1.png", "3.png", "5.png"}));
}

TEST_F(CrawlTest, AFolderThatCannotBeMadeCountsItsImagesAsFailed) {
  site_.AddPage(1, {"d1"});
  ASSERT_TRUE(::CreateDirectoryA(saveRoot_.c_str(), nullptr));
  std::ofstream(saveRoot_ + "\\blocker", std::ios::binary) << "a file, not a folder";
  EXPECT_EQ(Crawl(saveRoot_ + "\\blocker\\壁纸", "1"),
            "mission completed with errors\r\nimages saved: 0\r\nimages failed: 1\r\npages failed: 0");
}

TEST_F(CrawlTest, ClicksKeysAndCloseDuringACrawlAreLostAndStartNothing) {
  site_.AddPage(1, {"n1"});
  site_.AddPage(2, {"n2"});
  // Each listing takes a moment, so that the window's queue is served by the
  // requests' waits while the crawl runs.
  for (int page : {1, 2}) {
    Reply slow = Reply::Body(site_.Listing(page), "text/html; charset=utf-8");
    slow.delay = std::chrono::milliseconds(1500);
    site_.Server().Route("/toplist?page=" + std::to_string(page), slow);
  }
  SetTextOf(program_.Control(k编辑框1), saveRoot_);
  SetTextOf(program_.Control(k编辑框2), "2");
  Click(program_.Control(k按钮1));
  ASSERT_TRUE(WaitUntil([&] { return site_.Server().RequestCount() > 0; }));
  for (int i = 0; i < 3; ++i) Click(program_.Control(k按钮1));
  Click(program_.Control(k按钮2));
  ::PostMessageA(program_.Control(k编辑框1), WM_KEYDOWN, VK_ESCAPE, 0);
  ::PostMessageA(program_.Window(), WM_CLOSE, 0, 0);

  EXPECT_EQ(DismissMessage(program_, "提示"), "mission completed");
  // No second crawl and no folder chooser follow, and the window is still there.
  ::Sleep(2000);
  EXPECT_EQ(VisibleTopLevelWindow(program_.ProcessId(), "#32770"), nullptr);
  EXPECT_TRUE(::IsWindow(program_.Window()));
  EXPECT_EQ(site_.Targets(), (std::vector<std::string>{"/toplist?page=1", "/w/n1", "/full/n1", "/toplist?page=2",
                                                       "/w/n2", "/full/n2"}));
  EXPECT_EQ(TextOf(program_.Control(k编辑框1)), saveRoot_);
  EXPECT_EQ(TextOf(program_.Window()), "成功");
}

}  // namespace
}  // namespace lv::app
