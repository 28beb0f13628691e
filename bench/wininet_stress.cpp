// wininet_stress URLS COUNT FOLDER [options]: COUNT image requests made the
// way the crawl makes them, to count how often WinINet under Wine fails.
//
// URLS is a request list as bench/make_site.py writes it ("page ADDRESS" or
// "image ADDRESS" a line), walked round and round in its order until COUNT
// images were requested. Pages are requested through a new WinHttp object
// each, as the crawl does between its images, unless --images-only; each
// image is written to FOLDER\<n % 100>.png. Options change how WinINet is
// called:
//   --no-cookies        INTERNET_FLAG_NO_COOKIES on HttpOpenRequest
//   --no-ui             INTERNET_FLAG_NO_UI on HttpOpenRequest
//   --http11            "HTTP/1.1" instead of "HTTP/1.0"
//   --no-accept-types   no accept-type array on HttpOpenRequest
//   --connection-close  "Connection: close" beside the Accept header
//   --keep-connection   one InternetConnect handle for the run
//   --connection-first  close the connection handle before the request's
//   --session-every N   a fresh InternetOpen session every N images
//   --thread            run the requests on a second thread, as the console
//                       program runs its crawl
// Prints "fail ..." for each failed image and page, "progress <n>" every 10
// images, and at the end
//   "stress <images> <failed images> <failed pages> <seconds>".
// Every line is flushed at once, so a run that crashes still tells how far
// it came.
#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "bench/platform_calls.h"
#include "win/com.h"

namespace lv::bench {
namespace {

constexpr int kFileNames = 100;
constexpr int kProgressEvery = 10;

struct Settings {
  std::string listPath;
  long count = 0;
  std::string folder;
  bool pages = true;
  bool thread = false;
  ImageCallOptions calls;
};

// The list, holding at least one image.
bool ReadRequests(const std::string& path, std::vector<ListedRequest>& requests) {
  if (!ReadRequestList(path, requests)) return false;
  for (const ListedRequest& r : requests) {
    if (r.image) return true;
  }
  return false;
}

bool Parse(int argc, char** argv, Settings& s) {
  if (argc < 4) return false;
  s.listPath = argv[1];
  s.count = std::strtol(argv[2], nullptr, 10);
  s.folder = argv[3];
  for (int i = 4; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--images-only") s.pages = false;
    else if (a == "--thread") s.thread = true;
    else if (a == "--no-cookies") s.calls.requestFlags |= INTERNET_FLAG_NO_COOKIES;
    else if (a == "--no-ui") s.calls.requestFlags |= INTERNET_FLAG_NO_UI;
    else if (a == "--http11") s.calls.version = "HTTP/1.1";
    else if (a == "--no-accept-types") s.calls.acceptTypes = false;
    else if (a == "--connection-close") s.calls.headers = "Accept: */*\r\nConnection: close\r\n\r\n";
    else if (a == "--keep-connection") s.calls.keepConnection = true;
    else if (a == "--connection-first") s.calls.connectionFirst = true;
    else if (a == "--session-every" && i + 1 < argc) s.calls.sessionEvery = std::atoi(argv[++i]);
    else return false;
  }
  return s.count > 0;
}

void Say(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vprintf(format, args);
  va_end(args);
  std::fflush(stdout);
}

void Stress(const Settings& s, const std::vector<ListedRequest>& requests) {
  win::ComScope com;
  PageFetcher pages;
  ImageFetcher images(s.calls);
  std::vector<char> buffer;
  long imageCount = 0, imageFailures = 0, pageFailures = 0;
  const double start = Now();
  for (std::size_t next = 0; imageCount < s.count; next = (next + 1) % requests.size()) {
    const ListedRequest& request = requests[next];
    if (!request.image) {
      if (!s.pages) continue;
      const PageFetcher::Result page = pages.Fetch(request.url);
      if (page.status != 200 || page.bytes == 0) {
        ++pageFailures;
        Say("fail page HTTP %d %zu bytes %s\n", page.status, page.bytes, request.url.c_str());
      }
      continue;
    }
    const ImageFetcher::Result image = images.Fetch(request.url, buffer);
    const std::string path = s.folder + "\\" + std::to_string(imageCount % kFileNames) + ".png";
    if (image.status != 200 || !image.complete || !WriteWholeFile(path, buffer.data(), image.bytes)) {
      ++imageFailures;
      Say("fail image %ld HTTP %d %zu/%lld bytes error %lu %s\n", imageCount, image.status, image.bytes,
          image.announced, image.error, request.url.c_str());
    }
    if (++imageCount % kProgressEvery == 0) Say("progress %ld\n", imageCount);
  }
  Say("stress %ld %ld %ld %.3f\n", imageCount, imageFailures, pageFailures, Now() - start);
}

}  // namespace
}  // namespace lv::bench

int main(int argc, char** argv) {
  lv::bench::Settings settings;
  if (!lv::bench::Parse(argc, argv, settings)) {
    std::fprintf(stderr, "usage: wininet_stress URLS COUNT FOLDER [options] (see the source for the options)\n");
    return 2;
  }
  std::vector<lv::bench::ListedRequest> requests;
  if (!lv::bench::ReadRequests(settings.listPath, requests)) {
    std::fprintf(stderr, "wininet_stress: cannot read the request list %s\n", settings.listPath.c_str());
    return 2;
  }
  ::CreateDirectoryA(settings.folder.c_str(), nullptr);
  if (settings.thread) {
    std::thread worker([&] { lv::bench::Stress(settings, requests); });
    worker.join();
  } else {
    lv::bench::Stress(settings, requests);
  }
  return 0;
}
