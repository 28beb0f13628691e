#include "crawl/image_download.h"

#include <windows.h>
#include <wininet.h>

#include <chrono>
#include <vector>

#include "http/address.h"
#include "com/utf8_to_gbk.h"
#include "win/handle.h"

namespace lv::crawl {
namespace {

constexpr char kUserAgent[] = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";
// Always from the server, never into the cache (0x84000000). Redirects are
// followed here rather than by WinINet, which follows a loop for ever.
constexpr DWORD kRequestFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_AUTO_REDIRECT;
// WinINet keeps no more than this much of an answer ahead of the reader; a
// full buffer means the sender outpaces us and a large read will not wait
// on a slow line.
constexpr DWORD kWinInetBuffered = 8192;

using Clock = std::chrono::steady_clock;

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

// Splits an address that is plain ASCII already; nothing is decoded.
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

int StatusCode(HINTERNET request) {
  DWORD status = 0;
  DWORD size = sizeof(status);
  if (!::HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr)) {
    return 0;
  }
  return static_cast<int>(status);
}

Text HeaderText(HINTERNET request, DWORD query) {
  DWORD size = 0;
  ::HttpQueryInfoA(request, query, nullptr, &size, nullptr);
  if (size == 0) return {};
  std::vector<char> buffer(size + 1);
  if (!::HttpQueryInfoA(request, query, buffer.data(), &size, nullptr)) return {};
  return Text(buffer.data(), size);
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The announced length: -1 for none, -2 for one that is not a length or for
// two that differ. Every Content-Length line of the raw headers counts, since
// WinINet's own query shows only the first.
std::int64_t AnnouncedLength(HINTERNET request) {
  const Text headers = HeaderText(request, HTTP_QUERY_RAW_HEADERS_CRLF);
  constexpr std::string_view kName = "content-length:";
  std::int64_t length = -1;
  for (const Text& line : Split(headers, "\r\n")) {
    if (Find(line, kName, 1, /*ignoreCase=*/true) != 1) continue;
    std::string_view value = std::string_view(line).substr(kName.size());
    while (!value.empty() && IsBlank(value.front())) value.remove_prefix(1);
    while (!value.empty() && IsBlank(value.back())) value.remove_suffix(1);
    if (value.empty() || value.size() > 18) return -2;
    std::int64_t v = 0;
    for (char c : value) {
      if (c < '0' || c > '9') return -2;
      v = v * 10 + (c - '0');
    }
    if (length >= 0 && v != length) return -2;
    length = v;
  }
  return length;
}

// Receive and send time-outs bound how long the server may keep silent:
// before the headers, and between any two pieces of the body.
void SetSilenceLimit(HINTERNET request, int seconds) {
  DWORD ms = static_cast<DWORD>(seconds) * 1000;
  ::InternetSetOptionA(request, INTERNET_OPTION_RECEIVE_TIMEOUT, &ms, sizeof ms);
  ::InternetSetOptionA(request, INTERNET_OPTION_SEND_TIMEOUT, &ms, sizeof ms);
  ::InternetSetOptionA(request, INTERNET_OPTION_CONNECT_TIMEOUT, &ms, sizeof ms);
}

bool IsTimeout(unsigned long error) { return error == ERROR_INTERNET_TIMEOUT || error == WSAETIMEDOUT; }

// One request in flight: its connection and request handles.
struct Exchange {
  win::UniqueInternet connection;
  win::UniqueInternet request;
};

// Sends the request for one address; fills `why` and returns false when no
// answer came.
bool Send(HINTERNET session, const Text& address, const DownloadLimits& limits, Exchange& exchange, Failure& why) {
  AddressParts parts;
  if (!SplitAddress(address, parts)) {
    why = MakeFailure(FailureKind::kNoResponse);
    return false;
  }
  // A request goes before the connection it was made on.
  exchange.request.Reset();
  exchange.connection.Reset(::InternetConnectA(
      session, parts.host.c_str(), parts.port, parts.user.empty() ? nullptr : parts.user.c_str(),
      parts.password.empty() ? nullptr : parts.password.c_str(), INTERNET_SERVICE_HTTP, 0, 0));
  if (!exchange.connection) {
    why = MakeFailure(FailureKind::kNoResponse, ::GetLastError());
    return false;
  }
  const char* acceptTypes[] = {"Accept: */* \r\n", nullptr};
  const DWORD flags = kRequestFlags | (parts.secure ? INTERNET_FLAG_SECURE : 0);
  exchange.request.Reset(::HttpOpenRequestA(exchange.connection.Get(), "GET", parts.pathWithQuery.c_str(),
                                            "HTTP/1.0", nullptr, acceptTypes, flags, 0));
  if (!exchange.request) {
    why = MakeFailure(FailureKind::kNoResponse, ::GetLastError());
    return false;
  }
  SetSilenceLimit(exchange.request.Get(), limits.idleSeconds);
  // "Connection: close" takes the place of the Keep-Alive WinINet would add
  // by itself. An HTTP/1.0 exchange ends with its connection either way, but
  // Wine's WinINet, keeping such connections for reuse between the page
  // requests, corrupts its heap about once in 770 images and crashes; told
  // to close, it did not in 20,000.
  static const char kHeaders[] = "Accept: */*\r\nConnection: close\r\n\r\n";
  const Clock::time_point sent = Clock::now();
  if (!::HttpSendRequestA(exchange.request.Get(), kHeaders, static_cast<DWORD>(sizeof(kHeaders) - 1), nullptr,
                          0)) {
    const unsigned long error = ::GetLastError();
    // Some WinINet builds report a server that kept silent past the limit
    // as an aborted connection rather than a time-out.
    const bool silent = IsTimeout(error) || Clock::now() - sent >= std::chrono::seconds(limits.idleSeconds);
    why = silent ? MakeFailure(FailureKind::kStalled) : MakeFailure(FailureKind::kNoResponse, error);
    return false;
  }
  return true;
}

bool IsRedirect(int status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// The Location of a redirect, made absolute against the address it answers.
Text RedirectTarget(HINTERNET request, const Text& from) {
  const Text location = HeaderText(request, HTTP_QUERY_LOCATION);
  if (location.empty()) return {};
  DWORD size = 0;
  ::InternetCombineUrlA(from.c_str(), location.c_str(), nullptr, &size, ICU_NO_ENCODE);
  if (size == 0) return {};
  std::vector<char> buffer(size + 1);
  if (!::InternetCombineUrlA(from.c_str(), location.c_str(), buffer.data(), &size, ICU_NO_ENCODE)) return {};
  return Text(buffer.data(), size);
}

// The address as it goes on the wire: the fragment cut off, and code page
// 936 text outside ASCII turned into UTF-8 percent escapes.
Text WireAddress(std::string_view address) {
  const std::string_view cut = address.substr(0, address.find('#'));
  bool ascii = true;
  for (char c : cut) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
  return PercentEncodeAddress(ascii ? Text(cut) : GbkToUtf8(cut));
}

}  // namespace

ReadBuffer::ReadBuffer() : data_(new std::uint8_t[kSize]) {}

ImageDownload DownloadImage(std::string_view address, ByteSink& sink, ReadBuffer& buffer,
                            const DownloadProgress& progress, const DownloadLimits& limits) {
  ImageDownload result;
  if (!HasWebScheme(address)) {
    result.why = MakeFailure(FailureKind::kUnsupported);
    return result;
  }
  unsigned long sessionError = 0;
  const HINTERNET session = Session(sessionError);
  if (!session) {
    result.why = MakeFailure(FailureKind::kNoResponse, sessionError);
    return result;
  }

  const Clock::time_point started = Clock::now();
  Text current = WireAddress(address);
  Exchange exchange;
  for (int redirects = 0;; ++redirects) {
    if (!Send(session, current, limits, exchange, result.why)) return result;
    result.status = StatusCode(exchange.request.Get());
    if (!IsRedirect(result.status)) break;
    const Text next = RedirectTarget(exchange.request.Get(), current);
    if (next.empty()) break;  // a redirect without a target is an answer like any other
    if (redirects == limits.maxRedirects) {
      result.why = MakeFailure(FailureKind::kRedirects);
      return result;
    }
    if (!HasWebScheme(next)) {
      result.why = MakeFailure(FailureKind::kUnsupported);
      return result;
    }
    current = next;
  }
  HINTERNET request = exchange.request.Get();

  // Anything but a whole success answer is turned down before its body is
  // read: an error page or a part of an image is never an image.
  if (result.status < 200 || result.status > 299 || result.status == 206) {
    result.why = MakeFailure(FailureKind::kHttpStatus, result.status);
    return result;
  }
  result.announced = AnnouncedLength(request);
  if (result.announced < -1) {
    result.announced = -1;
    result.why = MakeFailure(FailureKind::kBadLength);
    return result;
  }
  if (result.announced > limits.maxBytes) {
    result.why = MakeFailure(FailureKind::kTooLarge);
    return result;
  }

  // A transfer may take as long as the announced length needs at the
  // slowest acceptable rate, and never less than the floor.
  auto allowed = std::chrono::seconds(limits.minSeconds);
  if (result.announced > 0 && limits.minRate > 0) {
    allowed = std::max(allowed, std::chrono::seconds(result.announced / limits.minRate));
  }
  const Clock::time_point deadline = started + allowed;

  Failure broke;
  bool brokeOff = false;
  for (;;) {
    if (result.announced >= 0 && result.received == result.announced) break;
    // Reading in large blocks costs WinINet far fewer trips than small
    // ones; but a large read waits until it is full, so one is made only
    // while the sender fills WinINet's buffer faster than it is emptied.
    DWORD available = 0;
    if (!::InternetQueryDataAvailable(request, &available, 0, 0)) {
      brokeOff = true;
      broke = MakeFailure(IsTimeout(::GetLastError()) ? FailureKind::kStalled : FailureKind::kCutShort);
      break;
    }
    if (available == 0) break;  // the end of the body
    std::int64_t want = available >= kWinInetBuffered ? static_cast<std::int64_t>(ReadBuffer::kSize) : available;
    if (result.announced >= 0) want = std::min(want, result.announced - result.received);
    DWORD got = 0;
    const BOOL read = ::InternetReadFile(request, buffer.Data(), static_cast<DWORD>(want), &got);
    const bool timedOut = !read && IsTimeout(::GetLastError());
    if (got > 0 && !sink.Write(buffer.Data(), got)) {
      result.why = MakeFailure(FailureKind::kFileWrite);
      return result;
    }
    result.received += got;
    if (!read) {
      brokeOff = true;
      broke = MakeFailure(timedOut ? FailureKind::kStalled : FailureKind::kCutShort);
      break;
    }
    if (result.received > limits.maxBytes) {
      result.why = MakeFailure(FailureKind::kTooLarge);
      return result;
    }
    if (progress && !progress(result.received, result.announced)) {
      result.why = MakeFailure(FailureKind::kInterrupted);
      return result;
    }
    if (Clock::now() > deadline) {
      result.why = MakeFailure(FailureKind::kStalled);
      return result;
    }
  }

  if (brokeOff) {
    result.why = broke;
  } else if (result.announced >= 0 && result.received != result.announced) {
    result.why = MakeFailure(FailureKind::kCutShort);
  } else if (result.received == 0) {
    result.why = MakeFailure(FailureKind::kEmptyBody);
  } else {
    result.ok = true;
  }
  result.why.received = result.received;
  result.why.expected = result.announced;
  return result;
}

}  // namespace lv::crawl
