// The plain HTTP download that fetches images: WinINet, HTTP/1.0, its own
// user agent and accept header, separate from the page requests. The body is
// handed on as it arrives, never held whole, and a download that stalls,
// loops or grows without end is abandoned.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

#include "crawl/failure.h"
#include "text/text.h"

namespace lv::crawl {

// How far the crawl lets a site go.
struct DownloadLimits {
  std::int64_t maxBytes = 256LL * 1024 * 1024;
  // A listing or detail page's body; a larger one fails as too large.
  std::int64_t maxPageBytes = 32LL * 1024 * 1024;
  // Each phase of a page request; 0 is the request routine's own (15 s).
  int pageTimeoutSeconds = 0;
  // Nothing received for this long: stalled.
  int idleSeconds = 30;
  // The whole transfer may take max(minSeconds, announced / minRate).
  int minSeconds = 120;
  std::int64_t minRate = 64 * 1024;
  int maxRedirects = 10;
};

// Where the body goes as it arrives; false stops the download.
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  virtual bool Write(const std::uint8_t* data, std::size_t size) = 0;
};

struct ImageDownload {
  bool ok = false;              // a success answer, read whole into the sink
  int status = 0;               // HTTP status; 0 when no response was obtained
  std::int64_t announced = -1;  // Content-Length; -1 when the answer gave none
  std::int64_t received = 0;    // bytes handed to the sink
  Failure why;                  // when !ok
};

// Told how many bytes have arrived so far and the announced length (-1 when
// unknown) after every read; returning false abandons the download.
using DownloadProgress = std::function<bool(std::int64_t received, std::int64_t announced)>;

// Reusable memory for reading: the crawl keeps one for all its images.
class ReadBuffer {
 public:
  ReadBuffer();
  std::uint8_t* Data() { return data_.get(); }
  static constexpr std::size_t kSize = 1 << 20;

 private:
  std::unique_ptr<std::uint8_t[]> data_;
};

// Downloads one address into `sink`. Only http and https addresses are
// fetched; characters outside ASCII go out percent-encoded as UTF-8, and a
// fragment is never sent. The answer is accepted only with a status of
// 200-299 other than 206, at most one valid Content-Length, and exactly that
// many bytes when one was given.
ImageDownload DownloadImage(std::string_view address, ByteSink& sink, ReadBuffer& buffer,
                            const DownloadProgress& progress = {}, const DownloadLimits& limits = {});

}  // namespace lv::crawl
