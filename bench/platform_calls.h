// The platform calls a crawl makes and nothing else, for the crawl floor and
// the WinINet stress loop: a page through a new WinHttp request object, an
// image through WinINet, a file through CreateFile and WriteFile. None of
// the product's own code runs here, so what these cost is the least any
// crawl can cost under the same Wine.
#pragma once

#include <windows.h>
#include <oleauto.h>
#include <wininet.h>

#include <cstddef>
#include <string>
#include <vector>

#include "win/handle.h"

namespace lv::bench {

// Requests pages with a new WinHttp.WinHttpRequest.5.1 object each: Open,
// the four headers every page request carries, Send, ResponseBody and
// Status. The members are called through IDispatch; their ids belong to the
// object's type, so they are looked up on the first object only. COM must
// be initialised on the calling thread.
class PageFetcher {
 public:
  struct Result {
    int status = 0;          // 0 when no object or no answer
    std::size_t bytes = 0;   // body size
  };
  Result Fetch(const std::string& url);

 private:
  enum Member { kOpen, kSetRequestHeader, kSend, kResponseBody, kStatus, kMemberCount };
  bool LookUpMembers(IDispatch* request);
  DISPID ids_[kMemberCount] = {};
  bool haveIds_ = false;
};

// How the image requests call WinINet. The defaults are the product's calls.
struct ImageCallOptions {
  DWORD requestFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_AUTO_REDIRECT;
  const char* version = "HTTP/1.0";
  // The accept types handed to HttpOpenRequest: the product's one entry, or
  // none at all.
  bool acceptTypes = true;
  // The header block handed to HttpSendRequest.
  std::string headers = "Accept: */*\r\nConnection: close\r\n\r\n";
  // One InternetConnect handle per host kept for the whole run instead of
  // one per image.
  bool keepConnection = false;
  // Close the connection handle before the request handle instead of after.
  bool connectionFirst = false;
  // A fresh InternetOpen session every N images; 0 keeps one for the run.
  int sessionEvery = 0;
};

// Fetches images as the crawl does: one InternetOpen session, then per image
// InternetConnect, HttpOpenRequest "GET", HttpSendRequest, the status and
// Content-Length, and InternetReadFile until it gives nothing more.
class ImageFetcher {
 public:
  struct Result {
    int status = 0;             // 0 when no answer
    long long announced = -1;   // Content-Length, -1 when none
    std::size_t bytes = 0;      // bytes received into the buffer
    DWORD error = 0;            // GetLastError of the call that failed
    bool complete = false;      // read to its end, and the announced length when there was one
  };
  explicit ImageFetcher(ImageCallOptions options = {});

  // Receives the body into buffer, which grows to the announced length (and
  // by doubling without one) and never shrinks, so a run touches fresh
  // memory only for its largest image. Reads ask for all that is still due.
  Result Fetch(const std::string& url, std::vector<char>& buffer);

 private:
  HINTERNET Session(DWORD& error);
  ImageCallOptions options_;
  win::UniqueInternet session_;
  int imagesInSession_ = 0;
  std::string keptHost_;
  INTERNET_PORT keptPort_ = 0;
  win::UniqueInternet keptConnection_;
};

// One request of a crawl, in a list as bench/make_site.py writes it: "page
// ADDRESS" or "image ADDRESS" a line.
struct ListedRequest {
  bool image = false;
  std::string url;
};

// False when the file cannot be read or a line is neither kind.
bool ReadRequestList(const std::string& path, std::vector<ListedRequest>& requests);

// Writes size bytes to a new file at path with CreateFile and WriteFile.
bool WriteWholeFile(const std::string& path, const char* data, std::size_t size);

// Seconds on the performance counter.
double Now();

}  // namespace lv::bench
