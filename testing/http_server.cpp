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

std::string Render(const Reply& reply, bool headRequest) {
  if (reply.raw) return *reply.raw;
  std::string out = "HTTP/1.1 " + std::to_string(reply.status) + " " +
                    ReasonPhrase(reply.status) + "\r\n";
  for (const auto& [name, value] : reply.headers) out += name + ": " + value + "\r\n";
  if (!FindHeader(reply.headers, "Content-Length")) {
    out += "Content-Length: " + std::to_string(reply.body.size()) + "\r\n";
  }
  if (!FindHeader(reply.headers, "Connection")) out += "Connection: close\r\n";
  out += "\r\n";
  if (!headRequest) out += reply.body;
  return out;
}

bool SendAll(SOCKET s, std::string_view data) {
  while (!data.empty()) {
    const int chunk = static_cast<int>(std::min<std::size_t>(data.size(), 1 << 16));
    const int sent = ::send(s, data.data(), chunk, 0);
    if (sent <= 0) return false;
    data.remove_prefix(static_cast<std::size_t>(sent));
  }
  return true;
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

bool HttpServer::WaitReadable(Socket s, Clock::time_point deadline) {
  while (!stopping_ && Clock::now() < deadline) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(static_cast<SOCKET>(s), &readable);
    timeval wait{0, static_cast<long>(std::chrono::microseconds(kPoll).count())};
    const int ready = ::select(0, &readable, nullptr, nullptr, &wait);
    if (ready < 0) return false;
    if (ready > 0) return true;
  }
  return false;
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
  while (WaitReadable(listener_)) {
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
  std::string data;
  char buffer[16384];
  auto receive = [&](Clock::time_point deadline = Clock::time_point::max()) {
    if (!WaitReadable(raw, deadline)) return false;
    const int n = ::recv(s.Get(), buffer, sizeof buffer, 0);
    if (n <= 0) return false;
    data.append(buffer, static_cast<std::size_t>(n));
    return true;
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
  if (!SendAll(s.Get(), Render(reply, headRequest))) return;

  ::shutdown(s.Get(), SD_SEND);
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
