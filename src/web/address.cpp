#include "web/address.h"

namespace vorpane {
namespace {

bool starts_https(TextView address) {
  return to_lower(text_left(address, 5)) == "https";
}

}  // namespace

Text host_of(TextView address, bool main_domain_only, bool keep_port) {
  Text host = to_lower(address);
  if (host.empty() || host.back() != '/') host += '/';
  if (text_left(host, 8) == "https://") {
    host = text_between(host, "https://", "/");
  } else {
    if (find_text(host, "http://") == not_found) host.insert(0, "http://");
    host = text_between(host, "http://", "/");
  }
  if (main_domain_only) {
    const std::vector<Text> labels = split_text(host, ".");
    if (labels.size() > 1) host = labels[labels.size() - 2] + "." + labels.back();
  }
  if (keep_port) return host;
  const int colon = find_text(host, ":");
  return colon == not_found ? host : text_left(host, colon - 1);
}

int32_t port_of(TextView address) {
  const Text host = host_of(address, false, true);
  const int colon = find_last_text(host, ":");
  if (colon == not_found) return starts_https(address) ? 443 : 80;
  return text_to_int(text_right(host, static_cast<int>(host.size()) - colon));
}

Text path_of(TextView address) {
  const Text host = host_of(address);
  const int host_position = find_text(address, host, 1, true);
  const int slash = find_text(address, "/", host_position, true);
  if (slash == not_found) return "/";
  return Text(address.substr(static_cast<size_t>(slash) - 1));
}

}  // namespace vorpane
