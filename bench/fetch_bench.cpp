// 2,000 sequential page requests against the loopback server with a 20 KiB
// page: fetch_page against bare libcurl loops that make the same requests.
// The page holds no "utf-8", so no conversion work enters the comparison.
#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <string>

#include "loopback_server/loopback_server.h"
#include "web/fetch.h"

namespace {

constexpr int requests = 2000;
constexpr char agent[] =
    "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1; ZK7RW; .NET CLR 2.0.50727; .NET CLR "
    "3.0.04506.648; .NET CLR 3.5.21022)";

const vorpane::LoopbackServer& server() {
  static vorpane::LoopbackServer instance([](const vorpane::LoopbackRequest&) {
    static const std::string page = [] {
      std::string text = "<html><head><meta charset=gbk></head><body>";
      while (text.size() < 20 * 1024 - 14)
        text += "<p>group 12345</p>";
      return text.substr(0, 20 * 1024 - 14) + "</body></html>";
    }();
    vorpane::LoopbackResponse response;
    response.header_lines = {"Content-Type: text/html"};
    response.body = page;
    return response;
  });
  static const bool started = instance.start();
  (void)started;
  return instance;
}

std::string page_address() {
  return server().address() + "/group/12345";
}

size_t keep_body(char* data, size_t size, size_t count, void* user) {
  static_cast<std::string*>(user)->append(data, size * count);
  return size * count;
}

// The same request as the scan's: POST, empty body, the same header lines.
curl_slist* scan_header_lines(const std::string& address) {
  curl_slist* lines = curl_slist_append(nullptr, ("Referer: " + address).c_str());
  lines = curl_slist_append(lines, "Accept: */*");
  lines = curl_slist_append(lines, "Accept-Language: zh-cn");
  lines = curl_slist_append(lines, "Content-Type: application/x-www-form-urlencoded");
  return curl_slist_append(lines, "Expect:");
}

void set_scan_request(CURL* easy, const std::string& address, curl_slist* lines,
                      std::string& body) {
  curl_easy_setopt(easy, CURLOPT_URL, address.c_str());
  curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE, 0L);
  curl_easy_setopt(easy, CURLOPT_POSTFIELDS, "");
  curl_easy_setopt(easy, CURLOPT_HTTPHEADER, lines);
  curl_easy_setopt(easy, CURLOPT_USERAGENT, agent);
  curl_easy_setopt(easy, CURLOPT_PROXY, "");
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &keep_body);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, &body);
}

void fetch_page_calls(benchmark::State& state) {
  const std::string address = page_address();
  for (auto _ : state) {
    const vorpane::Text page = vorpane::fetch_page(address, 1);
    if (page.size() != 20 * 1024) state.SkipWithError("wrong page");
    benchmark::DoNotOptimize(page.data());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(fetch_page_calls)->Iterations(requests)->UseRealTime()->Unit(benchmark::kMicrosecond);

// Baseline: one easy handle kept for every request, the fastest libcurl use.
void bare_curl_one_handle(benchmark::State& state) {
  const std::string address = page_address();
  curl_global_init(CURL_GLOBAL_DEFAULT);
  curl_slist* lines = scan_header_lines(address);
  std::string body;
  CURL* easy = curl_easy_init();
  set_scan_request(easy, address, lines, body);
  for (auto _ : state) {
    body.clear();
    if (curl_easy_perform(easy) != CURLE_OK || body.size() != 20 * 1024) {
      state.SkipWithError("request failed");
    }
    benchmark::DoNotOptimize(body.data());
  }
  curl_easy_cleanup(easy);
  curl_slist_free_all(lines);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(bare_curl_one_handle)->Iterations(requests)->UseRealTime()->Unit(benchmark::kMicrosecond);

// For comparison: a new easy handle per request, connections kept in a share.
void bare_curl_handle_per_request(benchmark::State& state) {
  const std::string address = page_address();
  curl_global_init(CURL_GLOBAL_DEFAULT);
  CURLSH* share = curl_share_init();
  curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_CONNECT);
  curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
  curl_slist* lines = scan_header_lines(address);
  std::string body;
  for (auto _ : state) {
    body.clear();
    CURL* easy = curl_easy_init();
    set_scan_request(easy, address, lines, body);
    curl_easy_setopt(easy, CURLOPT_SHARE, share);
    if (curl_easy_perform(easy) != CURLE_OK || body.size() != 20 * 1024) {
      state.SkipWithError("request failed");
    }
    curl_easy_cleanup(easy);
    benchmark::DoNotOptimize(body.data());
  }
  curl_share_cleanup(share);
  curl_slist_free_all(lines);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(bare_curl_handle_per_request)
    ->Iterations(requests)
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);

}  // namespace
