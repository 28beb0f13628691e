// A small HTTP/1.x server for tests, listening on 127.0.0.1 at a port the
// system picks. Tests register what to answer per request target, or a
// handler, with raw control over the bytes when they need to misbehave (a
// false Content-Length, a body cut short, no answer at all). Every request is
// logged before it is answered. Each connection carries one exchange and is
// then closed, whatever the client asked for; a client may hold several
// connections at once. The destructor stops everything: no socket or thread
// outlives the server.
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

// What to answer.
struct Reply {
  int status = 200;
  HeaderList headers;  // sent in order
  std::string body;    // Content-Length is added unless headers hold one
  // Sent verbatim instead of a response made from the fields above.
  std::optional<std::string> raw;
  // Waits this long before answering (cut short when the server stops).
  std::chrono::milliseconds delay{0};
  // Never answers; the connection stays open until the server stops.
  bool hang = false;

  static Reply Body(std::string body, std::string contentType = "text/html",
                    int status = 200);
  static Reply Redirect(std::string location, int status = 302);
  static Reply Raw(std::string bytes);
  static Reply Hang();
};

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
  // Waits until s is readable; false when the server stops or the deadline
  // passes first.
  bool WaitReadable(Socket s, Clock::time_point deadline = Clock::time_point::max());
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
