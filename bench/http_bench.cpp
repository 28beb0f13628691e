// Prints how fast page bodies convert to code page 936 and how long one
// address-only HttpRequest takes. With no arguments only the conversion is
// timed; given a page address (and a count) it also requests that page count
// times in sequence. bench/http_bench.sh serves the page and times curl
// against the same server.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "com/http_request.h"
#include "com/utf8_to_gbk.h"

namespace {

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to) {
  LARGE_INTEGER frequency;
  ::QueryPerformanceFrequency(&frequency);
  return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

LARGE_INTEGER Now() {
  LARGE_INTEGER t;
  ::QueryPerformanceCounter(&t);
  return t;
}

// A listing page's worth of mixed Chinese and ASCII markup, 2 MB of UTF-8.
lv::ByteSet MixedPage() {
  std::string page;
  for (int i = 0; page.size() < 2 * 1024 * 1024; ++i) {
    page += u8"<li class=\"thumb\"><a href=\"/w/" + std::to_string(i) +
            u8"\">高清壁纸 wallpaper 第" + std::to_string(i) + u8"张，风景</a></li>\n";
  }
  return lv::ByteSet(page.begin(), page.end());
}

void BenchConversion() {
  const lv::ByteSet page = MixedPage();
  constexpr int kRounds = 20;
  std::size_t produced = 0;
  const LARGE_INTEGER start = Now();
  for (int i = 0; i < kRounds; ++i) produced += lv::Utf8ToGbk(page).size();
  const double seconds = Seconds(start, Now());
  const double mb = static_cast<double>(page.size()) * kRounds / (1024.0 * 1024.0);
  std::printf("Utf8ToGbk: %.1f MB/s (%zu bytes of UTF-8 in, %zu bytes out per round)\n",
              mb / seconds, page.size(), produced / kRounds);
}

void BenchRequests(const std::string& url, int count) {
  const std::size_t expected = lv::HttpRequest(url).size();  // warms up the platform
  int wrong = 0;
  const LARGE_INTEGER start = Now();
  for (int i = 0; i < count; ++i) {
    if (lv::HttpRequest(url).size() != expected || expected == 0) ++wrong;
  }
  const double seconds = Seconds(start, Now());
  std::printf("HttpRequest: %.2f ms mean over %d sequential requests (%zu-byte body, %d wrong)\n",
              seconds * 1000.0 / count, count, expected, wrong);
}

}  // namespace

int main(int argc, char** argv) {
  BenchConversion();
  if (argc > 1) BenchRequests(argv[1], argc > 2 ? std::atoi(argv[2]) : 200);
  return 0;
}
