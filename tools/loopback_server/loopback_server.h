// A small HTTP/1.1 server on 127.0.0.1 for the tests and the sample group site.
//
// It records every request it receives byte for byte and answers each one
// from a handler that returns a description of the answer: any status line
// and header lines, a body sent plainly or chunked, delays, a connection
// closed early, a body that never ends, or raw bytes sent as they are.
//
// Each connection is served on its own thread, so the handler may run on
// several threads at once and must return promptly (answers that wait use
// `delay` and `pause_after_head`, which stop() interrupts). Sizes, idle
// connections and the number of connections are bounded; a request that
// cannot be read gets "400 Bad Request" and the connection is closed.
// stop() ends every connection and joins every thread promptly.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vorpane {

struct LoopbackRequest {
  // Every byte of the request as it came: request line, header lines, blank
  // line and body (chunk framing included).
  std::string raw;
  // False when the request could not be read whole: malformed, too large, or
  // the client left or fell silent part-way. `raw` then holds what came.
  bool well_formed = false;
  std::string method;
  std::string target;
  std::string version;
  std::vector<std::pair<std::string, std::string>> headers;  // in order, values trimmed
  std::string body;                                          // chunk framing removed
  int connection = 0;  // the connection it came on, counting accepted ones from 0

  // The value of the first header of that name (letter case ignored).
  std::optional<std::string> header(std::string_view name) const;
};

struct LoopbackResponse {
  std::string status_line = "HTTP/1.1 200 OK";
  std::vector<std::string> header_lines{};  // each sent followed by CR LF, in order
  std::string body{};
  // A plain body gets a Content-Length line unless a header line names one.
  bool add_content_length = true;
  // The body goes in chunks of `chunk_size` bytes with "Transfer-Encoding: chunked".
  bool chunked = false;
  size_t chunk_size = 4096;
  std::chrono::milliseconds delay{0};             // before the first byte of the answer
  std::chrono::milliseconds pause_after_head{0};  // between the header block and the body
  // After the header block, body bytes without end until the client leaves.
  bool endless_body = false;
  // The connection is closed once this many bytes of the answer are sent
  // (0: before any answer).
  std::optional<size_t> close_after{};
  bool close = false;  // the connection is closed after the answer
  // Sent exactly as it is instead of the status line, headers and body.
  std::optional<std::string> raw{};
};

struct LoopbackLimits {
  size_t max_head_bytes = 64 * 1024;              // request line and header lines
  size_t max_body_bytes = 16 * 1024 * 1024;       // a larger body gets 413 and a close
  size_t max_connections = 64;                    // further connections are closed at once
  size_t max_recorded_requests = 10000;           // the oldest records go first
  std::chrono::milliseconds idle_timeout{30000};  // a silent client is dropped
};

class LoopbackServer {
 public:
  using Handler = std::function<LoopbackResponse(const LoopbackRequest&)>;

  explicit LoopbackServer(Handler handler, LoopbackLimits limits = {});
  ~LoopbackServer();  // stops
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  // Listens on 127.0.0.1 at `port`, 0 meaning a free port that the system
  // picks. False when the port cannot be bound or the server runs already.
  bool start(uint16_t port = 0);
  // Closes every connection and joins every thread. Idempotent.
  void stop();

  uint16_t port() const;
  std::string address() const;  // "http://127.0.0.1:<port>"

  // What was recorded so far, in the order the requests were read.
  std::vector<LoopbackRequest> requests() const;
  size_t request_count() const;
  size_t connection_count() const;  // accepted so far
  // True once `count` requests are recorded; false when `timeout` passes first.
  bool wait_for_requests(size_t count, std::chrono::milliseconds timeout) const;
  void clear_requests();

  struct State;  // what the server runs on; defined with the code

 private:
  std::unique_ptr<State> state_;
};

}  // namespace vorpane
