#include "web/fetch.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "loopback_server/loopback_server.h"
#include "web/fetch_testing.h"

namespace vorpane {
namespace {

using namespace std::chrono_literals;

const Text default_agent =
    "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1; ZK7RW; .NET CLR 2.0.50727; .NET CLR "
    "3.0.04506.648; .NET CLR 3.5.21022)";

LoopbackResponse page(std::string body, std::vector<std::string> header_lines = {}) {
  LoopbackResponse response;
  response.header_lines = std::move(header_lines);
  response.body = std::move(body);
  return response;
}

LoopbackResponse answer_with_status(std::string status_line, std::vector<std::string> header_lines,
                                    std::string body) {
  LoopbackResponse response = page(std::move(body), std::move(header_lines));
  response.status_line = std::move(status_line);
  return response;
}

// The header lines of a recorded request, in order, without the request line.
std::vector<std::string> header_lines(const LoopbackRequest& request) {
  std::vector<std::string> lines;
  for (const auto& [name, value] : request.headers)
    lines.push_back(name + ": " + value);
  return lines;
}

size_t count_lines(const LoopbackRequest& request, const std::string& name) {
  size_t count = 0;
  for (const auto& header : request.headers)
    count += header.first == name ? 1 : 0;
  return count;
}

// Every argument of the full form, each starting from a value that shows
// whether the fetcher assigned it.
struct FullCall {
  Text address{};
  int method = 1;
  Text body_text{};
  std::optional<Text> cookies{};
  Text cookies_received = "before";
  Text extra_headers{};
  Text redirect_address = "before";
  bool forbid_redirect = false;
  Bytes body_bytes{};
  std::optional<Text> proxy{};
  Text response_headers = "before";

  Text run() {
    return fetch_page(address, method, body_text, cookies, cookies_received, extra_headers,
                      redirect_address, forbid_redirect, body_bytes, proxy, response_headers);
  }
};

class FetchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    clear_cookie_store();
    ASSERT_TRUE(server_.start());
  }

  void answer(std::function<LoopbackResponse(const LoopbackRequest&)> handler) {
    std::lock_guard lock(mutex_);
    handler_ = std::move(handler);
  }

  Text address(const std::string& path = "/group/1") const { return server_.address() + path; }

  LoopbackRequest only_request() const {
    const auto requests = server_.requests();
    EXPECT_EQ(requests.size(), 1u);
    return requests.empty() ? LoopbackRequest{} : requests.front();
  }

  std::mutex mutex_;
  std::function<LoopbackResponse(const LoopbackRequest&)> handler_ = [](const LoopbackRequest&) {
    return page("page");
  };
  LoopbackServer server_{[this](const LoopbackRequest& request) {
    std::function<LoopbackResponse(const LoopbackRequest&)> handler;
    {
      std::lock_guard lock(mutex_);
      handler = handler_;
    }
    return handler(request);
  }};
};

TEST_F(FetchTest, ScanRequestGoesOnTheWireExactly) {
  const Text page_address = address("/group/12345");
  EXPECT_EQ(fetch_page(page_address, 1), "page");

  const LoopbackRequest request = only_request();
  ASSERT_TRUE(request.well_formed);
  EXPECT_EQ(request.raw.substr(0, request.raw.find("\r\n")), "POST /group/12345 HTTP/1.1");
  EXPECT_TRUE(request.raw.ends_with("\r\n\r\n"));
  EXPECT_EQ(request.body, "");

  std::vector<std::string> lines = header_lines(request);
  const std::vector<std::string> fetcher_lines = {
      "Referer: " + page_address, "Accept: */*", "Accept-Language: zh-cn",
      "Content-Type: application/x-www-form-urlencoded"};
  std::vector<std::string> in_order;
  for (const std::string& line : lines) {
    if (std::find(fetcher_lines.begin(), fetcher_lines.end(), line) != fetcher_lines.end()) {
      in_order.push_back(line);
    }
  }
  EXPECT_EQ(in_order, fetcher_lines);

  std::vector<std::string> expected = fetcher_lines;
  expected.push_back("User-Agent: " + default_agent);
  expected.push_back("Host: 127.0.0.1:" + std::to_string(server_.port()));
  expected.push_back("Content-Length: 0");
  std::sort(lines.begin(), lines.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(lines, expected);
}

TEST_F(FetchTest, FullFormReportsTheAnswer) {
  answer([](const LoopbackRequest&) {
    return page("body", {"Set-Cookie: a=1; path=/x", "Set-Cookie: b=2; path=/x", "X-Other: y"});
  });
  FullCall call{.address = address()};
  EXPECT_EQ(call.run(), "body");
  EXPECT_EQ(call.extra_headers, "Referer: " + address() +
                                    "\r\nAccept: */*\r\nAccept-Language: zh-cn\r\nContent-Type: "
                                    "application/x-www-form-urlencoded");
  EXPECT_EQ(call.cookies_received, "a=1; b=2");
  EXPECT_EQ(call.redirect_address, "");
  EXPECT_TRUE(call.response_headers.starts_with("HTTP/1.1 200 OK\r\n"));
  EXPECT_NE(call.response_headers.find("\r\nX-Other: y\r\n"), Text::npos);
  EXPECT_TRUE(call.response_headers.ends_with("\r\n\r\n"));
  EXPECT_EQ(call.cookies, std::nullopt);
}

struct ExtraHeaderCase {
  const char* name;
  Text extra_headers;
  std::vector<std::string> sent;  // lines that must go out, each exactly once
  std::vector<std::string> absent;
};

TEST_F(FetchTest, ExtraHeaderLinesAndDefaults) {
  const Text referer = "Referer: " + address();
  const std::vector<ExtraHeaderCase> cases = {
      {"accept spelled like the default",
       "Accept: text/html",
       {"Accept: text/html", referer},
       {"Accept: */*"}},
      {"accept in lower case gets the default too",
       "accept: text/html",
       {"accept: text/html", "Accept: */*"},
       {}},
      {"own user agent",
       "User-Agent: Tester/1",
       {"User-Agent: Tester/1"},
       {"User-Agent: " + default_agent}},
      {"own referer and type",
       "Referer: r\r\nContent-Type: text/plain",
       {"Referer: r", "Content-Type: text/plain"},
       {referer}},
      {"blank value still sent", "X-Blank:", {"X-Blank: "}, {}},
  };
  for (const ExtraHeaderCase& test : cases) {
    SCOPED_TRACE(test.name);
    server_.clear_requests();
    FullCall call{.address = address(), .extra_headers = test.extra_headers};
    EXPECT_EQ(call.run(), "page");
    const LoopbackRequest request = only_request();
    for (const std::string& line : test.sent) {
      const auto lines = header_lines(request);
      EXPECT_EQ(std::count(lines.begin(), lines.end(), line), 1) << line;
    }
    for (const std::string& line : test.absent) {
      const auto lines = header_lines(request);
      EXPECT_EQ(std::count(lines.begin(), lines.end(), line), 0) << line;
    }
    EXPECT_TRUE(call.extra_headers.starts_with(test.extra_headers + "\r\n"));
    EXPECT_FALSE(call.extra_headers.ends_with("\r\n"));
  }
}

TEST_F(FetchTest, AgentTextComesFromAUserAgentInsideAnotherLine) {
  // "User-Agent:" found inside another line names the agent; libcurl then
  // sends it as the User-Agent line of its own.
  FullCall call{.address = address(), .extra_headers = "X-Original-User-Agent: Inner/2"};
  call.run();
  EXPECT_EQ(only_request().header("User-Agent"), "Inner/2");
}

TEST_F(FetchTest, FailuresGiveTheEmptyText) {
  FetchLimits limits;
  limits.connect_timeout = 2s;
  limits.stall_timeout = 300ms;
  limits.max_body_bytes = 256 * 1024;
  const ScopedFetchLimits short_limits(limits);

  LoopbackServer stopped([](const LoopbackRequest&) { return page("x"); });
  ASSERT_TRUE(stopped.start());
  const Text refused_address = stopped.address() + "/group/1";
  stopped.stop();

  struct Case {
    const char* name;
    std::function<LoopbackResponse(const LoopbackRequest&)> handler;
    Text address;
    bool headers_expected;
  };
  const std::vector<Case> cases = {
      {"connection refused", nullptr, refused_address, false},
      {"closed before any answer",
       [](const LoopbackRequest&) { return LoopbackResponse{.close_after = 0}; }, address(), false},
      {"closed inside the header block",
       [](const LoopbackRequest&) { return LoopbackResponse{.body = "abc", .close_after = 20}; },
       address(), false},
      {"never answers", [](const LoopbackRequest&) { return LoopbackResponse{.delay = 60s}; },
       address(), false},
      {"falls silent after the header block",
       [](const LoopbackRequest&) {
         return LoopbackResponse{.body = "never sent", .pause_after_head = 60s};
       },
       address(), true},
      {"body without end",
       [](const LoopbackRequest&) { return LoopbackResponse{.endless_body = true}; }, address(),
       true},
      {"chunked body without end",
       [](const LoopbackRequest&) {
         return LoopbackResponse{.chunked = true, .endless_body = true};
       },
       address(), true},
      {"https to a port without TLS", nullptr,
       "https://127.0.0.1:" + std::to_string(server_.port()) + "/group/1", false},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    if (test.handler) answer(test.handler);
    const auto started = std::chrono::steady_clock::now();
    FullCall call{.address = test.address, .cookies = Text("k=1")};
    EXPECT_EQ(call.run(), "");
    EXPECT_LT(std::chrono::steady_clock::now() - started, 20s);
    // A failed send or read still runs the steps after it.
    EXPECT_EQ(call.response_headers.empty(), !test.headers_expected);
    EXPECT_EQ(call.cookies_received, "");
    EXPECT_EQ(call.redirect_address, "");
    EXPECT_EQ(call.cookies, "k=1");
    EXPECT_TRUE(call.extra_headers.starts_with("Referer: " + test.address + "\r\n"));
  }
}

TEST_F(FetchTest, RequestThatCannotBeMadeLeavesEveryArgument) {
  for (const Text& bad : {Text("http:///group/1"), Text("http://user@127.0.0.1/x"),
                          Text("http://127.0.0.1:70000/x"), Text("")}) {
    SCOPED_TRACE(bad);
    FullCall call{.address = bad, .cookies = Text("a=1; a=1")};
    call.extra_headers = "X: 1";
    EXPECT_EQ(call.run(), "");
    EXPECT_EQ(call.extra_headers, "X: 1");
    EXPECT_EQ(call.cookies, "a=1; a=1");
    EXPECT_EQ(call.cookies_received, "before");
    EXPECT_EQ(call.redirect_address, "before");
    EXPECT_EQ(call.response_headers, "before");
    EXPECT_TRUE(call.body_bytes.empty());
  }
  EXPECT_EQ(server_.request_count(), 0u);
}

// A block of exactly `size` bytes: status line, padding line, blank line.
LoopbackResponse header_block_of(size_t size) {
  const std::string status = "HTTP/1.1 200 OK\r\n";
  const std::string fixed = "Content-Length: 4\r\nLocation: http://elsewhere/\r\nX-Pad: ";
  const std::string end = "\r\n\r\n";
  LoopbackResponse response;
  response.raw = status + fixed +
                 std::string(size - status.size() - fixed.size() - end.size(), 'p') + end + "body";
  return response;
}

TEST_F(FetchTest, HeaderBlockThatLeavesNoRoomForItsTerminatorIsNotRead) {
  for (const size_t size : {4999u, 5000u, 20000u}) {
    SCOPED_TRACE(size);
    answer([size](const LoopbackRequest&) { return header_block_of(size); });
    FullCall call{.address = address(), .forbid_redirect = true};
    EXPECT_EQ(call.run(), "body");
    if (size < 5000) {
      EXPECT_EQ(call.response_headers.size(), size);
      EXPECT_EQ(call.redirect_address, "http://elsewhere/");
    } else {
      EXPECT_EQ(call.response_headers, "");
      EXPECT_EQ(call.redirect_address, "");
    }
  }
}

TEST_F(FetchTest, BodyEndsAtItsFirstNul) {
  answer([](const LoopbackRequest&) { return page(std::string("ab\0cd", 5)); });
  EXPECT_EQ(fetch_page(address(), 1), "ab");
}

TEST_F(FetchTest, Utf8PagesAreConverted) {
  const std::string chinese_utf8 = "\xE4\xB8\xAD\xE6\x96\x87";
  const std::string chinese_cp936 = "\xD6\xD0\xCE\xC4";
  auto marker_at = [](int position) { return std::string(position - 1, 'x') + "utf-8"; };
  struct Case {
    const char* name;
    std::string body;
    std::vector<std::string> headers;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"marker at byte 1", "utf-8" + chinese_utf8, {}, "utf-8" + chinese_cp936},
      {"marker at byte 499", marker_at(499) + chinese_utf8, {}, marker_at(499) + chinese_cp936},
      {"marker at byte 500", marker_at(500) + chinese_utf8, {}, marker_at(500) + chinese_utf8},
      {"marker in capitals in the body", "UTF-8" + chinese_utf8, {}, "UTF-8" + chinese_utf8},
      {"charset in capitals in a header",
       chinese_utf8,
       {"Content-Type: text/html; charset=UTF-8"},
       chinese_cp936},
      {"invalid UTF-8", "utf-8\xFF\xC3" + chinese_utf8, {}, "utf-8??" + chinese_cp936},
      {"code page 936 page",
       chinese_cp936,
       {"Content-Type: text/html; charset=gbk"},
       chinese_cp936},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    answer([&test](const LoopbackRequest&) { return page(test.body, test.headers); });
    EXPECT_EQ(fetch_page(address(), 1), test.expected);
  }
}

TEST_F(FetchTest, MovedAnswerIsFollowedWithTheOldPathAndTheFirstReferer) {
  answer([this](const LoopbackRequest& request) {
    if (request.target == "/old") {
      return answer_with_status("HTTP/1.1 301 Moved Permanently",
                                {"Location: " + server_.address() + "/new"}, "moved");
    }
    return page("arrived", {"Set-Cookie: c=3; path=/"});
  });
  FullCall call{.address = address("/old"), .forbid_redirect = true};
  EXPECT_EQ(call.run(), "arrived");
  const auto requests = server_.requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[1].method, "POST");
  EXPECT_EQ(requests[1].target, "/new/old");
  EXPECT_EQ(requests[1].header("Referer"), address("/old"));
  EXPECT_EQ(count_lines(requests[1], "Referer"), 1u);
  EXPECT_EQ(call.redirect_address, "");
  EXPECT_EQ(call.cookies_received, "c=3");
  EXPECT_TRUE(call.response_headers.starts_with("HTTP/1.1 200 OK"));
}

TEST_F(FetchTest, OnlyAnHttp11MovedStatusGetsTheFetchersFollowUp) {
  struct Case {
    std::string status_line;
    bool followed;
  };
  const std::vector<Case> cases = {{"HTTP/1.1 301 Moved Permanently", true},
                                   {"http/1.1 301 moved", true},
                                   {"HTTP/1.1 302 Moved Temporarily", false},
                                   {"HTTP/1.0 301 Moved Permanently", false},
                                   {"HTTP/1.1 301 Redirect", false}};
  for (const Case& test : cases) {
    SCOPED_TRACE(test.status_line);
    server_.clear_requests();
    answer([&](const LoopbackRequest& request) {
      if (request.target != "/old") return page("followed");
      return answer_with_status(test.status_line, {"Location: " + server_.address() + "/new"},
                                "own body");
    });
    FullCall call{.address = address("/old"), .forbid_redirect = true};
    EXPECT_EQ(call.run(), test.followed ? "followed" : "own body");
    EXPECT_EQ(server_.request_count(), test.followed ? 2u : 1u);
    if (!test.followed) {
      EXPECT_EQ(call.redirect_address, server_.address() + "/new");
    }
  }
}

TEST_F(FetchTest, MovedLoopIsBounded) {
  answer([this](const LoopbackRequest& request) {
    return answer_with_status("HTTP/1.1 301 Moved Permanently", {"Location: " + server_.address()},
                              "loop " + std::to_string(request.target.size()));
  });
  FullCall forbidden{.address = address("/a"), .forbid_redirect = true};
  // The first request and ten follow-ups; the last answer's body is the result.
  EXPECT_EQ(forbidden.run(), "loop 2");
  EXPECT_EQ(server_.request_count(), 11u);
  EXPECT_EQ(forbidden.redirect_address, server_.address());

  // libcurl follows ten redirects inside each of those requests as well.
  server_.clear_requests();
  EXPECT_EQ(fetch_page(address("/a"), 1), "");
  EXPECT_GT(server_.request_count(), 11u);
  EXPECT_LE(server_.request_count(), 121u);
}

TEST_F(FetchTest, MovedWithoutLocationReturnsItsOwnBody) {
  answer([](const LoopbackRequest&) {
    return answer_with_status("HTTP/1.1 301 Moved Permanently", {}, "nowhere");
  });
  for (const bool forbid : {true, false}) {
    SCOPED_TRACE(forbid);
    server_.clear_requests();
    FullCall call{.address = address(), .forbid_redirect = forbid};
    EXPECT_EQ(call.run(), "nowhere");
    EXPECT_EQ(call.redirect_address, "");
    EXPECT_EQ(server_.request_count(), 1u);
  }
}

TEST_F(FetchTest, ClientFollowsRedirectsAndReportsTheFinalAnswer) {
  answer([this](const LoopbackRequest& request) {
    if (request.target == "/found") {
      return answer_with_status("HTTP/1.1 302 Found", {"Location: " + server_.address() + "/final"},
                                "");
    }
    if (request.target == "/again") {
      return answer_with_status("HTTP/1.1 307 Temporary Redirect", {"Location: /found"}, "");
    }
    return page("final " + request.method);
  });
  FullCall call{.address = address("/again"), .body_text = "q=1"};
  EXPECT_EQ(call.run(), "final GET");
  EXPECT_TRUE(call.response_headers.starts_with("HTTP/1.1 200 OK\r\n"));
  EXPECT_EQ(call.response_headers.find("302"), Text::npos);
  const auto requests = server_.requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0].method, "POST");
  EXPECT_EQ(requests[1].method, "POST");  // 307 keeps the verb and the body
  EXPECT_EQ(requests[1].body, "q=1");
  EXPECT_EQ(requests[2].method, "GET");  // 302 turns POST into GET
  EXPECT_EQ(requests[2].body, "");

  server_.clear_requests();
  FullCall forbidden{.address = address("/found"), .forbid_redirect = true};
  EXPECT_EQ(forbidden.run(), "");
  EXPECT_EQ(forbidden.redirect_address, server_.address() + "/final");
  EXPECT_EQ(server_.request_count(), 1u);
}

TEST_F(FetchTest, ReceivedCookiesAndLocation) {
  struct Case {
    const char* name;
    std::vector<std::string> headers;
    Text cookies_received;
    Text redirect_address;
  };
  const std::vector<Case> cases = {
      {"none", {}, "", ""},
      {"two with attributes",
       {"Set-Cookie: a=1; path=/", "Set-Cookie: b=2; Path=/"},
       "a=1; b=2",
       ""},
      {"without attributes", {"Set-Cookie: a=1", "Set-Cookie:  b=2 "}, "a=1; b=2", ""},
      {"empty value pieces are dropped", {"Set-Cookie: ;x", "Set-Cookie: c=3;"}, "c=3", ""},
      {"content location", {"Content-Location: /elsewhere"}, "", "/elsewhere"},
      {"the last location wins", {"Location: /one", "Content-Location: /two"}, "", "/two"},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    answer([&test](const LoopbackRequest&) { return page("p", test.headers); });
    FullCall call{.address = address(), .forbid_redirect = true};
    EXPECT_EQ(call.run(), "p");
    EXPECT_EQ(call.cookies_received, test.cookies_received);
    EXPECT_EQ(call.redirect_address, test.redirect_address);
  }
}

TEST_F(FetchTest, GivenCookiesAreSentAndMerged) {
  answer([](const LoopbackRequest&) {
    return page("p", {"Set-Cookie: given_a=9; path=/", "Set-Cookie: given_b=2; path=/"});
  });
  FullCall call{.address = address(), .cookies = Text("given_a=1; given_c=3")};
  EXPECT_EQ(call.run(), "p");
  EXPECT_EQ(only_request().header("Cookie"), "given_a=1; given_c=3");
  EXPECT_EQ(count_lines(only_request(), "Cookie"), 1u);
  EXPECT_EQ(call.cookies, "given_a=9; given_b=2; given_c=3");
  EXPECT_EQ(call.cookies_received, "given_a=9;given_b=2");

  server_.clear_requests();
  FullCall empty{.address = address(), .cookies = Text("")};
  empty.run();
  EXPECT_EQ(only_request().header("Cookie"), std::nullopt);
  EXPECT_EQ(empty.extra_headers.find("Cookie"), Text::npos);
}

TEST_F(FetchTest, OwnCookieStoreServesOnlyCallsWithoutCookies) {
  answer([](const LoopbackRequest& request) {
    if (request.target == "/set") return page("set", {"Set-Cookie: store_s=1; path=/"});
    if (request.target == "/set-given") return page("set", {"Set-Cookie: store_t=2; path=/"});
    return page("read");
  });
  fetch_page(address("/set"), 1);
  fetch_page(address("/read"), 1);
  FullCall given{.address = address("/read"), .cookies = Text("")};
  given.run();
  FullCall given_sets{.address = address("/set-given"), .cookies = Text("")};
  given_sets.run();
  fetch_page(address("/read"), 1);

  const auto requests = server_.requests();
  ASSERT_EQ(requests.size(), 5u);
  auto cookie_line = [](const LoopbackRequest& request) {
    return request.header("Cookie").value_or("");
  };
  EXPECT_NE(cookie_line(requests[1]).find("store_s=1"), std::string::npos);
  EXPECT_EQ(cookie_line(requests[2]), "");
  EXPECT_NE(cookie_line(requests[4]).find("store_s=1"), std::string::npos);
  EXPECT_EQ(cookie_line(requests[4]).find("store_t"), std::string::npos);
  EXPECT_EQ(given_sets.cookies, "store_t=2");
}

TEST_F(FetchTest, AddressForms) {
  const std::string port = std::to_string(server_.port());
  struct Case {
    Text address;
    std::string target;
  };
  const std::vector<Case> cases = {
      {"127.0.0.1:" + port + "/no/scheme", "/no/scheme"},
      {"HTTP://127.0.0.1:" + port + "/Mixed/Case?x=1&Y=2", "/Mixed/Case?x=1&Y=2"},
      {"http://127.0.0.1:" + port, "/"},
      {"http://127.0.0.1:" + port + "/a/../b", "/a/../b"},
      {"http://127.0.0.1:" + port + "/with space", "/with%20space"},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.address);
    server_.clear_requests();
    EXPECT_EQ(fetch_page(test.address, 1), "page");
    const LoopbackRequest request = only_request();
    EXPECT_EQ(request.target, test.target);
    EXPECT_EQ(request.header("Host"), "127.0.0.1:" + port);
    EXPECT_EQ(request.header("Referer"), test.address);
  }
}

TEST_F(FetchTest, MethodAndBody) {
  answer([](const LoopbackRequest& request) { return page(request.method + ":" + request.body); });
  struct Case {
    const char* name;
    int method;
    Text body_text;
    Bytes body_bytes;
    Text expected;
    Bytes body_bytes_after;
  };
  const std::vector<Case> cases = {
      {"GET without body", 0, "ignored", {}, "GET:", {}},
      {"POST from text", 1, "a=1", {}, "POST:a=1", {'a', '=', '1'}},
      {"bytes go before text", 1, "a=1", {'b', '=', '2'}, "POST:b=2", {'b', '=', '2'}},
      {"GET with a body", 2, "c=3", {}, "GET:c=3", {'c', '=', '3'}},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    FullCall call{.address = address(), .method = test.method, .body_text = test.body_text};
    call.body_bytes = test.body_bytes;
    EXPECT_EQ(call.run(), test.expected);
    EXPECT_EQ(call.body_bytes, test.body_bytes_after);
  }

  // A larger body goes at once, without waiting for "100 Continue".
  server_.clear_requests();
  FullCall large{.address = address(), .body_text = std::string(100000, 'z')};
  EXPECT_EQ(large.run().size(), 5u + 100000u);
  EXPECT_EQ(only_request().header("Expect"), std::nullopt);
}

TEST_F(FetchTest, ChunkedAnswerIsJoined) {
  answer([](const LoopbackRequest&) {
    return LoopbackResponse{.body = std::string(10000, 'c'), .chunked = true, .chunk_size = 1000};
  });
  EXPECT_EQ(fetch_page(address(), 1), std::string(10000, 'c'));
}

TEST_F(FetchTest, SequentialRequestsReuseTheConnection) {
  for (int i = 0; i < 5; ++i)
    EXPECT_EQ(fetch_page(address(), 1), "page");
  EXPECT_EQ(server_.connection_count(), 1u);
}

TEST_F(FetchTest, ProxyServesHttpRequestsOnly) {
  LoopbackServer proxy([](const LoopbackRequest&) { return page("from proxy"); });
  ASSERT_TRUE(proxy.start());
  const Text proxy_address = "127.0.0.1:" + std::to_string(proxy.port());

  FullCall http{.address = address("/p"), .proxy = proxy_address};
  EXPECT_EQ(http.run(), "from proxy");
  ASSERT_EQ(proxy.request_count(), 1u);
  EXPECT_EQ(proxy.requests()[0].target, address("/p"));
  EXPECT_EQ(server_.request_count(), 0u);

  // The https request goes straight to the server, which speaks no TLS.
  FullCall https{.address = "https://127.0.0.1:" + std::to_string(server_.port()) + "/p",
                 .proxy = proxy_address};
  EXPECT_EQ(https.run(), "");
  EXPECT_EQ(proxy.request_count(), 1u);

  FullCall empty{.address = address("/p"), .proxy = Text("")};
  EXPECT_EQ(empty.run(), "page");
  EXPECT_EQ(proxy.request_count(), 1u);
}

TEST_F(FetchTest, ProxyOfTheEnvironmentIsIgnored) {
  LoopbackServer proxy([](const LoopbackRequest&) { return page("from proxy"); });
  ASSERT_TRUE(proxy.start());
  const std::string proxy_address = "http://127.0.0.1:" + std::to_string(proxy.port());
  setenv("http_proxy", proxy_address.c_str(), 1);
  setenv("HTTPS_PROXY", proxy_address.c_str(), 1);
  setenv("ALL_PROXY", proxy_address.c_str(), 1);
  EXPECT_EQ(fetch_page(address(), 1), "page");
  unsetenv("http_proxy");
  unsetenv("HTTPS_PROXY");
  unsetenv("ALL_PROXY");
  EXPECT_EQ(proxy.request_count(), 0u);
}

}  // namespace
}  // namespace vorpane
