// The plain HTTP download that fetches images: WinINet, HTTP/1.0, its own
// user agent and accept header, separate from the page requests.
#pragma once

#include <string_view>

#include "text/text.h"

namespace lv::app {

struct ImageDownload {
  ByteSet bytes;       // every byte delivered, also when reading broke off
  int status = 0;      // HTTP status; 0 when no response was obtained
  bool complete = false;  // read to its end, and exactly Content-Length bytes when one was given
};

// Downloads one address. An empty address, or one that cannot be split into
// its parts, sends nothing and gives an empty result. The bytes are received
// into `storage`, whose contents are dropped but whose memory is kept: a
// caller that hands back the previous image's bytes spares every image after
// the first a fresh allocation of its size.
ImageDownload DownloadImage(std::string_view address, ByteSet storage = {});

// Whether a download may be saved as an image: a success status, at least one
// byte, and nothing cut short.
bool IsSavable(const ImageDownload& d);

}  // namespace lv::app
