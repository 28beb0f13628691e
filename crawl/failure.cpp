#include "crawl/failure.h"

namespace lv::crawl {
namespace {

Text Reason(const Failure& f) {
  switch (f.kind) {
    case FailureKind::kNoResponse:
      return f.code ? "no response (error " + ToText(f.code) + ")" : "no response";
    case FailureKind::kHttpStatus:
      return "HTTP " + ToText(f.code);
    case FailureKind::kNoLinks:
      return "no wallpaper link on the listing";
    case FailureKind::kNoImageAddress:
      return "no image address on the detail page";
    case FailureKind::kEmptyBody:
      return "empty body";
    case FailureKind::kCutShort:
      return f.expected >= 0 ? "cut short (got " + ToText(f.received) + " of " +
                                   ToText(f.expected) + " bytes)"
                             : "cut short (got " + ToText(f.received) + " bytes)";
    case FailureKind::kFolder:
      return f.code ? "folder could not be created (error " + ToText(f.code) + ")" : "folder could not be created";
    case FailureKind::kFileWrite:
      return "file could not be written";
    case FailureKind::kInterrupted:
      return "interrupted";
    case FailureKind::kNotAnImage:
      return "not an image";
    case FailureKind::kStalled:
      return "stalled";
    case FailureKind::kTooLarge:
      return "too large";
    case FailureKind::kUnsupported:
      return "unsupported address";
    case FailureKind::kBadLength:
      return "bad Content-Length";
    case FailureKind::kRedirects:
      return "too many redirects";
  }
  return "failed";
}

}  // namespace

Text Describe(const Failure& failure) {
  const Text reason = Reason(failure);
  // "no image address on the detail page" names its page already.
  const bool named = failure.kind == FailureKind::kNoImageAddress;
  return failure.request == FailedRequest::kDetail && !named ? "detail page: " + reason : reason;
}

}  // namespace lv::crawl
