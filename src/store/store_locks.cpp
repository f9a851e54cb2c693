#include "store/store_locks.h"

#include <algorithm>

#include "store/platform.h"

namespace vorpane {
namespace {

std::vector<HeldLock>::iterator find_lock(RecordStore& store, int64_t position) {
  return std::find_if(store.locks.begin(), store.locks.end(),
                      [position](const HeldLock& lock) { return lock.position == position; });
}

bool limit_reached(int32_t limit_ms, int64_t first_attempt_ms) {
  if (limit_ms < 0) return false;
  if (limit_ms == 0) return true;
  return monotonic_milliseconds() - first_attempt_ms > limit_ms;
}

}  // namespace

int32_t acquire_lock(RecordStore& store, int64_t position, int64_t length, int32_t limit_ms) {
  const auto held = find_lock(store, position);
  if (held != store.locks.end()) {
    ++held->additional_holders;
    return store_ok;
  }
  const int64_t first_attempt_ms = monotonic_milliseconds();
  while (true) {
    const int error = lock_byte_range(store.file, position, length);
    if (error == 0) break;
    if (!is_lock_conflict(error)) return store_error_from_errno(error);
    if (limit_reached(limit_ms, first_attempt_ms)) return store_lock_violation;
    sleep_before_lock_retry();
  }
  store.locks.push_back({position, length, 0});
  return store_ok;
}

void release_lock(RecordStore& store, int64_t position) {
  const auto held = find_lock(store, position);
  if (held == store.locks.end()) return;
  if (held->additional_holders > 0) {
    --held->additional_holders;
    return;
  }
  unlock_byte_range(store.file, held->position, held->length);
  store.locks.erase(held);
}

void release_all_locks(RecordStore& store) {
  for (const HeldLock& lock : store.locks)
    unlock_byte_range(store.file, lock.position, lock.length);
  store.locks.clear();
}

int64_t record_position(const RecordStore& store, int64_t index) {
  return store.data_start + index * store.header.record_length;
}

}  // namespace vorpane
