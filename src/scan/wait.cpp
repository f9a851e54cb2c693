#include "scan/wait.h"

#include <algorithm>
#include <limits>

namespace vorpane {
namespace {

int64_t step_milliseconds(int32_t unit) {
  switch (unit) {
    case wait_seconds:
      return 1000;
    case wait_minutes:
      return 60'000;
    case wait_hours:
      return 3'600'000;
    default:
      return 1;
  }
}

}  // namespace

bool wait_responsive(Window& window, int32_t interval, int32_t unit) {
  int64_t remaining = int64_t{interval} * step_milliseconds(unit);
  // A wait of hours exceeds what one timer takes; wait it in parts.
  constexpr int64_t longest_part = std::numeric_limits<int>::max();
  while (remaining > 0) {
    const int64_t part = std::min(remaining, longest_part);
    window.dispatch_events_for(static_cast<int>(part));
    remaining -= part;
  }
  return true;
}

}  // namespace vorpane
