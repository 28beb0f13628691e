#include <winsock2.h>
#include <ws2tcpip.h>

#include "testing/http_server.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

namespace lv::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

// A literal with its zero bytes.
template <std::size_t N>
std::string Bytes(const char (&s)[N]) {
  return std::string(s, N - 1);
}

// A bare client: sends the bytes, then reads until the server closes.
// Returns what came back, or "refused".
std::string Exchange(int port, const std::string& request) {
  SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<u_short>(port));
  std::string reply = "refused";
  if (::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
    reply.clear();
    ::send(s, request.data(), static_cast<int>(request.size()), 0);
    char buffer[4096];
    int n = 0;
    while ((n = ::recv(s, buffer, sizeof buffer, 0)) > 0) reply.append(buffer, n);
  }
  ::closesocket(s);
  return reply;
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

}  // namespace
}  // namespace lv::testing
