// The bounds a page request works to: the client's usual time-outs and a cap
// on the body. The program always runs with the defaults; tests shorten them
// through ScopedFetchLimits so that a silent server or an endless body is
// settled in a moment.
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

}  // namespace vorpane
