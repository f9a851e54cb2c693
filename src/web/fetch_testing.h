// What tests may change about page requests, and the program never does: the
// bounds a request works to (the client's usual time-outs and a cap on the
// body), shortened so that a silent server or an endless body is settled in a
// moment, and the process-wide cookie store, emptied so that tests stay apart.
#pragma once

#include <chrono>
#include <cstddef>

namespace vorpane {

struct FetchLimits {
  std::chrono::milliseconds connect_timeout{60'000};
  // A transfer that receives nothing for this long is abandoned.
  std::chrono::milliseconds stall_timeout{30'000};
  size_t max_body_bytes = 64 * 1024 * 1024;
};

const FetchLimits& fetch_limits();

// Puts other limits in force for its lifetime. Not thread-safe: set them
// while no request is running.
class ScopedFetchLimits {
 public:
  explicit ScopedFetchLimits(const FetchLimits& limits);
  ~ScopedFetchLimits();
  ScopedFetchLimits(const ScopedFetchLimits&) = delete;
  ScopedFetchLimits& operator=(const ScopedFetchLimits&) = delete;

 private:
  FetchLimits previous_;
};

// Forgets every cookie of the client's own store.
void clear_cookie_store();

}  // namespace vorpane
