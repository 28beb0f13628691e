// The plain HTTP download that fetches images: WinINet, HTTP/1.0, its own
// user agent and accept header, separate from the page requests.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

#include "crawl/failure.h"
#include "text/text.h"

namespace lv::crawl {

struct ImageDownload {
  ByteSet bytes;       // every byte delivered, also when reading broke off
  int status = 0;      // HTTP status; 0 when no response was obtained
  bool complete = false;  // read to its end, and exactly Content-Length bytes when one was given
  std::int64_t announced = -1;  // Content-Length; -1 when the answer gave none
  unsigned long error = 0;      // WinINet's error when no response came or reading broke off
  bool stopped = false;         // the progress callback asked to stop
};

// Told how many bytes have arrived so far and the announced length (-1 when
// unknown) after every read; returning false abandons the download.
using DownloadProgress = std::function<bool(std::int64_t received, std::int64_t announced)>;

// Downloads one address. An empty address, or one that cannot be split into
// its parts, sends nothing and gives an empty result. The bytes are received
// into `storage`, whose contents are dropped but whose memory is kept: a
// caller that hands back the previous image's bytes spares every image after
// the first a fresh allocation of its size.
ImageDownload DownloadImage(std::string_view address, ByteSet storage = {},
                            const DownloadProgress& progress = {});

// Whether a download may be saved as an image: a success status, at least one
// byte, and nothing cut short. When it may not, *why says why.
bool IsSavable(const ImageDownload& d, Failure* why = nullptr);

}  // namespace lv::crawl
