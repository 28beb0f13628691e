// The crawl behind the start button.
#pragma once

#include <windows.h>

#include <string_view>

#include "text/text.h"

namespace lv::app {

// What the crawl needs of the main window.
struct CrawlTargets {
  HWND window = nullptr;          // its caption shows the crawl's progress
  HWND saveFolderEdit = nullptr;  // 编辑框1
  HWND pageCountEdit = nullptr;   // 编辑框2
  Text settingsPath;              // where the save folder is remembered
};

// Runs the whole crawl on the calling (GUI) thread and returns when the
// closing message has been dismissed.
void RunCrawl(const CrawlTargets& targets);

// A page's text: the body of a plain request for the address, turned from
// UTF-8 into code page 936. Empty when the request failed. The status goes
// to *status when asked for (0 when no response came).
Text FetchPageText(std::string_view address, int* status = nullptr);

// The page count typed by the user: the number read from the text, cut
// toward zero and held within the 32-bit range.
int PageCountFrom(std::string_view text);

// What a finished crawl tells the user.
struct CrawlTally {
  int imagesSaved = 0;
  int imagesFailed = 0;
  int pagesFailed = 0;
};
Text ClosingMessage(const CrawlTally& tally);
Text ClosingCaption(const CrawlTally& tally);

}  // namespace lv::app
