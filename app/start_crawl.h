// What the start button does: checks the two boxes, remembers the folder,
// runs the crawl on the GUI thread with the caption as its only progress, and
// closes with a message.
#pragma once

#include <windows.h>

#include <string_view>

#include "crawl/engine.h"
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
void StartCrawl(const CrawlTargets& targets);

// The page count typed by the user: the number read from the text, cut
// toward zero and held within the 32-bit range.
int PageCountFrom(std::string_view text);

// What a finished crawl tells the user.
Text ClosingMessage(const crawl::CrawlTally& tally);
Text ClosingCaption(const crawl::CrawlTally& tally);

}  // namespace lv::app
