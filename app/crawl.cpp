#include "app/crawl.h"

namespace lv::app {

void RunCrawl(const CrawlTargets&) {}

}  // namespace lv::app
