// A small HTTP/1.x server for tests, listening on 127.0.0.1 at a port the
// system picks. Tests register what to answer per request target, or a
// handler, with raw control over the bytes when they need to misbehave (a
// false Content-Length, a body cut short, no answer at all) and a table of
// the ways broken and hostile servers answer (Hostile). Every request is
// logged before it is answered. Each connection carries one exchange and is
// then closed, whatever the client asked for; a client may hold several
// connections at once. The destructor stops everything, also a connection in
// the middle of a slow or endless answer: no socket or thread outlives the
// server.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace lv::testing {

using HeaderList = std::vector<std::pair<std::string, std::string>>;

// One request as it arrived.
struct ServedRequest {
  std::string method;   // "GET"
  std::string target;   // "/path?query", exactly as sent
  std::string version;  // "HTTP/1.1"
  HeaderList headers;   // in order; values without surrounding blanks
  std::string head;     // request line and header lines, raw
  std::string body;     // as many bytes as Content-Length announced

  // The first value of the header (name compared ignoring ASCII case), or "".
  std::string Header(std::string_view name) const;
  bool HasHeader(std::string_view name) const;
};

// One chunk of a chunked body, sent after waiting `delay`.
struct Chunk {
  std::string data;
  std::chrono::milliseconds delay{0};
};

// What to answer. The fields after `hang` shape how a response made from
// the fields goes out; a raw reply goes out at once.
struct Reply {
  int status = 200;
  HeaderList headers;  // sent in order
  // Content-Length is added unless headers hold one, the body is chunked or
  // it is endless.
  std::string body;
  // Sent verbatim instead of a response made from the fields above.
  std::optional<std::string> raw;
  // Waits this long before answering (cut short when the server stops).
  std::chrono::milliseconds delay{0};
  // Never answers; the connection stays open until the server stops.
  bool hang = false;

  // When not empty, the body goes out in these chunks with
  // "Transfer-Encoding: chunked" instead of `body`.
  std::vector<Chunk> chunks;
  // Whether the closing zero-size chunk follows the chunks; without it the
  // connection is closed after the last one.
  bool chunkedEnd = true;
  // When set, what follows the head goes out one byte at a time, this far
  // apart.
  std::chrono::milliseconds drip{0};
  // When set, only this many bytes of what follows the head are sent; then
  // the connection is held open, silent, until the server stops.
  std::optional<std::size_t> stallAfter;
  // No length: the body is sent again and again until the client goes away
  // or the server stops (an empty body ends at once).
  bool endless = false;
  // Says "Connection: keep-alive" (unless headers hold a Connection header),
  // then closes right after the response instead of waiting for the client
  // to close first.
  bool keepAliveThenClose = false;

  static Reply Body(std::string body, std::string contentType = "text/html",
                    int status = 200);
  static Reply Redirect(std::string location, int status = 302);
  static Reply Raw(std::string bytes);
  static Reply Hang();
  static Reply Chunked(std::vector<Chunk> chunks, bool complete = true,
                       std::string contentType = "application/octet-stream");
  static Reply Dripped(std::string body, std::chrono::milliseconds interval,
                       std::string contentType = "application/octet-stream");
  static Reply Stalled(std::string body, std::size_t sentBytes,
                       std::string contentType = "application/octet-stream");
  static Reply Endless(std::string pattern,
                       std::string contentType = "application/octet-stream");
};

// The ways a broken or hostile server answers a request for `body`.
enum class Hostile {
  ChunkedCutShort,     // chunked, the first half of the body, then closed
  LyingLength,         // Content-Length 1024 more than the body sent, then closed
  TwoLengths,          // two Content-Length headers: the body's size and one more
  NegativeLength,      // Content-Length: -1 and the body
  PartialContent,      // 206 with the first half of the body and its Content-Range
  ErrorPage,           // 200, text/html: an error page instead of the body
  RedirectLoop,        // 302 to the very target asked for, every time
  Drip,                // the body one byte every kHostileDrip
  Stall,               // the first half of the body, then silence
  NeverAnswer,         // the request is read; nothing is ever sent
  Endless,             // no length; the body again and again
  KeepAliveThenClose,  // "Connection: keep-alive" and the body, then closed
};

inline constexpr std::chrono::milliseconds kHostileDrip{20};
inline constexpr std::string_view kHostileErrorPage =
    "<html><head><title>Error</title></head><body><h1>Service unavailable</h1></body></html>";

// For naming a table row in test output.
std::string_view HostileName(Hostile kind);

// The reply of kind at `target` (a redirect loop points back to it) for a
// request whose honest answer is `body`, of two bytes or more, so that its
// halves are not empty.
Reply HostileReply(Hostile kind, const std::string& target, std::string body);

class HttpServer {
 public:
  // Called on the connection's own thread.
  using Handler = std::function<Reply(const ServedRequest&)>;

  // Listens at once; Ok() tells whether that worked.
  HttpServer();
  ~HttpServer();
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  bool Ok() const { return listening_; }
  int Port() const { return port_; }
  // "http://127.0.0.1:<port>" followed by target.
  std::string Url(std::string_view target = "/") const;

  // Answers requests whose target is exactly `target` (path and query).
  void Route(const std::string& target, Reply reply);
  void Route(const std::string& target, Handler handler);
  // Route(target, HostileReply(kind, target, body)).
  void RouteHostile(const std::string& target, Hostile kind, std::string body);
  // Answers every other request; without one they get 404.
  void SetFallback(Handler handler);

  std::vector<ServedRequest> Requests() const;
  std::size_t RequestCount() const;
  void ClearRequests();

 private:
  // A winsock SOCKET; winsock's header stays out of this one, so that it
  // can be included after <windows.h> in any configuration.
  using Socket = std::uintptr_t;
  struct Worker {
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> done;
  };

  void AcceptLoop();
  void Serve(Socket s);
  Reply Answer(const ServedRequest& request);
  using Clock = std::chrono::steady_clock;
  // Sends the reply's bytes as it asks; false when the connection broke or
  // the server stopped before the end.
  bool SendReply(Socket s, const Reply& reply, bool headRequest);
  // Sends every byte, waiting while the client's window is full; false when
  // the connection breaks or the server stops first.
  bool Send(Socket s, std::string_view data);
  // Waits until s is readable (or writable); false when the server stops or
  // the deadline passes first.
  bool WaitReady(Socket s, bool writable, Clock::time_point deadline = Clock::time_point::max());
  // Sleeps for d or until the server stops; false when it stops.
  bool Pause(std::chrono::milliseconds d);
  void ReapWorkers(bool all);

  bool winsockReady_ = false;
  bool listening_ = false;
  Socket listener_ = 0;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::thread acceptor_;
  std::list<Worker> workers_;  // touched by the accept thread only

  mutable std::mutex mutex_;  // guards everything below
  std::condition_variable stopped_;
  std::map<std::string, Handler> routes_;
  Handler fallback_;
  std::vector<ServedRequest> log_;
};

}  // namespace lv::testing
