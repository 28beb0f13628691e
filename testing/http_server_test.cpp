#include <winsock2.h>
#include <ws2tcpip.h>

#include "testing/http_server.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <iterator>
#include <memory>
#include <string>
#include <thread>

namespace lv::testing {
namespace {

using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

// A literal with its zero bytes.
template <std::size_t N>
std::string Bytes(const char (&s)[N]) {
  return std::string(s, N - 1);
}

// A bare client connection. Read gives up after a quiet spell, so that a
// server that holds the connection open cannot hold the test. It keeps its
// own hold on winsock, so that it outlives a server that is destroyed.
class Client {
 public:
  explicit Client(int port) {
    WSADATA data{};
    ::WSAStartup(MAKEWORD(2, 2), &data);
    s_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<u_short>(port));
    connected_ = ::connect(s_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  }
  ~Client() {
    ::closesocket(s_);
    ::WSACleanup();
  }
  Client(const Client&) = delete;
  Client& operator=(const Client&) = delete;

  bool Connected() const { return connected_; }
  // Whether the server has closed its side (or the connection broke).
  bool Closed() const { return closed_; }
  void Send(const std::string& bytes) { ::send(s_, bytes.data(), static_cast<int>(bytes.size()), 0); }
  // What arrives until the server closes, `limit` bytes have come, or
  // nothing came for `quiet`.
  std::string Read(std::chrono::milliseconds quiet, std::size_t limit = std::string::npos) {
    std::string got;
    char buffer[16384];
    while (!closed_ && got.size() < limit) {
      fd_set readable;
      FD_ZERO(&readable);
      FD_SET(s_, &readable);
      timeval wait{static_cast<long>(quiet.count() / 1000), static_cast<long>(quiet.count() % 1000 * 1000)};
      if (::select(0, &readable, nullptr, nullptr, &wait) <= 0) break;
      const int n = ::recv(s_, buffer, sizeof buffer, 0);
      if (n <= 0) {
        closed_ = true;
      } else {
        got.append(buffer, static_cast<std::size_t>(n));
      }
    }
    return got;
  }

 private:
  SOCKET s_ = INVALID_SOCKET;
  bool connected_ = false;
  bool closed_ = false;
};

constexpr auto kUntilClosed = std::chrono::hours(1);

// Sends the bytes, then reads until the server closes. Returns what came
// back, or "refused".
std::string Exchange(int port, const std::string& request) {
  Client client(port);
  if (!client.Connected()) return "refused";
  client.Send(request);
  return client.Read(kUntilClosed);
}

class HttpServerTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(server.Ok()); }
  HttpServer server;
};

TEST_F(HttpServerTest, LogsTheRequestAndAnswersTheRoute) {
  server.Route("/a?b=1", Reply::Body("hello", "text/plain", 201));
  const std::string reply =
      Exchange(server.Port(), Bytes("POST /a?b=1 HTTP/1.1\r\nHost: x\r\nX-Two:  v w \r\n"
                                    "Content-Length: 4\r\nConnection: keep-alive\r\n\r\nb\0dy"));
  EXPECT_THAT(reply, StartsWith("HTTP/1.1 201 "));
  EXPECT_THAT(reply, HasSubstr("\r\nContent-Type: text/plain\r\n"));
  EXPECT_THAT(reply, HasSubstr("\r\nContent-Length: 5\r\n"));
  EXPECT_THAT(reply, HasSubstr("\r\nConnection: close\r\n"));
  EXPECT_EQ(reply.substr(reply.size() - 9), "\r\n\r\nhello");

  const std::vector<ServedRequest> seen = server.Requests();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].method, "POST");
  EXPECT_EQ(seen[0].target, "/a?b=1");
  EXPECT_EQ(seen[0].version, "HTTP/1.1");
  EXPECT_EQ(seen[0].Header("x-two"), "v w");
  EXPECT_EQ(seen[0].headers.size(), 4u);
  EXPECT_THAT(seen[0].head, StartsWith("POST /a?b=1 HTTP/1.1\r\nHost: x\r\n"));
}

TEST_F(HttpServerTest, BodyIsReadByContentLengthIncludingZeroBytes) {
  const std::string request = Bytes("PUT /u HTTP/1.0\r\nContent-Length: 5\r\n\r\na\0b\0c");
  EXPECT_THAT(Exchange(server.Port(), request), StartsWith("HTTP/1.1 404 "));
  ASSERT_EQ(server.RequestCount(), 1u);
  EXPECT_EQ(server.Requests()[0].body, Bytes("a\0b\0c"));
  EXPECT_EQ(server.Requests()[0].version, "HTTP/1.0");
}

TEST_F(HttpServerTest, RawRepliesGoOutVerbatimAndHandlersSeeTheRequest) {
  server.Route("/raw", Reply::Raw("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nshort"));
  server.SetFallback([](const ServedRequest& r) { return Reply::Body("saw " + r.target); });
  EXPECT_EQ(Exchange(server.Port(), "GET /raw HTTP/1.1\r\n\r\n"),
            "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nshort");
  EXPECT_THAT(Exchange(server.Port(), "GET /other HTTP/1.1\r\n\r\n"), HasSubstr("\r\n\r\nsaw /other"));
}

TEST_F(HttpServerTest, HeadGetsHeadersOnly) {
  server.Route("/h", Reply::Body("body"));
  const std::string reply = Exchange(server.Port(), "HEAD /h HTTP/1.1\r\n\r\n");
  EXPECT_THAT(reply, HasSubstr("Content-Length: 4\r\n"));
  EXPECT_EQ(reply.substr(reply.size() - 4), "\r\n\r\n");
}

// Stopping cuts a connection that is never answered (the test returning
// inside CTest's time limit shows that) and closes the port.
TEST(HttpServer, StopsWhileAConnectionHangs) {
  auto server = std::make_unique<HttpServer>();
  ASSERT_TRUE(server->Ok());
  server->Route("/wait", Reply::Hang());
  const int port = server->Port();
  std::string reply = "unset";
  std::thread client([&] { reply = Exchange(port, "GET /wait HTTP/1.1\r\n\r\n"); });
  while (server->RequestCount() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  server.reset();
  client.join();
  EXPECT_EQ(reply, "");
  EXPECT_EQ(Exchange(port, "GET / HTTP/1.1\r\n\r\n"), "refused");
}

const std::string kBody = "0123456789";
const std::string kGet = "GET /img HTTP/1.1\r\nHost: x\r\n\r\n";

std::string Response(const std::string& statusLine, const std::string& headers, const std::string& body) {
  return statusLine + "\r\n" + headers + "\r\n" + body;
}

// The hostile rows that end their exchange: each is sent whole, then the
// server closes the connection.
TEST_F(HttpServerTest, HostileRepliesThatEndGoOutExactly) {
  const std::string ok = "HTTP/1.1 200 OK";
  const std::string binary = "Content-Type: application/octet-stream\r\n";
  const std::string page(kHostileErrorPage);
  struct Case { Hostile kind; std::string response; };
  const Case cases[] = {
      {Hostile::ChunkedCutShort,
       Response(ok, binary + "Transfer-Encoding: chunked\r\nConnection: close\r\n", "5\r\n01234\r\n")},
      {Hostile::LyingLength, Response(ok, binary + "Content-Length: 1034\r\nConnection: close\r\n", kBody)},
      {Hostile::TwoLengths,
       Response(ok, binary + "Content-Length: 10\r\nContent-Length: 11\r\nConnection: close\r\n", kBody)},
      {Hostile::NegativeLength, Response(ok, binary + "Content-Length: -1\r\nConnection: close\r\n", kBody)},
      {Hostile::PartialContent,
       Response("HTTP/1.1 206 Partial Content",
                binary + "Content-Range: bytes 0-4/10\r\nContent-Length: 5\r\nConnection: close\r\n", "01234")},
      {Hostile::ErrorPage,
       Response(ok, "Content-Type: text/html\r\nContent-Length: " + std::to_string(page.size()) +
                        "\r\nConnection: close\r\n", page)},
      {Hostile::RedirectLoop,
       Response("HTTP/1.1 302 Found", "Location: /img\r\nContent-Length: 0\r\nConnection: close\r\n", "")},
      {Hostile::Drip, Response(ok, binary + "Content-Length: 10\r\nConnection: close\r\n", kBody)},
      {Hostile::KeepAliveThenClose,
       Response(ok, binary + "Content-Length: 10\r\nConnection: keep-alive\r\n", kBody)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(HostileName(c.kind));
    server.RouteHostile("/img", c.kind, kBody);
    Client client(server.Port());
    ASSERT_TRUE(client.Connected());
    const auto start = std::chrono::steady_clock::now();
    client.Send(kGet);
    EXPECT_EQ(client.Read(std::chrono::seconds(10)), c.response);
    EXPECT_TRUE(client.Closed());
    if (c.kind == Hostile::Drip) {
      EXPECT_GE(std::chrono::steady_clock::now() - start, kHostileDrip * kBody.size());
    }
  }
  EXPECT_EQ(server.RequestCount(), std::size(cases));
}

TEST_F(HttpServerTest, ChunksGoOutFramedWithTheirDelays) {
  const std::string letters = "abcdefghijklmnopqrstuvwxyz";
  server.Route("/c", Reply::Chunked({Chunk{"ab"}, Chunk{letters, std::chrono::milliseconds(100)}}));
  const auto start = std::chrono::steady_clock::now();
  const std::string reply = Exchange(server.Port(), "GET /c HTTP/1.1\r\n\r\n");
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
  EXPECT_THAT(reply, HasSubstr("\r\nTransfer-Encoding: chunked\r\n"));
  EXPECT_THAT(reply, Not(HasSubstr("Content-Length")));
  EXPECT_THAT(reply, EndsWith("\r\n\r\n2\r\nab\r\n1A\r\n" + letters + "\r\n0\r\n\r\n"));
}

// Stalling and never answering hold the connection open, silent, until the
// server stops.
TEST(HttpServer, SilentRepliesHoldTheConnectionUntilTheServerStops) {
  struct Case { Hostile kind; std::string beforeSilence; };
  const Case cases[] = {
      {Hostile::Stall, Response("HTTP/1.1 200 OK",
                                "Content-Type: application/octet-stream\r\nContent-Length: 10\r\n"
                                "Connection: close\r\n", "01234")},
      {Hostile::NeverAnswer, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(HostileName(c.kind));
    auto server = std::make_unique<HttpServer>();
    ASSERT_TRUE(server->Ok());
    server->RouteHostile("/img", c.kind, kBody);
    Client client(server->Port());
    client.Send(kGet);
    std::string got = client.Read(std::chrono::milliseconds(500));
    EXPECT_EQ(got, c.beforeSilence);
    EXPECT_FALSE(client.Closed());
    server.reset();
    EXPECT_EQ(client.Read(std::chrono::seconds(10)), "");
    EXPECT_TRUE(client.Closed());
  }
}

TEST_F(HttpServerTest, EndlessBodyRunsPastAnyLimitWithoutALength) {
  server.RouteHostile("/img", Hostile::Endless, kBody);
  Client client(server.Port());
  client.Send(kGet);
  const std::size_t limit = 1 << 20;
  const std::string got = client.Read(std::chrono::seconds(10), limit);
  ASSERT_GE(got.size(), limit);
  EXPECT_FALSE(client.Closed());
  const std::size_t headEnd = got.find("\r\n\r\n") + 4;
  const std::string head = got.substr(0, headEnd);
  EXPECT_THAT(head, StartsWith("HTTP/1.1 200 OK\r\n"));
  EXPECT_THAT(head, Not(HasSubstr("Content-Length")));
  EXPECT_THAT(head, Not(HasSubstr("Transfer-Encoding")));
  std::string expected;
  while (expected.size() < got.size() - headEnd) expected += kBody;
  EXPECT_EQ(got.substr(headEnd), expected.substr(0, got.size() - headEnd));
}

}  // namespace
}  // namespace lv::testing
