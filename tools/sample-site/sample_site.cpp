#include "sample-site/sample_site.h"

#include <charconv>
#include <cstdint>

#include "sample-site/group_pages.h"
#include "web/codepage.h"

namespace vorpane {
namespace {

constexpr std::string_view moved_path = "/group/public/";
constexpr std::string_view gbk_meta = "charset=gbk";

LoopbackResponse html_answer(std::string status_line, std::string body, std::string_view charset) {
  LoopbackResponse response;
  response.status_line = std::move(status_line);
  response.header_lines = {"Server: vorpane-sample-site",
                           charset.empty()
                               ? std::string("Content-Type: text/html")
                               : "Content-Type: text/html; charset=" + std::string(charset)};
  response.body = std::move(body);
  return response;
}

LoopbackResponse not_found_answer() {
  return html_answer("HTTP/1.1 404 Not Found",
                     cp936_from_utf8("<html><body><h1>404</h1><p>页面不存在</p></body></html>\n"),
                     "gbk");
}

// The page in UTF-8; its head either says so or says nothing of its charset.
std::string utf8_page(const Text& page, bool say_so_in_head) {
  std::string converted = cp936_to_utf8(page);
  const size_t meta = converted.find(gbk_meta);
  if (meta != std::string::npos) {
    converted.replace(meta, gbk_meta.size(), say_so_in_head ? "charset=utf-8" : "charset=");
  }
  return converted;
}

LoopbackResponse public_group(int32_t number) {
  return html_answer("HTTP/1.1 200 OK", build_group_page(public_group_page_options(number)), "gbk");
}

LoopbackResponse group_answer(int32_t number) {
  switch (number % 10) {
    case 1:
      return html_answer("HTTP/1.1 200 OK",
                         utf8_page(build_group_page(public_group_page_options(number)), true), "");
    case 7:
      return html_answer("HTTP/1.1 200 OK",
                         utf8_page(build_group_page(public_group_page_options(number)), false),
                         "UTF-8");
    case 9: {
      LoopbackResponse response =
          html_answer("HTTP/1.1 301 Moved Permanently", "<html><body>Moved</body></html>\n", "gbk");
      response.header_lines.push_back("Location: " + std::string(moved_path) +
                                      std::to_string(number));
      return response;
    }
    case 2: {
      GroupPageOptions options = public_group_page_options(number);
      options.invitation_code_public = false;
      return html_answer("HTTP/1.1 200 OK", build_group_page(options), "gbk");
    }
    case 4: {
      GroupPageOptions options;
      options.invitation_code_public = false;
      options.marker_position = 400;
      options.page_size = 1200;
      return html_answer("HTTP/1.1 200 OK", build_group_page(options), "gbk");
    }
    case 5: {
      GroupPageOptions options = public_group_page_options(number);
      options.marker_position = 1500;
      return html_answer("HTTP/1.1 200 OK", build_group_page(options), "gbk");
    }
    case 8:
      return (number / 10) % 2 == 0
                 ? not_found_answer()
                 : html_answer("HTTP/1.1 500 Internal Server Error",
                               "<html><body><h1>500</h1></body></html>\n", "gbk");
    default:
      return public_group(number);
  }
}

// The number after `prefix` in `path`, when the rest is all digits and fits.
bool number_after(std::string_view path, std::string_view prefix, int32_t& number) {
  if (path.substr(0, prefix.size()) != prefix) return false;
  const std::string_view digits = path.substr(prefix.size());
  if (digits.empty() || digits.find_first_not_of("0123456789") != std::string_view::npos) {
    return false;
  }
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
  return error == std::errc() && end == digits.data() + digits.size();
}

}  // namespace

LoopbackResponse sample_site_answer(const LoopbackRequest& request) {
  if (!request.well_formed || (request.method != "POST" && request.method != "GET")) {
    return not_found_answer();
  }
  int32_t number = 0;
  if (number_after(request.target, moved_path, number)) return public_group(number);
  if (number_after(request.target, sample_site_group_path, number)) return group_answer(number);
  return not_found_answer();
}

}  // namespace vorpane
