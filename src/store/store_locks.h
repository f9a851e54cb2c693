// The lock protocol of a store: exclusive byte locks counted per position, so
// that nested holders of one position lock and unlock it once.
#pragma once

#include <cstdint>

#include "store/record_store.h"

namespace vorpane {

// Takes the lock at `position`, or counts one more holder when this store
// holds it already. A conflict is retried, with a pause between attempts,
// while no more than `limit_ms` have passed since the first (0: no retry, -1:
// no limit); then store_lock_violation. Other failures give their mapped code.
int32_t acquire_lock(RecordStore& store, int64_t position, int64_t length, int32_t limit_ms);

// Drops one holder; the last one unlocks. Never retried.
void release_lock(RecordStore& store, int64_t position);

// Unlocks everything the store holds, for closing it.
void release_all_locks(RecordStore& store);

// The first byte of record `index`.
int64_t record_position(const RecordStore& store, int64_t index);

// Holds a lock for one scope; code() is 0 once it is held.
class ScopedLock {
 public:
  ScopedLock(RecordStore& store, int64_t position, int64_t length, int32_t limit_ms)
      : store_(store),
        position_(position),
        code_(acquire_lock(store, position, length, limit_ms)) {}
  ScopedLock(const ScopedLock&) = delete;
  ScopedLock& operator=(const ScopedLock&) = delete;
  ~ScopedLock() {
    if (code_ == store_ok) release_lock(store_, position_);
  }
  int32_t code() const { return code_; }

 private:
  RecordStore& store_;
  int64_t position_;
  int32_t code_;
};

}  // namespace vorpane
