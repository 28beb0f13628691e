// Why a listing page or an image came to nothing, precise enough for a person
// to act on: which step failed and what the other side said.
#pragma once

#include <cstdint>

#include "text/text.h"

namespace lv::crawl {

enum class FailureKind {
  kNoResponse,      // nothing came back; `code` holds the WinHttp/WinINet error
  kHttpStatus,      // an answer outside 200-299; `code` holds the status
  kNoLinks,         // a listing without a single wallpaper link
  kNoImageAddress,  // a detail page without the image's address
  kEmptyBody,       // an answer without a single byte
  kCutShort,        // fewer bytes than announced; `received` of `expected`
  kFolder,          // the save folder could not be created; `code` holds the system's error
  kFileWrite,       // the file could not be written
  kInterrupted,     // the crawl was told to stop while this was in flight
  kNotAnImage,      // the bytes are not a whole image of a known kind
  kStalled,         // nothing arrived for too long, or the transfer took too long
  kTooLarge,        // more bytes than an image or a page may have
  kUnsupported,     // an address of another scheme than http or https
  kBadLength,       // a Content-Length that is no length, or two that differ
  kRedirects,       // more redirects than are followed
};

// Which request a failure belongs to, when an image fails because of the
// detail page in front of it.
enum class FailedRequest { kListing, kDetail, kImage };

struct Failure {
  FailureKind kind = FailureKind::kNoResponse;
  FailedRequest request = FailedRequest::kImage;
  std::int64_t code = 0;
  std::int64_t received = 0;
  std::int64_t expected = -1;  // -1: the answer announced no length
};

inline Failure MakeFailure(FailureKind kind, std::int64_t code = 0) {
  Failure f;
  f.kind = kind;
  f.code = code;
  return f;
}

// One line of plain English, e.g. "HTTP 404", "no response (error 12029)",
// "cut short (got 100 of 400 bytes)", "detail page: HTTP 500".
Text Describe(const Failure& failure);

}  // namespace lv::crawl
