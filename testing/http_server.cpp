#include <winsock2.h>
#include <ws2tcpip.h>

#include "testing/http_server.h"

#include <algorithm>
#include <cstdlib>

#include "win/handle.h"

namespace lv::testing {
namespace {

// Sockets are test-only; their owner lives here rather than in win/handle.h
// so that the product never depends on winsock.
struct SocketTraits {
  using Type = SOCKET;
  static Type Invalid() { return INVALID_SOCKET; }
  static void Close(Type s) { ::closesocket(s); }
};
using UniqueSocket = win::Unique<SocketTraits>;

constexpr std::size_t kMaxHead = 1 << 20;
constexpr auto kPoll = std::chrono::milliseconds(20);
// How long a closing connection waits for the client to close its side, so
// that unread request bytes do not turn the close into a reset that could
// cost the client the end of the response.
constexpr auto kLinger = std::chrono::seconds(2);

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           auto fold = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c + 32) : c; };
           return fold(x) == fold(y);
         });
}

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

const std::string* FindHeader(const HeaderList& headers, std::string_view name) {
  for (const auto& [n, v] : headers) {
    if (EqualsIgnoreCase(n, name)) return &v;
  }
  return nullptr;
}

const char* ReasonPhrase(int status) {
  switch (status) {
    case 200: return "OK";
    case 204: return "No Content";
    case 206: return "Partial Content";
    case 301: return "Moved Permanently";
    case 302: return "Found";
    case 303: return "See Other";
    case 307: return "Temporary Redirect";
    case 400: return "Bad Request";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 500: return "Internal Server Error";
    default: return "Status";
  }
}

// Splits the head into request line and headers. The head ends with its
// blank line; lines end in CR LF or a bare LF.
ServedRequest ParseHead(std::string head) {
  ServedRequest r;
  std::string_view rest = head;
  bool first = true;
  while (!rest.empty()) {
    std::size_t eol = rest.find('\n');
    std::string_view line = rest.substr(0, eol);
    rest = eol == std::string_view::npos ? std::string_view() : rest.substr(eol + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) {
      if (first) continue;  // blank lines before a request line are allowed
      break;
    }
    if (first) {
      first = false;
      std::size_t a = line.find(' ');
      std::size_t b = a == std::string_view::npos ? a : line.find(' ', a + 1);
      r.method = std::string(line.substr(0, a));
      if (a != std::string_view::npos) r.target = std::string(line.substr(a + 1, b - a - 1));
      if (b != std::string_view::npos) r.version = std::string(line.substr(b + 1));
      continue;
    }
    std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    r.headers.emplace_back(std::string(TrimBlanks(line.substr(0, colon))),
                           std::string(TrimBlanks(line.substr(colon + 1))));
  }
  r.head = std::move(head);
  return r;
}

std::size_t HeadEnd(const std::string& data) {
  std::size_t crlf = data.find("\r\n\r\n");
  std::size_t lf = data.find("\n\n");
  if (crlf != std::string::npos && (lf == std::string::npos || crlf < lf)) return crlf + 4;
  return lf == std::string::npos ? std::string::npos : lf + 2;
}

std::string Head(const Reply& reply) {
  std::string out = "HTTP/1.1 " + std::to_string(reply.status) + " " +
                    ReasonPhrase(reply.status) + "\r\n";
  for (const auto& [name, value] : reply.headers) out += name + ": " + value + "\r\n";
  if (!reply.chunks.empty()) {
    if (!FindHeader(reply.headers, "Transfer-Encoding")) out += "Transfer-Encoding: chunked\r\n";
  } else if (!reply.endless && !FindHeader(reply.headers, "Content-Length")) {
    out += "Content-Length: " + std::to_string(reply.body.size()) + "\r\n";
  }
  if (!FindHeader(reply.headers, "Connection")) {
    out += reply.keepAliveThenClose ? "Connection: keep-alive\r\n" : "Connection: close\r\n";
  }
  return out + "\r\n";
}

std::string Hex(std::size_t n) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  do {
    out.insert(out.begin(), kDigits[n % 16]);
    n /= 16;
  } while (n != 0);
  return out;
}

// A piece of a response, sent after waiting `delay`.
struct Piece {
  std::chrono::milliseconds delay{0};
  std::string bytes;
};

// What follows the head, piece by piece, as the reply asks: chunked or
// plain, cut where it stalls, dripped.
std::vector<Piece> BodyPieces(const Reply& reply) {
  std::vector<Piece> pieces;
  if (reply.chunks.empty()) {
    pieces.push_back({std::chrono::milliseconds(0), reply.body});
  } else {
    for (const Chunk& chunk : reply.chunks) {
      pieces.push_back({chunk.delay, Hex(chunk.data.size()) + "\r\n" + chunk.data + "\r\n"});
    }
    if (reply.chunkedEnd) pieces.push_back({std::chrono::milliseconds(0), "0\r\n\r\n"});
  }
  if (reply.stallAfter) {
    std::size_t left = *reply.stallAfter;
    for (Piece& piece : pieces) {
      piece.bytes.resize(std::min(piece.bytes.size(), left));
      left -= piece.bytes.size();
    }
  }
  if (reply.drip.count() > 0) {
    std::vector<Piece> bytes;
    for (const Piece& piece : pieces) {
      for (std::size_t i = 0; i < piece.bytes.size(); ++i) {
        bytes.push_back({(i == 0 ? piece.delay : std::chrono::milliseconds(0)) + reply.drip,
                         piece.bytes.substr(i, 1)});
      }
    }
    pieces = std::move(bytes);
  }
  return pieces;
}

}  // namespace

std::string ServedRequest::Header(std::string_view name) const {
  const std::string* v = FindHeader(headers, name);
  return v ? *v : std::string();
}

bool ServedRequest::HasHeader(std::string_view name) const {
  return FindHeader(headers, name) != nullptr;
}

Reply Reply::Body(std::string body, std::string contentType, int status) {
  Reply r;
  r.status = status;
  r.headers.emplace_back("Content-Type", std::move(contentType));
  r.body = std::move(body);
  return r;
}

Reply Reply::Redirect(std::string location, int status) {
  Reply r;
  r.status = status;
  r.headers.emplace_back("Location", std::move(location));
  return r;
}

Reply Reply::Raw(std::string bytes) {
  Reply r;
  r.raw = std::move(bytes);
  return r;
}

Reply Reply::Hang() {
  Reply r;
  r.hang = true;
  return r;
}

Reply Reply::Chunked(std::vector<Chunk> chunks, bool complete, std::string contentType) {
  Reply r;
  r.headers.emplace_back("Content-Type", std::move(contentType));
  r.chunks = std::move(chunks);
  r.chunkedEnd = complete;
  return r;
}

Reply Reply::Dripped(std::string body, std::chrono::milliseconds interval, std::string contentType) {
  Reply r = Body(std::move(body), std::move(contentType));
  r.drip = interval;
  return r;
}

Reply Reply::Stalled(std::string body, std::size_t sentBytes, std::string contentType) {
  Reply r = Body(std::move(body), std::move(contentType));
  r.stallAfter = sentBytes;
  return r;
}

Reply Reply::Endless(std::string pattern, std::string contentType) {
  Reply r = Body(std::move(pattern), std::move(contentType));
  r.endless = true;
  return r;
}

std::string_view HostileName(Hostile kind) {
  switch (kind) {
    case Hostile::ChunkedCutShort: return "chunked body cut short";
    case Hostile::LyingLength: return "lying Content-Length";
    case Hostile::TwoLengths: return "two Content-Length headers";
    case Hostile::NegativeLength: return "Content-Length: -1";
    case Hostile::PartialContent: return "206 Partial Content";
    case Hostile::ErrorPage: return "HTML error page";
    case Hostile::RedirectLoop: return "redirect loop";
    case Hostile::Drip: return "drip";
    case Hostile::Stall: return "stall";
    case Hostile::NeverAnswer: return "never answer";
    case Hostile::Endless: return "endless body";
    case Hostile::KeepAliveThenClose: return "keep-alive then close";
  }
  return "unknown";
}

Reply HostileReply(Hostile kind, const std::string& target, std::string body) {
  const std::string type = "application/octet-stream";
  const std::size_t size = body.size();
  const std::size_t half = size / 2;
  switch (kind) {
    case Hostile::ChunkedCutShort:
      return Reply::Chunked({Chunk{body.substr(0, half)}}, /*complete=*/false, type);
    case Hostile::LyingLength: {
      Reply r = Reply::Body(std::move(body), type);
      r.headers.emplace_back("Content-Length", std::to_string(size + 1024));
      return r;
    }
    case Hostile::TwoLengths: {
      Reply r = Reply::Body(std::move(body), type);
      r.headers.emplace_back("Content-Length", std::to_string(size));
      r.headers.emplace_back("Content-Length", std::to_string(size + 1));
      return r;
    }
    case Hostile::NegativeLength: {
      Reply r = Reply::Body(std::move(body), type);
      r.headers.emplace_back("Content-Length", "-1");
      return r;
    }
    case Hostile::PartialContent: {
      Reply r = Reply::Body(body.substr(0, half), type, 206);
      r.headers.emplace_back("Content-Range",
                             "bytes 0-" + std::to_string(half - 1) + "/" + std::to_string(size));
      return r;
    }
    case Hostile::ErrorPage:
      return Reply::Body(std::string(kHostileErrorPage), "text/html");
    case Hostile::RedirectLoop:
      return Reply::Redirect(target);
    case Hostile::Drip:
      return Reply::Dripped(std::move(body), kHostileDrip, type);
    case Hostile::Stall:
      return Reply::Stalled(std::move(body), half, type);
    case Hostile::NeverAnswer:
      return Reply::Hang();
    case Hostile::Endless:
      return Reply::Endless(std::move(body), type);
    case Hostile::KeepAliveThenClose: {
      Reply r = Reply::Body(std::move(body), type);
      r.keepAliveThenClose = true;
      return r;
    }
  }
  return Reply::Hang();
}

HttpServer::HttpServer() {
  WSADATA data{};
  winsockReady_ = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
  if (!winsockReady_) return;
  UniqueSocket listener(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
  if (!listener) return;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;  // the system picks a free port
  int size = sizeof address;
  if (::bind(listener.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listener.Get(), SOMAXCONN) != 0 ||
      ::getsockname(listener.Get(), reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    return;
  }
  port_ = ntohs(address.sin_port);
  listener_ = listener.Release();
  listening_ = true;
  acceptor_ = std::thread([this] { AcceptLoop(); });
}

HttpServer::~HttpServer() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  stopped_.notify_all();
  if (acceptor_.joinable()) acceptor_.join();
  ReapWorkers(true);
  if (listening_) ::closesocket(static_cast<SOCKET>(listener_));
  if (winsockReady_) ::WSACleanup();
}

std::string HttpServer::Url(std::string_view target) const {
  return "http://127.0.0.1:" + std::to_string(port_) + std::string(target);
}

void HttpServer::Route(const std::string& target, Reply reply) {
  Route(target, [reply](const ServedRequest&) { return reply; });
}

void HttpServer::Route(const std::string& target, Handler handler) {
  std::lock_guard<std::mutex> lock(mutex_);
  routes_[target] = std::move(handler);
}

void HttpServer::RouteHostile(const std::string& target, Hostile kind, std::string body) {
  Route(target, HostileReply(kind, target, std::move(body)));
}

void HttpServer::SetFallback(Handler handler) {
  std::lock_guard<std::mutex> lock(mutex_);
  fallback_ = std::move(handler);
}

std::vector<ServedRequest> HttpServer::Requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return log_;
}

std::size_t HttpServer::RequestCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return log_.size();
}

void HttpServer::ClearRequests() {
  std::lock_guard<std::mutex> lock(mutex_);
  log_.clear();
}

bool HttpServer::WaitReady(Socket s, bool writable, Clock::time_point deadline) {
  while (!stopping_ && Clock::now() < deadline) {
    fd_set ready;
    FD_ZERO(&ready);
    FD_SET(static_cast<SOCKET>(s), &ready);
    timeval wait{0, static_cast<long>(std::chrono::microseconds(kPoll).count())};
    const int count = writable ? ::select(0, nullptr, &ready, nullptr, &wait)
                               : ::select(0, &ready, nullptr, nullptr, &wait);
    if (count < 0) return false;
    if (count > 0) return true;
  }
  return false;
}

bool HttpServer::Send(Socket s, std::string_view data) {
  while (!data.empty()) {
    const int chunk = static_cast<int>(std::min<std::size_t>(data.size(), 1 << 16));
    const int sent = ::send(static_cast<SOCKET>(s), data.data(), chunk, 0);
    if (sent > 0) {
      data.remove_prefix(static_cast<std::size_t>(sent));
    } else if (sent == SOCKET_ERROR && ::WSAGetLastError() == WSAEWOULDBLOCK) {
      if (!WaitReady(s, /*writable=*/true)) return false;
    } else {
      return false;
    }
  }
  return true;
}

bool HttpServer::SendReply(Socket s, const Reply& reply, bool headRequest) {
  if (reply.raw) return Send(s, *reply.raw);
  if (!Send(s, Head(reply))) return false;
  if (headRequest) return true;
  for (const Piece& piece : BodyPieces(reply)) {
    if (piece.delay.count() > 0 && !Pause(piece.delay)) return false;
    if (!Send(s, piece.bytes)) return false;
  }
  if (reply.stallAfter) {
    Pause(std::chrono::hours(24));
    return false;  // only the server's end ends the silence
  }
  if (reply.endless && !reply.body.empty()) {
    // Whole repetitions in blocks of 64 KiB or more: one send per repetition
    // of a short body would make a trickle, not a flood.
    std::string block;
    while (block.size() < (1u << 16)) block += reply.body;
    while (Send(s, block)) {
    }
    return false;
  }
  return true;
}

bool HttpServer::Pause(std::chrono::milliseconds d) {
  std::unique_lock<std::mutex> lock(mutex_);
  return !stopped_.wait_for(lock, d, [this] { return stopping_.load(); });
}

void HttpServer::ReapWorkers(bool all) {
  for (auto it = workers_.begin(); it != workers_.end();) {
    if (all || *it->done) {
      it->thread.join();
      it = workers_.erase(it);
    } else {
      ++it;
    }
  }
}

void HttpServer::AcceptLoop() {
  while (WaitReady(listener_, /*writable=*/false)) {
    SOCKET s = ::accept(static_cast<SOCKET>(listener_), nullptr, nullptr);
    ReapWorkers(false);
    if (s == INVALID_SOCKET) continue;
    auto done = std::make_shared<std::atomic<bool>>(false);
    workers_.push_back(Worker{std::thread([this, s, done] {
                                Serve(s);
                                *done = true;
                              }),
                              done});
  }
}

void HttpServer::Serve(Socket raw) {
  UniqueSocket s(static_cast<SOCKET>(raw));
  // Non-blocking, so that a client that stops reading cannot hold a sending
  // thread past the server's end.
  u_long nonBlocking = 1;
  if (::ioctlsocket(s.Get(), FIONBIO, &nonBlocking) != 0) return;
  std::string data;
  char buffer[16384];
  auto receive = [&](Clock::time_point deadline = Clock::time_point::max()) {
    while (WaitReady(raw, /*writable=*/false, deadline)) {
      const int n = ::recv(s.Get(), buffer, sizeof buffer, 0);
      if (n > 0) {
        data.append(buffer, static_cast<std::size_t>(n));
        return true;
      }
      if (n == 0 || ::WSAGetLastError() != WSAEWOULDBLOCK) return false;
    }
    return false;
  };

  std::size_t headEnd = std::string::npos;
  while ((headEnd = HeadEnd(data)) == std::string::npos) {
    if (data.size() > kMaxHead || !receive()) return;
  }
  ServedRequest request = ParseHead(data.substr(0, headEnd));
  const std::size_t length =
      static_cast<std::size_t>(std::strtoull(request.Header("Content-Length").c_str(), nullptr, 10));
  while (data.size() - headEnd < length) {
    if (!receive()) break;
  }
  request.body = data.substr(headEnd, length);
  const bool headRequest = request.method == "HEAD";

  {
    std::lock_guard<std::mutex> lock(mutex_);
    log_.push_back(request);
  }
  const Reply reply = Answer(request);
  if (reply.hang) {
    Pause(std::chrono::hours(24));
    return;
  }
  if (reply.delay.count() > 0 && !Pause(reply.delay)) return;
  if (!SendReply(raw, reply, headRequest)) return;

  ::shutdown(s.Get(), SD_SEND);
  if (reply.keepAliveThenClose) return;
  const auto until = Clock::now() + kLinger;
  while (receive(until)) data.clear();
}

Reply HttpServer::Answer(const ServedRequest& request) {
  Handler handler;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto route = routes_.find(request.target);
    if (route != routes_.end()) {
      handler = route->second;
    } else {
      handler = fallback_;
    }
  }
  if (handler) return handler(request);
  return Reply::Body("not found", "text/plain", 404);
}

}  // namespace lv::testing
