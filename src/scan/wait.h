// A pause during which the window stays responsive.
#pragma once

#include <cstdint>

#include "shell/window.h"

namespace vorpane {

// The lengths of one interval step that `wait_responsive` knows.
enum WaitUnit : int32_t {
  wait_milliseconds = 0,
  wait_seconds = 1,
  wait_minutes = 2,
  wait_hours = 3,
};

// Waits `interval` steps of `unit` while the window goes on dispatching its
// events, and returns true. It lasts at least the interval: a handler still
// running when the time is up ends it as soon as it returns. An interval of 0
// or less returns at once; an unknown unit counts in milliseconds.
bool wait_responsive(Window& window, int32_t interval, int32_t unit = wait_milliseconds);

}  // namespace vorpane
