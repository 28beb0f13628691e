// The crawl behind the start button.
#pragma once

#include <windows.h>

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

}  // namespace lv::app
