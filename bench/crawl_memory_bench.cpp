// What a crawl costs in memory: the peak that one listing page of 20 MB adds
// to the console program, against the page's size, and how much a process
// grows per image over many crawls (a leak shows as steady growth). Serves
// its own site on 127.0.0.1; the console program runs as a process of its
// own so that the server's copies of the page are not counted.
//
//   crawl_memory_bench PATH_TO_LUMIVANT_CLI
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


// Runs the console program and gives the peak of its working set, sampled
// while it runs (the counter is the process's own high-water mark).
double PeakOfRun(const std::string& program, const std::string& arguments) {
  std::string command = "\"" + program + "\" " + arguments;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!::CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                        &startup, &info)) {
    return -1;
  }
  SIZE_T peak = 0;
  do {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (::GetProcessMemoryInfo(info.hProcess, &counters, sizeof counters) && counters.PeakWorkingSetSize > peak) {
      peak = counters.PeakWorkingSetSize;
    }
  } while (::WaitForSingleObject(info.hProcess, 5) == WAIT_TIMEOUT);
  ::CloseHandle(info.hThread);
  ::CloseHandle(info.hProcess);
  return static_cast<double>(peak) / (1024.0 * 1024.0);
}
}  // namespace

int main(int argc, char** argv) {
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

  const std::string cli = argc > 1 ? argv[1] : "lumivant-cli.exe";
  const std::string common = " --folder \"" + folder + "\" --site " + site.Server().Url("");
  const double idle = PeakOfRun(cli, "--pages 0" + common);
  const double crawled = PeakOfRun(cli, "--pages 1" + common);
  std::printf("listing %.1f MB: the console program's peak working set %.1f MB against %.1f MB for no page: "
              "%.2f x the page (target < 3)\n",
              listingMb, crawled, idle, (crawled - idle) / listingMb);

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
