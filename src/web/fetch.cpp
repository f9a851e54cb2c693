#include "web/fetch.h"

#include <curl/curl.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>

#include "web/address.h"
#include "web/codepage.h"
#include "web/cookies.h"
#include "web/fetch_testing.h"

namespace vorpane {
namespace {

using Clock = std::chrono::steady_clock;

constexpr TextView default_agent =
    "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1; ZK7RW; .NET CLR 2.0.50727; .NET CLR "
    "3.0.04506.648; .NET CLR 3.5.21022)";
constexpr size_t header_block_room = 5000;  // the terminating NUL included
constexpr size_t utf8_window_last = 499;    // "utf-8" must begin at byte 1 to 499 of the body
constexpr int max_follow_ups = 10;          // nested requests after "301 Moved" answers
constexpr long max_client_redirects = 10;

FetchLimits& limits_in_force() {
  static FetchLimits limits;
  return limits;
}

// libcurl's process-wide part, set up once on first use (a function-local
// static, so thread-safe). Its share plays the client's own cookie store and
// keeps connections and DNS answers from one request to the next, as the
// client's connection pool does, while each request has its own handle. Its
// multi handle runs the transfers: curl_easy_perform would build and drop a
// multi handle of its own (with a socket pair) for every new easy handle,
// which costs as much as the rest of a loopback request.
class CurlProcess {
 public:
  static CurlProcess& instance() {
    static CurlProcess process;
    return process;
  }

  CURLSH* share() const { return share_; }

  // Runs one transfer to its end, as curl_easy_perform does.
  CURLcode perform(CURL* easy) {
    std::unique_lock busy(multi_mutex_, std::try_to_lock);
    if (multi_ == nullptr || !busy.owns_lock() || curl_multi_add_handle(multi_, easy) != CURLM_OK) {
      return curl_easy_perform(easy);  // a request on another thread holds the multi handle
    }
    CURLcode result = CURLE_RECV_ERROR;
    int running = 1;
    while (running != 0) {
      if (curl_multi_perform(multi_, &running) != CURLM_OK) break;
      if (running != 0 && curl_multi_poll(multi_, nullptr, 0, 1000, nullptr) != CURLM_OK) break;
    }
    int queued = 0;
    while (const CURLMsg* message = curl_multi_info_read(multi_, &queued)) {
      if (message->msg == CURLMSG_DONE && message->easy_handle == easy) {
        result = message->data.result;
      }
    }
    curl_multi_remove_handle(multi_, easy);
    return result;
  }

  CurlProcess(const CurlProcess&) = delete;
  CurlProcess& operator=(const CurlProcess&) = delete;

 private:
  CurlProcess() {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    multi_ = curl_multi_init();
    share_ = curl_share_init();
    if (share_ == nullptr) return;
    curl_share_setopt(share_, CURLSHOPT_LOCKFUNC, &CurlProcess::lock);
    curl_share_setopt(share_, CURLSHOPT_UNLOCKFUNC, &CurlProcess::unlock);
    curl_share_setopt(share_, CURLSHOPT_USERDATA, this);
    curl_share_setopt(share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
    curl_share_setopt(share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
    curl_share_setopt(share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_CONNECT);
  }

  ~CurlProcess() {
    if (multi_ != nullptr) curl_multi_cleanup(multi_);
    if (share_ != nullptr) curl_share_cleanup(share_);
    curl_global_cleanup();
  }

  // libcurl asks for these around every use of the shared data; requests
  // are made one at a time, but a lock keeps a second thread safe anyway.
  static void lock(CURL*, curl_lock_data data, curl_lock_access, void* self) {
    static_cast<CurlProcess*>(self)->mutexes_[static_cast<size_t>(data)].lock();
  }
  static void unlock(CURL*, curl_lock_data data, void* self) {
    static_cast<CurlProcess*>(self)->mutexes_[static_cast<size_t>(data)].unlock();
  }

  std::array<std::mutex, CURL_LOCK_DATA_LAST> mutexes_;
  CURLSH* share_ = nullptr;
  std::mutex multi_mutex_;
  CURLM* multi_ = nullptr;
};

struct EasyCleanup {
  void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct ListCleanup {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using EasyHandle = std::unique_ptr<CURL, EasyCleanup>;
using HeaderList = std::unique_ptr<curl_slist, ListCleanup>;

// What one request gathers while libcurl runs it.
struct Transfer {
  explicit Transfer(const FetchLimits& limits) : limits(limits) {}

  void note_activity() { last_activity = Clock::now(); }

  const FetchLimits& limits;
  Bytes body;
  bool body_too_long = false;
  // Time without any byte received counts only once connected: the connect
  // time-out covers the time before.
  bool connecting = true;
  bool stalled = false;
  Clock::time_point last_activity = Clock::now();
  curl_off_t downloaded = 0;
  curl_off_t uploaded = 0;
  // The header block of the latest response: a redirect or a 1xx answer
  // starts it anew, and trailer lines after a chunked body do not join it.
  std::string header_block;
  bool header_block_complete = false;
  bool header_block_too_long = false;
  bool informational = false;

  std::string final_header_block() const {
    if (!header_block_complete || header_block_too_long || informational) return {};
    return header_block;
  }
};

size_t on_body(char* data, size_t size, size_t count, void* user) {
  auto& transfer = *static_cast<Transfer*>(user);
  const size_t length = size * count;
  if (length > transfer.limits.max_body_bytes - transfer.body.size()) {
    transfer.body_too_long = true;
    return 0;  // any other count than the one given ends the transfer
  }
  if (length == 0) return 0;
  const size_t old_size = transfer.body.size();
  transfer.body.resize(old_size + length);
  std::memcpy(transfer.body.data() + old_size, data, length);
  transfer.note_activity();
  return length;
}

size_t on_header_line(char* data, size_t size, size_t count, void* user) {
  auto& transfer = *static_cast<Transfer*>(user);
  const size_t length = size * count;
  transfer.note_activity();
  std::string_view line(data, length);
  if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);

  if (line.size() >= 5 && to_lower(line.substr(0, 5)) == "http/") {
    transfer.header_block.assign(line);
    transfer.header_block += "\r\n";
    transfer.header_block_complete = false;
    transfer.header_block_too_long = transfer.header_block.size() >= header_block_room;
    const size_t blank = line.find(' ');
    transfer.informational =
        blank != std::string_view::npos && blank + 1 < line.size() && line[blank + 1] == '1';
  } else if (transfer.header_block.empty() || transfer.header_block_complete) {
    // a trailer line, or a line before any status line: not part of the block
  } else if (transfer.header_block.size() + line.size() + 2 >= header_block_room) {
    transfer.header_block_too_long = true;
    transfer.header_block_complete = line.empty();
  } else {
    transfer.header_block.append(line);
    transfer.header_block += "\r\n";
    transfer.header_block_complete = line.empty();
  }
  return length;
}

int on_progress(void* user, curl_off_t, curl_off_t downloaded, curl_off_t, curl_off_t uploaded) {
  auto& transfer = *static_cast<Transfer*>(user);
  if (downloaded != transfer.downloaded || uploaded != transfer.uploaded) {
    transfer.downloaded = downloaded;
    transfer.uploaded = uploaded;
    transfer.note_activity();
  }
  if (!transfer.connecting &&
      Clock::now() - transfer.last_activity >= transfer.limits.stall_timeout) {
    transfer.stalled = true;
    return 1;  // non-zero abandons the transfer
  }
  return 0;
}

// A socket is about to connect: a new connection, of this request or of a
// redirect it follows.
int on_socket(void* user, curl_socket_t, curlsocktype) {
  static_cast<Transfer*>(user)->connecting = true;
  return CURL_SOCKOPT_OK;
}

// Connected (or a kept connection reused) and about to send the request.
int on_connected(void* user, char*, char*, int, int) {
  auto& transfer = *static_cast<Transfer*>(user);
  transfer.connecting = false;
  transfer.note_activity();
  return CURL_PREREQFUNC_OK;
}

// Host names of letters, digits, dots, hyphens and underscores only: any
// other byte would be read as part of the address's syntax or fail to resolve.
bool usable_host(TextView host) {
  if (host.empty()) return false;
  for (char c : host) {
    const bool letter_or_digit =
        (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (!letter_or_digit && c != '.' && c != '-' && c != '_') return false;
  }
  return true;
}

// The path as it goes on the request line: bytes that cannot stand there
// (blanks, control bytes, code page 936 bytes) are percent-encoded, the rest
// is left exactly as it is.
std::string request_path(TextView path) {
  static constexpr char hex[] = "0123456789ABCDEF";
  std::string result;
  for (const char c : path) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte >= 0x7F) {
      result += '%';
      result += hex[byte >> 4];
      result += hex[byte & 0x0F];
    } else {
      result += c;
    }
  }
  return result;
}

// Whether the first "utf-8" of the body begins at byte 1 to 499. Only the
// bytes that such a marker can occupy are searched, not the whole page.
bool utf8_marker_near_start(const Bytes& page) {
  constexpr std::string_view marker = "utf-8";
  const size_t searched = std::min(page.size(), utf8_window_last + marker.size() - 1);
  const std::string_view start(reinterpret_cast<const char*>(page.data()), searched);
  return !page.empty() && start.find(marker) != std::string_view::npos;
}

bool url_accepted(const std::string& url) {
  CURLU* parsed = curl_url();
  if (parsed == nullptr) return false;
  const bool accepted = curl_url_set(parsed, CURLUPART_URL, url.c_str(), 0) == CURLUE_OK;
  curl_url_cleanup(parsed);
  return accepted;
}

// The extra header lines as libcurl takes them. A line with a blank value is
// handed over as "Name;", since libcurl reads "Name:" as "do not send Name".
// Pieces that hold a lone CR or LF are not header lines and stay back.
HeaderList header_list(TextView extra_headers) {
  HeaderList list;
  auto append = [&list](const std::string& line) {
    curl_slist* longer = curl_slist_append(list.get(), line.c_str());
    if (longer != nullptr) {
      list.release();
      list.reset(longer);
    }
  };
  for (const Text& line : split_text(extra_headers, "\r\n")) {
    if (line.empty() || line.find_first_of("\r\n") != Text::npos) continue;
    const size_t colon = line.find(':');
    if (colon != Text::npos && trim_spaces(TextView(line).substr(colon + 1)).empty()) {
      append(line.substr(0, colon) + ";");
    } else {
      append(line);
    }
  }
  // libcurl would otherwise hold back a larger body for "100 Continue".
  append("Expect:");
  return list;
}

Text fetch_page_nested(TextView address, int method, TextView body_text,
                       std::optional<Text>& cookies, Text& cookies_received, Text& extra_headers,
                       Text& redirect_address, bool forbid_redirect, Bytes& body_bytes,
                       const std::optional<Text>& proxy, Text& response_headers, int follow_ups) {
  // 1. Verb.
  const bool post = method == 1;

  // 2. Agent text.
  Text agent(default_agent);
  if (find_text(extra_headers, "User-Agent:", 0, true) != not_found) {
    agent = trim_spaces(text_between(extra_headers, "User-Agent:", "\r\n"));
    if (agent.empty()) agent = header_value(extra_headers);
  }

  Bytes page;
  {
    // 3. Session.
    CurlProcess& process = CurlProcess::instance();
    EasyHandle handle(curl_easy_init());
    if (!handle) return {};
    CURL* easy = handle.get();

    // 4. Connection: a port of 0 means the scheme's own.
    const Text host = host_of(address);
    const int32_t port = port_of(address);
    if (!usable_host(host) || port < 0 || port > 65535) return {};

    // 5. Request flags.
    const bool secure = to_lower(text_left(address, 5)) == "https";

    // 6. Request.
    std::string url = secure ? "https://" : "http://";
    url += host;
    if (port != 0) url += ":" + std::to_string(port);
    url += request_path(path_of(address));
    if (!url_accepted(url)) return {};

    // 7. Default header lines.
    if (find_text(extra_headers, "Referer:") == not_found) {
      extra_headers += extra_headers.empty() ? "Referer: " : "\r\nReferer: ";
      extra_headers += address;
    }
    if (find_text(extra_headers, "Accept:") == not_found) extra_headers += "\r\nAccept: */*";
    if (find_text(extra_headers, "Accept-Language:") == not_found) {
      extra_headers += "\r\nAccept-Language: zh-cn";
    }
    if (find_text(extra_headers, "Content-Type:") == not_found) {
      extra_headers += "\r\nContent-Type: application/x-www-form-urlencoded";
    }
    if (cookies && !cookies->empty()) extra_headers += "\r\nCookie: " + *cookies;

    const FetchLimits& limits = fetch_limits();
    Transfer transfer(limits);
    const HeaderList headers = header_list(extra_headers);
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_PATH_AS_IS, 1L);
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_USERAGENT, agent.c_str());
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers.get());
    if (process.share() != nullptr) curl_easy_setopt(easy, CURLOPT_SHARE, process.share());
    // The shared store is only read and filled with the cookie engine on;
    // with `cookies` given it stays off, so the request neither sends nor
    // keeps cookies of that store.
    if (!cookies) curl_easy_setopt(easy, CURLOPT_COOKIEFILE, "");

    // A proxy serves http requests only. Under a proxy, redirects are
    // followed only while the scheme stays, so that no https request passes
    // the http proxy and no http request passes by it.
    const bool proxied = proxy && !proxy->empty() && !secure;
    if (proxied) {
      curl_easy_setopt(easy, CURLOPT_PROXY, proxy->c_str());
      curl_easy_setopt(easy, CURLOPT_PROXYTYPE, static_cast<long>(CURLPROXY_HTTP));
      curl_easy_setopt(easy, CURLOPT_NOPROXY, "");
    } else {
      curl_easy_setopt(easy, CURLOPT_PROXY, "");  // also keeps proxies of the environment out
    }
    const bool keep_scheme = proxy && !proxy->empty();
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, forbid_redirect ? 0L : 1L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, max_client_redirects);
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR,
                     keep_scheme ? (secure ? "https" : "http") : "http,https");
    curl_easy_setopt(easy, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);

    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS,
                     static_cast<long>(limits.connect_timeout.count()));
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &on_body);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &on_header_line);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, &transfer);
    curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &on_progress);
    curl_easy_setopt(easy, CURLOPT_XFERINFODATA, &transfer);
    curl_easy_setopt(easy, CURLOPT_SOCKOPTFUNCTION, &on_socket);
    curl_easy_setopt(easy, CURLOPT_SOCKOPTDATA, &transfer);
    curl_easy_setopt(easy, CURLOPT_PREREQFUNCTION, &on_connected);
    curl_easy_setopt(easy, CURLOPT_PREREQDATA, &transfer);

    // 8. Send. POST turns into GET on a 301, 302 or 303 that libcurl follows.
    if (method != 0) {
      if (body_bytes.empty()) body_bytes = text_to_bytes(body_text);
      static const char no_body[] = "";
      curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE,
                       static_cast<curl_off_t>(body_bytes.size()));
      curl_easy_setopt(
          easy, CURLOPT_POSTFIELDS,
          body_bytes.empty() ? no_body : reinterpret_cast<const char*>(body_bytes.data()));
      if (!post) curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, "GET");
    } else {
      curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
    }

    // 9. Body. A failed send or read is not reported: the body is what came.
    // A silent server and an oversized body are failed reads and give none.
    const CURLcode outcome = process.perform(easy);
    if (transfer.stalled || transfer.body_too_long || outcome == CURLE_OPERATION_TIMEDOUT) {
      transfer.body.clear();
    }
    page = std::move(transfer.body);

    // 10. Header block.
    response_headers = transfer.final_header_block();
  }  // 11. Close.

  // 12. Header lines.
  bool has_location = false;
  cookies_received.clear();
  for (const Text& line : split_text(response_headers, "\r\n")) {
    if (find_text(line, "Location:") != not_found) {
      redirect_address = header_value(line);
      has_location = true;
    }
    if (find_text(line, "Set-Cookie") != not_found) {
      Text piece = trim_spaces(text_between(line, "Set-Cookie:", ";"));
      const int marker = find_text(line, "Set-Cookie:", 0, true);
      // "Set-Cookie: a=1" without attributes sets a=1 like any other.
      if (piece.empty() && marker != not_found && find_text(line, ";", marker) == not_found) {
        piece = trim_spaces(text_mid(line, marker + 11, static_cast<int>(line.size())));
      }
      if (!piece.empty()) cookies_received += piece + "; ";
    }
  }

  // 13. Received cookies.
  cookies_received = text_left(cookies_received, static_cast<int>(cookies_received.size()) - 2);

  // 14. Cookie merge.
  if (cookies) merge_cookies(*cookies, cookies_received);

  // 15. Missing Location: this answer names no address.
  if (!has_location) redirect_address.clear();

  // 16. "301 Moved": the fetcher asks the new address itself, within bounds.
  if (text_between(response_headers, "HTTP/1.1 ", " Moved") == "301" && !redirect_address.empty() &&
      follow_ups < max_follow_ups) {
    const Text new_address = redirect_address + path_of(address);
    redirect_address.clear();
    return fetch_page_nested(new_address, method, body_text, cookies, cookies_received,
                             extra_headers, redirect_address, forbid_redirect, body_bytes, proxy,
                             response_headers, follow_ups + 1);
  }

  // 17. Code page.
  if (utf8_marker_near_start(page) || find_text(response_headers, "utf-8", 0, true) != not_found) {
    page = utf8_to_cp936(page);
  }
  return bytes_to_text(page);
}

}  // namespace

const FetchLimits& fetch_limits() {
  return limits_in_force();
}

ScopedFetchLimits::ScopedFetchLimits(const FetchLimits& limits) : previous_(limits_in_force()) {
  limits_in_force() = limits;
}

ScopedFetchLimits::~ScopedFetchLimits() {
  limits_in_force() = previous_;
}

void clear_cookie_store() {
  const CurlProcess& process = CurlProcess::instance();
  EasyHandle handle(curl_easy_init());
  if (!handle || process.share() == nullptr) return;
  curl_easy_setopt(handle.get(), CURLOPT_SHARE, process.share());
  curl_easy_setopt(handle.get(), CURLOPT_COOKIELIST, "ALL");
}

Text fetch_page(TextView address, int method, TextView body_text, std::optional<Text>& cookies,
                Text& cookies_received, Text& extra_headers, Text& redirect_address,
                bool forbid_redirect, Bytes& body_bytes, const std::optional<Text>& proxy,
                Text& response_headers) {
  return fetch_page_nested(address, method, body_text, cookies, cookies_received, extra_headers,
                           redirect_address, forbid_redirect, body_bytes, proxy, response_headers,
                           0);
}

Text fetch_page(TextView address, int method) {
  std::optional<Text> cookies;
  Text cookies_received;
  Text extra_headers;
  Text redirect_address;
  Bytes body_bytes;
  Text response_headers;
  return fetch_page(address, method, {}, cookies, cookies_received, extra_headers, redirect_address,
                    false, body_bytes, std::nullopt, response_headers);
}

}  // namespace vorpane
