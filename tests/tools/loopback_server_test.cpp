#include "loopback_server/loopback_server.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace vorpane {
namespace {

using namespace std::chrono_literals;

// A plain socket client, to send what no HTTP library would.
class RawClient {
 public:
  explicit RawClient(uint16_t port) : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  }
  ~RawClient() { close(); }
  RawClient(const RawClient&) = delete;
  RawClient& operator=(const RawClient&) = delete;

  bool connected() const { return connected_; }

  void send(std::string_view data) {
    while (!data.empty()) {
      const ssize_t sent = ::send(fd_, data.data(), data.size(), MSG_NOSIGNAL);
      if (sent <= 0) return;
      data.remove_prefix(static_cast<size_t>(sent));
    }
  }

  // Reads until the server closes, `enough` bytes came, or `timeout` passed.
  std::string receive(std::chrono::milliseconds timeout = 5s, size_t enough = SIZE_MAX) {
    std::string received;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (received.size() < enough) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) break;
      pollfd poll_fd{fd_, POLLIN, 0};
      if (::poll(&poll_fd, 1, static_cast<int>(left.count())) <= 0) break;
      char block[65536];
      const ssize_t count = ::recv(fd_, block, sizeof block, 0);
      if (count <= 0) {
        closed_by_server_ = true;
        break;
      }
      received.append(block, static_cast<size_t>(count));
    }
    return received;
  }

  bool closed_by_server() const { return closed_by_server_; }

  void close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
  int fd_;
  bool connected_ = false;
  bool closed_by_server_ = false;
};

LoopbackResponse echo(const LoopbackRequest& request) {
  LoopbackResponse response;
  response.body = request.method + " " + request.target + " " + request.body;
  return response;
}

TEST(LoopbackServerTest, RecordsRequestsByteForByteAndAnswersInTurn) {
  LoopbackServer server(echo);
  ASSERT_TRUE(server.start());
  RawClient client(server.port());
  ASSERT_TRUE(client.connected());
  const std::string first = "POST /a?x=1 HTTP/1.1\r\nHost: h\r\nContent-Length: 3\r\n\r\nabc";
  const std::string second =
      "PUT /b HTTP/1.1\r\nTransfer-Encoding: chunked\r\nX-Y:  z \r\n\r\n"
      "2;ext=1\r\nde\r\n1\r\nf\r\n0\r\nTrailer: t\r\n\r\n";
  client.send(first + second);  // pipelined on one connection
  const std::string expected =
      "HTTP/1.1 200 OK\r\nContent-Length: 15\r\n\r\nPOST /a?x=1 abc"
      "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nPUT /b def";
  EXPECT_EQ(client.receive(5s, expected.size()), expected);

  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].raw, first);
  EXPECT_EQ(requests[1].raw, second);
  EXPECT_TRUE(requests[1].well_formed);
  EXPECT_EQ(requests[1].body, "def");
  EXPECT_EQ(requests[1].header("x-y"), "z");
  EXPECT_EQ(requests[1].connection, requests[0].connection);
}

TEST(LoopbackServerTest, RefusesWhatItCannotRead) {
  LoopbackLimits limits;
  limits.max_head_bytes = 1024;
  limits.max_body_bytes = 100;
  LoopbackServer server(echo, limits);
  ASSERT_TRUE(server.start());
  struct Case {
    const char* name;
    std::string request;
    std::string status_line;
  };
  const std::vector<Case> cases = {
      {"no version", "GET /\r\n\r\n", "HTTP/1.1 400 Bad Request"},
      {"two blanks", "GET  / HTTP/1.1\r\n\r\n", "HTTP/1.1 400 Bad Request"},
      {"unknown version", "GET / HTTP/2.0\r\n\r\n", "HTTP/1.1 400 Bad Request"},
      {"header without colon", "GET / HTTP/1.1\r\nBroken\r\n\r\n", "HTTP/1.1 400 Bad Request"},
      {"folded header", "GET / HTTP/1.1\r\nA: 1\r\n b\r\n\r\n", "HTTP/1.1 400 Bad Request"},
      {"length not a number", "POST / HTTP/1.1\r\nContent-Length: 1x\r\n\r\n",
       "HTTP/1.1 400 Bad Request"},
      {"two lengths", "POST / HTTP/1.1\r\nContent-Length: 1\r\nContent-Length: 2\r\n\r\nab",
       "HTTP/1.1 400 Bad Request"},
      {"length and chunks",
       "POST / HTTP/1.1\r\nContent-Length: 1\r\nTransfer-Encoding: chunked\r\n\r\n",
       "HTTP/1.1 400 Bad Request"},
      {"bad chunk size", "POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n",
       "HTTP/1.1 400 Bad Request"},
      {"a TLS hello", std::string("\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03", 11),
       "HTTP/1.1 400 Bad Request"},
      {"head too large", "GET / HTTP/1.1\r\nA: " + std::string(2000, 'a') + "\r\n\r\n",
       "HTTP/1.1 431 Request Header Fields Too Large"},
      {"length too large", "POST / HTTP/1.1\r\nContent-Length: 101\r\n\r\n",
       "HTTP/1.1 413 Content Too Large"},
      {"chunks too large", "POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n65\r\n",
       "HTTP/1.1 413 Content Too Large"},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    server.clear_requests();
    RawClient client(server.port());
    client.send(test.request);
    const std::string answer = client.receive();
    EXPECT_TRUE(answer.starts_with(test.status_line + "\r\n")) << answer;
    EXPECT_TRUE(client.closed_by_server());
    ASSERT_TRUE(server.wait_for_requests(1, 5s));
    EXPECT_FALSE(server.requests()[0].well_formed);
    EXPECT_EQ(server.requests()[0].raw, test.request);
  }
}

TEST(LoopbackServerTest, RecordsWhatAVanishedClientSent) {
  LoopbackServer server(echo);
  ASSERT_TRUE(server.start());
  {
    RawClient client(server.port());
    client.send("POST /gone HTTP/1.1\r\nContent-Length: 10\r\n\r\nabc");
  }
  ASSERT_TRUE(server.wait_for_requests(1, 5s));
  const LoopbackRequest request = server.requests()[0];
  EXPECT_FALSE(request.well_formed);
  EXPECT_EQ(request.raw, "POST /gone HTTP/1.1\r\nContent-Length: 10\r\n\r\nabc");
}

TEST(LoopbackServerTest, AnswersAsDescribed) {
  struct Case {
    const char* name;
    LoopbackResponse response;
    std::string expected;
    bool closes;
  };
  const std::vector<Case> cases = {
      {"plain",
       {.header_lines = {"A: 1"}, .body = "xyz"},
       "HTTP/1.1 200 OK\r\nA: 1\r\nContent-Length: 3\r\n\r\nxyz",
       false},
      {"own length kept",
       {.header_lines = {"content-length: 1"}, .body = "x"},
       "HTTP/1.1 200 OK\r\ncontent-length: 1\r\n\r\nx",
       false},
      {"chunked",
       {.body = "abcde", .chunked = true, .chunk_size = 2},
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: "
       "chunked\r\n\r\n2\r\nab\r\n2\r\ncd\r\n1\r\ne\r\n0\r\n\r\n",
       false},
      {"closed early", {.body = "abcdef", .close_after = 17}, "HTTP/1.1 200 OK\r\n", true},
      {"closed at once", {.close_after = 0}, "", true},
      {"raw", {.raw = "not http at all"}, "not http at all", false},
      {"close after",
       {.status_line = "HTTP/1.0 404 Not Found", .close = true},
       "HTTP/1.0 404 Not Found\r\nContent-Length: 0\r\n\r\n",
       true},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    LoopbackServer server([&test](const LoopbackRequest&) { return test.response; });
    ASSERT_TRUE(server.start());
    RawClient client(server.port());
    client.send("GET / HTTP/1.1\r\n\r\n");
    EXPECT_EQ(client.receive(test.closes ? 5s : 300ms), test.expected);
    EXPECT_EQ(client.closed_by_server(), test.closes);
  }
}

TEST(LoopbackServerTest, HandlerFailureIsAnInternalError) {
  LoopbackServer server([](const LoopbackRequest&) -> LoopbackResponse {
    throw std::runtime_error("handler failed");
  });
  ASSERT_TRUE(server.start());
  RawClient client(server.port());
  client.send("GET / HTTP/1.1\r\n\r\n");
  EXPECT_TRUE(client.receive().starts_with("HTTP/1.1 500 Internal Server Error\r\n"));
}

TEST(LoopbackServerTest, StopEndsEveryConnectionPromptly) {
  LoopbackServer server([](const LoopbackRequest& request) {
    if (request.target == "/slow") return LoopbackResponse{.delay = 60s};
    if (request.target == "/paused") return LoopbackResponse{.pause_after_head = 60s};
    return LoopbackResponse{.endless_body = true};
  });
  ASSERT_TRUE(server.start());
  RawClient slow(server.port());
  RawClient paused(server.port());
  RawClient endless(server.port());
  RawClient idle(server.port());
  RawClient half(server.port());
  slow.send("GET /slow HTTP/1.1\r\n\r\n");
  paused.send("GET /paused HTTP/1.1\r\n\r\n");
  endless.send("GET /endless HTTP/1.1\r\n\r\n");
  half.send("GET /half HTTP/1.1\r\nA:");
  EXPECT_GE(endless.receive(5s, 100000).size(), 100000u);  // it keeps coming
  ASSERT_TRUE(server.wait_for_requests(3, 5s));

  const auto started = std::chrono::steady_clock::now();
  server.stop();
  EXPECT_LT(std::chrono::steady_clock::now() - started, 5s);
  EXPECT_TRUE(slow.receive().empty());
  EXPECT_TRUE(slow.closed_by_server());
  server.stop();  // a second stop does nothing
}

TEST(LoopbackServerTest, BoundsConnectionsAndIdleClients) {
  LoopbackLimits limits;
  limits.max_connections = 1;
  limits.idle_timeout = 200ms;
  LoopbackServer server(echo, limits);
  ASSERT_TRUE(server.start());
  RawClient first(server.port());
  first.send("GET /1 HTTP/1.1\r\n\r\n");
  EXPECT_FALSE(first.receive(5s, 38).empty());
  RawClient second(server.port());
  second.send("GET /2 HTTP/1.1\r\n\r\n");
  EXPECT_EQ(second.receive(), "");  // turned away while the first is open
  EXPECT_TRUE(second.closed_by_server());
  first.receive(5s);  // the idle first connection is dropped
  EXPECT_TRUE(first.closed_by_server());
}

TEST(LoopbackServerTest, ListensOnAGivenPortAgainAfterStop) {
  LoopbackServer first(echo);
  ASSERT_TRUE(first.start());
  const uint16_t port = first.port();
  LoopbackServer second(echo);
  EXPECT_FALSE(second.start(port));  // taken
  {
    RawClient client(port);
    client.send("GET /x HTTP/1.1\r\nConnection: close\r\n\r\n");
    client.receive();
  }
  first.stop();
  ASSERT_TRUE(second.start(port));
  EXPECT_EQ(second.port(), port);
  EXPECT_EQ(second.address(), "http://127.0.0.1:" + std::to_string(port));
}

}  // namespace
}  // namespace vorpane
