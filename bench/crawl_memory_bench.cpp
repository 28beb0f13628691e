// What a crawl costs in memory: the peak private bytes that one listing page
// of 20 MB adds, against the page's size, and how much the process grows per
// image over many crawls (a leak shows as steady growth). Serves its own
// site on 127.0.0.1.
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <string>

#include "crawl/engine.h"
#include "testing/wallpaper_site.h"

namespace {

double PrivateMegabytes(bool peak) {
  PROCESS_MEMORY_COUNTERS_EX counters{};
  counters.cb = sizeof counters;
  ::GetProcessMemoryInfo(::GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                         sizeof counters);
  return static_cast<double>(peak ? counters.PeakPagefileUsage : counters.PrivateUsage) / (1024.0 * 1024.0);
}

lv::crawl::CrawlTally Crawl(lv::testing::Site& site, const std::string& folder, int pages) {
  lv::crawl::CrawlInput input;
  input.folder = folder;
  input.pageCount = pages;
  input.site = site.Server().Url("");
  lv::crawl::CrawlObserver quiet;
  return lv::crawl::RunCrawl(input, quiet);
}

}  // namespace

int main() {
  using namespace lv::testing;
  Site site;
  if (!site.Server().Ok()) return 1;
  char temp[MAX_PATH] = {};
  ::GetTempPathA(MAX_PATH, temp);
  const std::string folder = std::string(temp) + "lumivant memory bench";

  // A 20 MB listing of Chinese filler around 24 links.
  std::vector<std::string> names;
  for (int i = 0; i < 24; ++i) names.push_back("m" + std::to_string(i));
  site.AddPage(1, names);
  std::string filler;
  while (filler.size() < 20u * 1024 * 1024) filler += u8"<p>高清壁纸 风景 动漫 wallpaper</p>\n";
  const std::string listing = site.Listing(1) + filler;
  site.Server().Route("/toplist?page=1", Reply::Body(listing, "text/html; charset=utf-8"));
  const double listingMb = static_cast<double>(listing.size()) / (1024.0 * 1024.0);

  // One small crawl first, so that the libraries' own start-up is not
  // counted against the page.
  site.AddPage(2, {"warm"});
  Crawl(site, folder, 0);
  const double before = PrivateMegabytes(false);
  lv::crawl::CrawlInput input;
  const lv::crawl::CrawlTally big = Crawl(site, folder, 1);
  const double peak = PrivateMegabytes(true);
  std::printf("listing %.1f MB: %d images saved; peak private bytes rose %.1f MB = %.2f x the page (target < 3)\n",
              listingMb, big.imagesSaved, peak - before, (peak - before) / listingMb);

  // Growth per image: crawls of 24 small images, after a settling round.
  site.Server().Route("/toplist?page=1", Reply::Body(site.Listing(1), "text/html; charset=utf-8"));
  for (int i = 0; i < 5; ++i) Crawl(site, folder, 1);
  const double start = PrivateMegabytes(false);
  constexpr int kCrawls = 60;
  for (int i = 0; i < kCrawls; ++i) Crawl(site, folder, 1);
  const double end = PrivateMegabytes(false);
  std::printf("%d crawls of 24 images: private bytes %+.1f KB, %.0f bytes per image\n", kCrawls,
              (end - start) * 1024, (end - start) * 1024 * 1024 / (kCrawls * 24));
  RemoveTree(folder);
  return 0;
}
