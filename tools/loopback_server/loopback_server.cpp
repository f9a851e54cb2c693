#include "loopback_server/loopback_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <list>
#include <mutex>
#include <system_error>
#include <thread>

namespace vorpane {
namespace {

constexpr size_t receive_block = 64 * 1024;
constexpr size_t endless_block = 16 * 1024;
constexpr size_t max_chunk_line = 1024;

char fold(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

bool equal_ignoring_case(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [](char x, char y) { return fold(x) == fold(y); });
}

std::string lower(std::string_view text) {
  std::string result(text);
  for (char& c : result)
    c = fold(c);
  return result;
}

std::string_view trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
    text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
    text.remove_suffix(1);
  return text;
}

bool is_token(std::string_view text) {
  if (text.empty()) return false;
  for (unsigned char c : text) {
    if (c <= 0x20 || c >= 0x7F) return false;
    if (std::string_view("\"(),/:;<=>?@[\\]{}").find(static_cast<char>(c)) !=
        std::string_view::npos)
      return false;
  }
  return true;
}

bool has_control_bytes(std::string_view text) {
  return std::any_of(text.begin(), text.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return (byte < 0x20 && byte != '\t') || byte == 0x7F;
  });
}

// Parses a decimal length; false for anything but digits or a value beyond `limit`.
bool parse_length(std::string_view text, size_t limit, size_t& value, bool& too_large) {
  if (text.empty()) return false;
  value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    if (value > (limit - static_cast<size_t>(c - '0')) / 10) {
      too_large = true;
      return false;
    }
    value = value * 10 + static_cast<size_t>(c - '0');
  }
  return true;
}

bool header_line_names(std::string_view line, std::string_view name) {
  const size_t colon = line.find(':');
  return colon != std::string_view::npos && equal_ignoring_case(trim(line.substr(0, colon)), name);
}

std::string chunk(std::string_view data) {
  char size[32];
  const int length = std::snprintf(size, sizeof size, "%zx\r\n", data.size());
  std::string result(size, static_cast<size_t>(length));
  result.append(data);
  result.append("\r\n");
  return result;
}

}  // namespace

std::optional<std::string> LoopbackRequest::header(std::string_view name) const {
  for (const auto& [header_name, value] : headers) {
    if (equal_ignoring_case(header_name, name)) return value;
  }
  return std::nullopt;
}

struct LoopbackServer::State {
  enum class Wait { ready, timeout, stopping };

  struct Connection {
    int fd = -1;
    int index = 0;
    std::thread thread;
    std::atomic<bool> done{false};
  };

  Handler handler;
  LoopbackLimits limits;
  int listen_fd = -1;
  int wake_fd = -1;  // an eventfd that turns readable once, when the server stops
  uint16_t port = 0;
  std::atomic<bool> stopping{false};
  std::thread acceptor;

  std::mutex connections_mutex;
  std::list<Connection> connections;
  int accepted = 0;

  mutable std::mutex records_mutex;
  mutable std::condition_variable records_changed;
  std::deque<LoopbackRequest> records;
  size_t recorded = 0;  // since the last clear, including records dropped for room

  // Waits until `fd` is ready for `events`, the time-out passes (negative:
  // none) or the server stops. Every wait of the server goes through here,
  // so stop() reaches each of them through the wake descriptor.
  Wait wait_for(int fd, short events, std::chrono::milliseconds timeout) const {
    pollfd fds[2] = {{wake_fd, POLLIN, 0}, {fd, events, 0}};
    const int count = fd < 0 ? 1 : 2;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (true) {
      if (stopping) return Wait::stopping;
      int wait_ms = -1;
      if (timeout.count() >= 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return Wait::timeout;
        wait_ms = static_cast<int>(std::min<long long>(left.count(), 1 << 30));
      }
      const int ready = ::poll(fds, static_cast<nfds_t>(count), wait_ms);
      if (ready < 0 && errno != EINTR) return Wait::stopping;
      if (fds[0].revents != 0) return Wait::stopping;
      if (count == 2 && fds[1].revents != 0) return Wait::ready;
    }
  }

  bool pause(std::chrono::milliseconds duration) const {
    return duration.count() <= 0 || wait_for(-1, 0, duration) == Wait::timeout;
  }

  bool send_all(int fd, std::string_view data) const {
    while (!data.empty()) {
      if (stopping) return false;
      const ssize_t sent = ::send(fd, data.data(), data.size(), MSG_NOSIGNAL);
      if (sent > 0) {
        data.remove_prefix(static_cast<size_t>(sent));
      } else if (sent < 0 && errno == EINTR) {
        continue;
      } else if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
        if (wait_for(fd, POLLOUT, limits.idle_timeout) != Wait::ready) return false;
      } else {
        return false;
      }
    }
    return true;
  }

  void record(const LoopbackRequest& request) {
    {
      std::lock_guard lock(records_mutex);
      records.push_back(request);
      while (records.size() > limits.max_recorded_requests)
        records.pop_front();
      ++recorded;
    }
    records_changed.notify_all();
  }

  void accept_loop();
  void serve(Connection& connection);
  bool answer(int fd, const LoopbackResponse& response);
};

namespace {

enum class ReadOutcome { request, none, incomplete, malformed, head_too_large, body_too_large };

// Reads requests off one connection. Everything taken for a request is kept
// so that its raw bytes can be recorded exactly.
class RequestReader {
 public:
  RequestReader(const LoopbackServer::State& state, int fd) : state_(state), fd_(fd) {}

  ReadOutcome read(LoopbackRequest& request) {
    drop_consumed();
    start_ = position_;
    const ReadOutcome outcome = read_request(request);
    if (outcome == ReadOutcome::request) {
      request.raw = buffer_.substr(start_, position_ - start_);
    } else {
      request.raw = buffer_.substr(start_);
      position_ = buffer_.size();
    }
    return outcome;
  }

 private:
  ReadOutcome read_request(LoopbackRequest& request) {
    size_t head_end;
    while ((head_end = buffer_.find("\r\n\r\n", start_)) == std::string::npos) {
      // Bytes that no request line holds (a TLS hello, say) are refused at
      // once rather than waited on.
      const std::string_view line(buffer_.data() + start_, buffer_.size() - start_);
      if (has_control_bytes(line.substr(0, line.find('\r')))) return ReadOutcome::malformed;
      if (line.size() > state_.limits.max_head_bytes) return ReadOutcome::head_too_large;
      if (!fill()) return line.empty() ? ReadOutcome::none : ReadOutcome::incomplete;
    }
    if (head_end - start_ > state_.limits.max_head_bytes) return ReadOutcome::head_too_large;
    const std::string_view head(buffer_.data() + start_, head_end - start_);
    position_ = head_end + 4;
    if (!parse_head(head, request)) return ReadOutcome::malformed;

    bool chunked = false;
    size_t length = 0;
    const ReadOutcome framing = body_framing(request, chunked, length);
    if (framing != ReadOutcome::request) return framing;
    if ((chunked || length > 0) && request.version == "HTTP/1.1" &&
        lower(request.header("Expect").value_or("")) == "100-continue") {
      if (!state_.send_all(fd_, "HTTP/1.1 100 Continue\r\n\r\n")) return ReadOutcome::incomplete;
    }
    if (!chunked) {
      if (!ensure(length)) return ReadOutcome::incomplete;
      request.body = buffer_.substr(position_, length);
      position_ += length;
      request.well_formed = true;
      return ReadOutcome::request;
    }
    return read_chunks(request);
  }

  static bool parse_head(std::string_view head, LoopbackRequest& request) {
    size_t line_end = head.find("\r\n");
    const std::string_view request_line = head.substr(0, line_end);
    const size_t first = request_line.find(' ');
    const size_t second = request_line.find(' ', first + 1);
    if (first == std::string_view::npos || second == std::string_view::npos ||
        request_line.find(' ', second + 1) != std::string_view::npos) {
      return false;
    }
    request.method = request_line.substr(0, first);
    request.target = request_line.substr(first + 1, second - first - 1);
    request.version = request_line.substr(second + 1);
    if (!is_token(request.method) || request.target.empty() || has_control_bytes(request.target) ||
        (request.version != "HTTP/1.1" && request.version != "HTTP/1.0")) {
      return false;
    }
    while (line_end != std::string_view::npos) {
      const size_t next = line_end + 2;
      line_end = head.find("\r\n", next);
      const std::string_view line = head.substr(next, line_end - next);
      const size_t colon = line.find(':');
      if (colon == std::string_view::npos || !is_token(line.substr(0, colon))) return false;
      const std::string_view value = trim(line.substr(colon + 1));
      if (has_control_bytes(value)) return false;
      request.headers.emplace_back(line.substr(0, colon), value);
    }
    return true;
  }

  ReadOutcome body_framing(const LoopbackRequest& request, bool& chunked, size_t& length) const {
    bool has_length = false;
    for (const auto& [name, value] : request.headers) {
      if (equal_ignoring_case(name, "Transfer-Encoding")) {
        if (lower(value) != "chunked" || chunked) return ReadOutcome::malformed;
        chunked = true;
      } else if (equal_ignoring_case(name, "Content-Length")) {
        size_t parsed = 0;
        bool too_large = false;
        if (!parse_length(value, state_.limits.max_body_bytes, parsed, too_large)) {
          return too_large ? ReadOutcome::body_too_large : ReadOutcome::malformed;
        }
        if (has_length && parsed != length) return ReadOutcome::malformed;
        has_length = true;
        length = parsed;
      }
    }
    // Both framings at once leave the body's end ambiguous.
    return chunked && has_length ? ReadOutcome::malformed : ReadOutcome::request;
  }

  ReadOutcome read_chunks(LoopbackRequest& request) {
    while (true) {
      const size_t line_end = find_line(max_chunk_line);
      if (line_end == std::string::npos) {
        return overflowed_ ? ReadOutcome::malformed : ReadOutcome::incomplete;
      }
      std::string_view size_text(buffer_.data() + position_, line_end - position_);
      size_text = trim(size_text.substr(0, size_text.find(';')));
      position_ = line_end + 2;
      size_t size = 0;
      if (size_text.empty() || size_text.size() > 15) return ReadOutcome::malformed;
      for (char c : size_text) {
        const char folded = fold(c);
        if (folded >= '0' && folded <= '9') {
          size = size * 16 + static_cast<size_t>(folded - '0');
        } else if (folded >= 'a' && folded <= 'f') {
          size = size * 16 + static_cast<size_t>(folded - 'a' + 10);
        } else {
          return ReadOutcome::malformed;
        }
      }
      if (size == 0) return read_trailers(request);
      if (size > state_.limits.max_body_bytes - request.body.size())
        return ReadOutcome::body_too_large;
      if (!ensure(size + 2)) return ReadOutcome::incomplete;
      if (buffer_.compare(position_ + size, 2, "\r\n") != 0) return ReadOutcome::malformed;
      request.body.append(buffer_, position_, size);
      position_ += size + 2;
    }
  }

  ReadOutcome read_trailers(LoopbackRequest& request) {
    size_t trailer_bytes = 0;
    while (true) {
      const size_t line_end = find_line(max_chunk_line);
      if (line_end == std::string::npos) {
        return overflowed_ ? ReadOutcome::malformed : ReadOutcome::incomplete;
      }
      const bool blank = line_end == position_;
      trailer_bytes += line_end + 2 - position_;
      position_ = line_end + 2;
      if (blank) {
        request.well_formed = true;
        return ReadOutcome::request;
      }
      if (trailer_bytes > state_.limits.max_head_bytes) return ReadOutcome::head_too_large;
    }
  }

  // The offset of the next CR LF from the read position, looking no further
  // than `limit` bytes; npos when the connection ends or the limit is passed.
  size_t find_line(size_t limit) { return find_within("\r\n", limit, position_); }

  size_t find_within(std::string_view marker, size_t limit, size_t from) {
    overflowed_ = false;
    size_t searched = from;
    while (true) {
      const size_t found = buffer_.find(marker, searched);
      if (found != std::string::npos && found - from <= limit) return found;
      if (buffer_.size() - from > limit + marker.size()) {
        overflowed_ = true;
        return std::string::npos;
      }
      searched = std::max(from, buffer_.size() - std::min(buffer_.size(), marker.size() - 1));
      if (!fill()) return std::string::npos;
    }
  }

  bool ensure(size_t count) {
    while (buffer_.size() - position_ < count) {
      if (!fill()) return false;
    }
    return true;
  }

  bool fill() {
    char block[receive_block];
    while (true) {
      if (state_.wait_for(fd_, POLLIN, state_.limits.idle_timeout) !=
          LoopbackServer::State::Wait::ready) {
        return false;
      }
      const ssize_t received = ::recv(fd_, block, sizeof block, 0);
      if (received > 0) {
        buffer_.append(block, static_cast<size_t>(received));
        return true;
      }
      if (received < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
      return false;
    }
  }

  void drop_consumed() {
    buffer_.erase(0, position_);
    position_ = 0;
  }

  const LoopbackServer::State& state_;
  int fd_;
  std::string buffer_;
  size_t start_ = 0;
  size_t position_ = 0;
  bool overflowed_ = false;
};

bool client_keeps_alive(const LoopbackRequest& request) {
  const std::string connection = lower(request.header("Connection").value_or(""));
  if (request.version == "HTTP/1.0") return connection.find("keep-alive") != std::string::npos;
  return connection.find("close") == std::string::npos;
}

LoopbackResponse refusal(std::string status_line) {
  LoopbackResponse response;
  response.status_line = std::move(status_line);
  response.header_lines = {"Connection: close"};
  response.close = true;
  return response;
}

}  // namespace

bool LoopbackServer::State::answer(int fd, const LoopbackResponse& response) {
  if (!pause(response.delay)) return false;
  std::string head;
  std::string body;
  if (response.raw) {
    head = *response.raw;
  } else {
    head = response.status_line + "\r\n";
    bool names_length = false;
    bool names_coding = false;
    for (const std::string& line : response.header_lines) {
      head += line + "\r\n";
      names_length = names_length || header_line_names(line, "Content-Length");
      names_coding = names_coding || header_line_names(line, "Transfer-Encoding");
    }
    if (response.chunked && !names_coding) {
      head += "Transfer-Encoding: chunked\r\n";
    } else if (!response.chunked && !response.endless_body && response.add_content_length &&
               !names_length) {
      head += "Content-Length: " + std::to_string(response.body.size()) + "\r\n";
    }
    head += "\r\n";
    if (response.chunked && !response.endless_body) {
      const size_t step = std::max<size_t>(response.chunk_size, 1);
      for (size_t offset = 0; offset < response.body.size(); offset += step) {
        body += chunk(std::string_view(response.body).substr(offset, step));
      }
      body += "0\r\n\r\n";
    } else if (!response.endless_body) {
      body = response.body;
    }
  }

  if (response.close_after) {
    const std::string whole = head + body;
    send_all(fd, std::string_view(whole).substr(0, std::min(*response.close_after, whole.size())));
    return false;
  }
  if (response.pause_after_head.count() > 0 && !response.raw) {
    if (!send_all(fd, head) || !pause(response.pause_after_head)) return false;
  } else {
    body.insert(0, head);
  }
  if (!send_all(fd, body)) return false;
  if (response.endless_body && !response.raw) {
    const std::string filler(endless_block, 'x');
    const std::string block = response.chunked ? chunk(filler) : filler;
    while (send_all(fd, block)) {
    }
    return false;
  }
  return true;
}

void LoopbackServer::State::serve(Connection& connection) {
  RequestReader reader(*this, connection.fd);
  while (!stopping) {
    LoopbackRequest request;
    request.connection = connection.index;
    const ReadOutcome outcome = reader.read(request);
    if (outcome == ReadOutcome::none) break;
    record(request);
    if (outcome == ReadOutcome::malformed) {
      answer(connection.fd, refusal("HTTP/1.1 400 Bad Request"));
      break;
    }
    if (outcome == ReadOutcome::head_too_large) {
      answer(connection.fd, refusal("HTTP/1.1 431 Request Header Fields Too Large"));
      break;
    }
    if (outcome == ReadOutcome::body_too_large) {
      answer(connection.fd, refusal("HTTP/1.1 413 Content Too Large"));
      break;
    }
    if (outcome != ReadOutcome::request) break;

    LoopbackResponse response;
    try {
      response = handler(request);
    } catch (...) {
      response = refusal("HTTP/1.1 500 Internal Server Error");
    }
    if (!answer(connection.fd, response) || response.close || !client_keeps_alive(request)) break;
  }
  // A half-close first lets the client read the last answer before the end.
  ::shutdown(connection.fd, SHUT_WR);
  ::close(connection.fd);
  connection.done = true;
}

void LoopbackServer::State::accept_loop() {
  while (true) {
    if (wait_for(listen_fd, POLLIN, std::chrono::milliseconds(-1)) != Wait::ready) return;
    const int fd = ::accept4(listen_fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) {
      // Out of descriptors or a connection gone before it was taken: try again shortly.
      if (errno != EINTR && errno != EAGAIN && errno != ECONNABORTED) {
        if (!pause(std::chrono::milliseconds(10))) return;
      }
      continue;
    }
    std::lock_guard lock(connections_mutex);
    for (auto it = connections.begin(); it != connections.end();) {
      if (it->done) {
        it->thread.join();
        it = connections.erase(it);
      } else {
        ++it;
      }
    }
    if (connections.size() >= limits.max_connections) {
      ::close(fd);
      continue;
    }
    // Answers go out in one write; without this the client can sit out a
    // delayed acknowledgement on each request of a kept-alive connection.
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    Connection& connection = connections.emplace_back();
    connection.fd = fd;
    connection.index = accepted++;
    try {
      connection.thread = std::thread([this, &connection] { serve(connection); });
    } catch (const std::system_error&) {
      ::close(fd);
      connections.pop_back();
    }
  }
}

LoopbackServer::LoopbackServer(Handler handler, LoopbackLimits limits)
    : state_(std::make_unique<State>()) {
  state_->handler = std::move(handler);
  state_->limits = limits;
}

LoopbackServer::~LoopbackServer() {
  stop();
}

bool LoopbackServer::start(uint16_t port) {
  State& state = *state_;
  if (state.listen_fd >= 0) return false;
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  // A given port can be bound again right after an earlier server on it stopped.
  const int on = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(fd, 128) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    ::close(fd);
    return false;
  }
  const int wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wake < 0) {
    ::close(fd);
    return false;
  }
  state.listen_fd = fd;
  state.wake_fd = wake;
  state.port = ntohs(address.sin_port);
  state.stopping = false;
  try {
    state.acceptor = std::thread([&state] { state.accept_loop(); });
  } catch (const std::system_error&) {
    ::close(fd);
    ::close(wake);
    state.listen_fd = -1;
    state.wake_fd = -1;
    return false;
  }
  return true;
}

void LoopbackServer::stop() {
  State& state = *state_;
  if (state.listen_fd < 0) return;
  state.stopping = true;
  const uint64_t one = 1;
  [[maybe_unused]] const ssize_t written = ::write(state.wake_fd, &one, sizeof one);
  state.acceptor.join();
  {
    std::lock_guard lock(state.connections_mutex);
    for (State::Connection& connection : state.connections)
      connection.thread.join();
    state.connections.clear();
  }
  ::close(state.listen_fd);
  ::close(state.wake_fd);
  state.listen_fd = -1;
  state.wake_fd = -1;
}

uint16_t LoopbackServer::port() const {
  return state_->port;
}

std::string LoopbackServer::address() const {
  return "http://127.0.0.1:" + std::to_string(state_->port);
}

std::vector<LoopbackRequest> LoopbackServer::requests() const {
  std::lock_guard lock(state_->records_mutex);
  return {state_->records.begin(), state_->records.end()};
}

size_t LoopbackServer::request_count() const {
  std::lock_guard lock(state_->records_mutex);
  return state_->recorded;
}

size_t LoopbackServer::connection_count() const {
  std::lock_guard lock(state_->connections_mutex);
  return static_cast<size_t>(state_->accepted);
}

bool LoopbackServer::wait_for_requests(size_t count, std::chrono::milliseconds timeout) const {
  std::unique_lock lock(state_->records_mutex);
  return state_->records_changed.wait_for(lock, timeout, [&] { return state_->recorded >= count; });
}

void LoopbackServer::clear_requests() {
  std::lock_guard lock(state_->records_mutex);
  state_->records.clear();
  state_->recorded = 0;
}

}  // namespace vorpane
