// crawl_floor URLS FOLDER: the least a crawl can cost under this Wine, for
// bench/crawl_bench.sh to hold the real crawl against.
//
// URLS lists the crawl's requests in the crawl's order, one a line: "page
// ADDRESS" or "image ADDRESS" (bench/make_site.py writes such a list). Each
// page is requested through a new WinHttp request object, each image through
// WinINet and written to FOLDER\<n>.png, n counting from 0: the same platform
// calls the crawl makes, with nothing of the crawl's own around them. Prints
//   "floor <seconds> <bytes written> <files written> <failed requests>"
// where the seconds run from the first request to the last file closed.
// Exit status 0 when nothing failed.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench/platform_calls.h"
#include "win/com.h"

namespace lv::bench {
namespace {

int Run(const char* listPath, const std::string& folder) {
  std::vector<ListedRequest> requests;
  if (!ReadRequestList(listPath, requests)) {
    std::fprintf(stderr, "crawl_floor: cannot read the request list %s\n", listPath);
    return 2;
  }
  ::CreateDirectoryA(folder.c_str(), nullptr);
  win::ComScope com;
  PageFetcher pages;
  ImageFetcher images;
  std::vector<char> buffer;
  unsigned long long written = 0;
  int imageCount = 0;
  int files = 0;
  int failed = 0;

  const double start = Now();
  for (const ListedRequest& request : requests) {
    if (!request.image) {
      const PageFetcher::Result page = pages.Fetch(request.url);
      if (page.status != 200 || page.bytes == 0) {
        ++failed;
        std::fprintf(stderr, "page failed: HTTP %d, %zu bytes: %s\n", page.status, page.bytes, request.url.c_str());
      }
      continue;
    }
    const ImageFetcher::Result image = images.Fetch(request.url, buffer);
    const std::string path = folder + "\\" + std::to_string(imageCount++) + ".png";
    if (image.status != 200 || !image.complete || !WriteWholeFile(path, buffer.data(), image.bytes)) {
      ++failed;
      std::fprintf(stderr, "image failed: HTTP %d, %zu of %lld bytes, error %lu: %s\n", image.status, image.bytes,
                   image.announced, image.error, request.url.c_str());
    } else {
      written += image.bytes;
      ++files;
    }
  }
  const double seconds = Now() - start;
  std::printf("floor %.3f %llu %d %d\n", seconds, written, files, failed);
  return failed == 0 ? 0 : 1;
}

}  // namespace
}  // namespace lv::bench

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: crawl_floor URLS FOLDER\n");
    return 2;
  }
  return lv::bench::Run(argv[1], argv[2]);
}
