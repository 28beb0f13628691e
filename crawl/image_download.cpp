#include "crawl/image_download.h"

#include "win/handle.h"

#include <cstdlib>
#include <utility>

namespace lv::crawl {
namespace {

constexpr char kUserAgent[] = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";
constexpr DWORD kReadFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE;  // 0x84000000
constexpr DWORD kMaxReadSize = 102400;
constexpr DWORD kDefaultReadSize = 10240;
constexpr long long kMaxReserve = 256LL * 1024 * 1024;

// One internet handle serves every download for the rest of the process.
// It is deliberately never closed: it must outlive every download, and
// closing it while the process ends buys nothing. A failed open is not
// remembered, so one bad moment does not fail every later image; downloads
// run on one thread at a time, so the plain static needs no lock.
HINTERNET Session(unsigned long& error) {
  static HINTERNET session = nullptr;
  if (!session) {
    session = ::InternetOpenA(kUserAgent, INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    if (!session) error = ::GetLastError();
  }
  return session;
}

struct AddressParts {
  bool secure = false;
  Text host;
  INTERNET_PORT port = 0;
  Text user;
  Text password;
  Text pathWithQuery;
};

// Splits the address without decoding or escaping anything.
bool SplitAddress(const Text& address, AddressParts& parts) {
  URL_COMPONENTSA c{};
  c.dwStructSize = sizeof(c);
  c.dwSchemeLength = 1;
  c.dwHostNameLength = 1;
  c.dwUserNameLength = 1;
  c.dwPasswordLength = 1;
  c.dwUrlPathLength = 1;
  c.dwExtraInfoLength = 1;
  if (!::InternetCrackUrlA(address.c_str(), static_cast<DWORD>(address.size()), 0, &c)) return false;
  auto piece = [](const char* p, DWORD n) { return p ? Text(p, n) : Text(); };
  parts.secure = c.nScheme == INTERNET_SCHEME_HTTPS;
  parts.host = piece(c.lpszHostName, c.dwHostNameLength);
  parts.port = c.nPort;
  parts.user = piece(c.lpszUserName, c.dwUserNameLength);
  parts.password = piece(c.lpszPassword, c.dwPasswordLength);
  parts.pathWithQuery = piece(c.lpszUrlPath, c.dwUrlPathLength) + piece(c.lpszExtraInfo, c.dwExtraInfoLength);
  return !parts.host.empty();
}

// The Content-Length header, or -1 when there is none.
long long ContentLength(HINTERNET request) {
  char buffer[32] = {};
  DWORD size = sizeof(buffer);
  if (!::HttpQueryInfoA(request, HTTP_QUERY_CONTENT_LENGTH, buffer, &size, nullptr)) return -1;
  return std::strtoll(buffer, nullptr, 10);
}

int StatusCode(HINTERNET request) {
  DWORD status = 0;
  DWORD size = sizeof(status);
  if (!::HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr)) {
    return 0;
  }
  return static_cast<int>(status);
}

}  // namespace

ImageDownload DownloadImage(std::string_view address, ByteSet storage, const DownloadProgress& progress) {
  ImageDownload result;
  result.bytes = std::move(storage);
  result.bytes.clear();
  if (address.empty()) return result;
  // A fragment is never sent.
  const Text cut(address.substr(0, address.find('#')));
  AddressParts parts;
  if (!SplitAddress(cut, parts)) return result;
  const HINTERNET session = Session(result.error);
  if (!session) return result;

  win::UniqueInternet connection(::InternetConnectA(
      session, parts.host.c_str(), parts.port, parts.user.empty() ? nullptr : parts.user.c_str(),
      parts.password.empty() ? nullptr : parts.password.c_str(), INTERNET_SERVICE_HTTP, 0, 0));
  if (!connection) {
    result.error = ::GetLastError();
    return result;
  }

  const char* acceptTypes[] = {"Accept: */* \r\n", nullptr};
  const DWORD flags = kReadFlags | (parts.secure ? INTERNET_FLAG_SECURE : 0);
  win::UniqueInternet request(::HttpOpenRequestA(connection.Get(), "GET", parts.pathWithQuery.c_str(),
                                                 "HTTP/1.0", nullptr, acceptTypes, flags, 0));
  if (!request) {
    result.error = ::GetLastError();
    return result;
  }

  static const char kHeaders[] = "Accept: */*\r\n\r\n";
  if (!::HttpSendRequestA(request.Get(), kHeaders, static_cast<DWORD>(sizeof(kHeaders) - 1), nullptr, 0)) {
    result.error = ::GetLastError();
    return result;
  }
  result.status = StatusCode(request.Get());

  const long long length = ContentLength(request.Get());
  result.announced = length;
  DWORD readSize = kDefaultReadSize;
  if (length > 0) readSize = static_cast<DWORD>(length + 1 > kMaxReadSize ? kMaxReadSize : length + 1);

  // Room for the whole announced body and the final empty read at once:
  // growing by doubling would copy the body and touch up to three times its
  // size in fresh pages, which under Wine costs as much as the transfer. The
  // cap keeps a lying length from reserving without bound.
  if (length > 0) {
    result.bytes.reserve(static_cast<std::size_t>(length < kMaxReserve ? length : kMaxReserve) + readSize);
  }
  bool reachedEnd = false;
  for (;;) {
    // Read straight into the tail of the buffer; vector growth keeps the
    // total cost linear in the image size.
    const std::size_t had = result.bytes.size();
    result.bytes.resize(had + readSize);
    DWORD got = 0;
    const BOOL ok = ::InternetReadFile(request.Get(), result.bytes.data() + had, readSize, &got);
    const DWORD readError = ok ? 0 : ::GetLastError();
    result.bytes.resize(had + (ok ? got : 0));
    if (!ok) {
      result.error = readError;
      break;
    }
    if (got == 0) {
      reachedEnd = true;
      break;
    }
    if (progress && !progress(static_cast<std::int64_t>(result.bytes.size()), length)) {
      result.stopped = true;
      break;
    }
  }
  result.complete = reachedEnd && (length < 0 || static_cast<long long>(result.bytes.size()) == length);
  return result;
}

bool IsSavable(const ImageDownload& d, Failure* why) {
  Failure scratch;
  Failure& f = why ? *why : scratch;
  f.request = FailedRequest::kImage;
  f.received = static_cast<std::int64_t>(d.bytes.size());
  f.expected = d.announced;
  if (d.stopped) {
    f.kind = FailureKind::kInterrupted;
  } else if (d.status == 0) {
    f.kind = FailureKind::kNoResponse;
    f.code = d.error;
  } else if (d.status < 200 || d.status > 299) {
    f.kind = FailureKind::kHttpStatus;
    f.code = d.status;
  } else if (d.bytes.empty()) {
    f.kind = FailureKind::kEmptyBody;
  } else if (!d.complete) {
    f.kind = FailureKind::kCutShort;
  } else {
    return true;
  }
  return false;
}

}  // namespace lv::crawl
