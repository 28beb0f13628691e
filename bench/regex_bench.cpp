// How long the crawl's matching takes on one listing page: Create with the
// detail-link pattern and the crawl's flags, then every link's address read
// back, on pages of 1 MB and 4 MB with 24 links each. The time should grow
// with the page size, no faster.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "com/regex_matcher.h"

namespace {

constexpr char kDetailLinkPattern[] = "<a class=#引号preview#引号 href=#引号(.*?)#引号 ";
constexpr int kLinks = 24;
constexpr int kRounds = 5;

// Filler modelled on a listing page's markup around the links.
constexpr char kFillerLine[] =
    "<li><figure class=\"thumb\" data-wallpaper-id=\"k7x2q9\"><img alt=\"壁纸 预览\" "
    "src=\"https://th.example/small/k7/k7x2q9.jpg\"><a class=\"jsAnchor\" "
    "href=\"https://w.example/tag/1\">风景</a></figure></li>\n";

lv::Text ListingPage(std::size_t bytes) {
  const std::size_t perLink = bytes / kLinks;
  lv::Text page;
  page.reserve(bytes + 4096);
  for (int link = 0; link < kLinks; ++link) {
    while (page.size() < perLink * link + perLink - 128) page += kFillerLine;
    page += "<a class=\"preview\" href=\"https://w.example/w/" + lv::ToText(link) +
            "\" target=\"_blank\"></a>\n";
  }
  return page;
}

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to) {
  LARGE_INTEGER frequency;
  ::QueryPerformanceFrequency(&frequency);
  return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// The fastest of several rounds, in milliseconds; false when the links were
// not all found.
bool TimeOnePage(const lv::Text& page, double& milliseconds) {
  lv::RegexMatcher matcher;
  std::vector<double> rounds;
  for (int round = 0; round < kRounds; ++round) {
    LARGE_INTEGER start;
    LARGE_INTEGER end;
    ::QueryPerformanceCounter(&start);
    matcher.Create(kDetailLinkPattern, page, true, true, true, true);
    const int count = matcher.MatchCount();
    std::size_t addressBytes = 0;
    for (int link = 1; link <= count; ++link) addressBytes += matcher.SubMatchText(link, 1).size();
    ::QueryPerformanceCounter(&end);
    if (count != kLinks || addressBytes == 0) return false;
    rounds.push_back(Seconds(start, end) * 1000);
  }
  milliseconds = *std::min_element(rounds.begin(), rounds.end());
  return true;
}

}  // namespace

int main() {
  double previous = 0;
  for (std::size_t megabytes : {1u, 4u}) {
    const lv::Text page = ListingPage(megabytes << 20);
    double ms = 0;
    if (!TimeOnePage(page, ms)) {
      std::printf("%zu MB: the %d links were not all found\n", megabytes, kLinks);
      return 1;
    }
    std::printf("%zu MB page (%zu bytes), %d links: %.1f ms (%.1f ms per MB)", megabytes,
                page.size(), kLinks, ms, ms / static_cast<double>(megabytes));
    if (previous > 0) std::printf(", %.2f times the 1 MB time", ms / previous);
    std::printf("\n");
    previous = ms;
  }
  return 0;
}
