// The lock protocol: holder counts, the retry limits, and what each operation
// does when another process holds a lock it needs.
#include "store/store_locks.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include "store/platform.h"
#include "store/record_store.h"
#include "store_test_support.h"

namespace vorpane {
namespace {

using testing::group_data_start;
using testing::group_record_length;
using testing::read_file;

// Another process that holds a byte lock on the file for `hold_ms`, or until
// it is told to stop.
class LockHolder {
 public:
  LockHolder(const NativePath& path, int64_t offset, int64_t length, int hold_ms) {
    int ready[2];
    if (::pipe(ready) != 0) ADD_FAILURE() << "pipe";
    process_ = ::fork();
    if (process_ == 0) {
      ::close(ready[0]);
      const int descriptor = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
      const char locked = descriptor >= 0 && lock_byte_range(descriptor, offset, length) == 0;
      if (::write(ready[1], &locked, 1) != 1) ::_exit(1);
      struct timespec pause = {hold_ms / 1000, (hold_ms % 1000) * 1000000L};
      ::nanosleep(&pause, nullptr);
      ::_exit(0);
    }
    ::close(ready[1]);
    char locked = 0;
    EXPECT_EQ(::read(ready[0], &locked, 1), 1);
    EXPECT_TRUE(locked);
    ::close(ready[0]);
  }
  LockHolder(const LockHolder&) = delete;
  LockHolder& operator=(const LockHolder&) = delete;
  ~LockHolder() { stop(); }
  void stop() {
    if (process_ <= 0) return;
    ::kill(process_, SIGKILL);
    ::waitpid(process_, nullptr, 0);
    process_ = -1;
  }

 private:
  pid_t process_ = -1;
};

bool byte_is_free(const NativePath& path, int64_t position) {
  const int descriptor = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  const bool free = descriptor >= 0 && lock_byte_range(descriptor, position, 1) == 0;
  if (descriptor >= 0) ::close(descriptor);
  return free;
}

class StoreLocks : public testing::StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    path_ = create_group_store();
  }
  // Milliseconds that `operation` took.
  template <typename Operation>
  int64_t timed(Operation operation) {
    const int64_t start = monotonic_milliseconds();
    operation();
    return monotonic_milliseconds() - start;
  }
  NativePath path_;
};

TEST_F(StoreLocks, HoldersAreCountedPerPosition) {
  RecordStore store;
  ASSERT_EQ(open_shared_file(path_, store.file, store.identity), 0);
  ASSERT_EQ(acquire_lock(store, 100, 1, 0), store_ok);
  ASSERT_EQ(acquire_lock(store, 100, 1, 0), store_ok);
  ASSERT_EQ(acquire_lock(store, 200, 1, 0), store_ok);
  ASSERT_EQ(store.locks.size(), 2u);
  EXPECT_EQ(store.locks[0].additional_holders, 1);

  release_lock(store, 100);
  EXPECT_FALSE(byte_is_free(path_, 100));
  release_lock(store, 100);
  EXPECT_TRUE(byte_is_free(path_, 100));
  EXPECT_FALSE(byte_is_free(path_, 200));
  release_lock(store, 100);  // not held: nothing happens
  EXPECT_FALSE(byte_is_free(path_, 200));
  release_all_locks(store);
  EXPECT_TRUE(byte_is_free(path_, 200));
  EXPECT_TRUE(store.locks.empty());
  close_file(store.file);
}

TEST_F(StoreLocks, AConflictIsRetriedWithinTheLimitOnly) {
  RecordStore store;
  ASSERT_EQ(open_shared_file(path_, store.file, store.identity), 0);
  {
    LockHolder holder(path_, 100, 1, 10000);
    // Loose bounds: the point is whether the attempt waits, not how fast.
    EXPECT_LT(timed([&] { EXPECT_EQ(acquire_lock(store, 100, 1, 0), store_lock_violation); }),
              1000);
    EXPECT_GE(timed([&] { EXPECT_EQ(acquire_lock(store, 100, 1, 150), store_lock_violation); }),
              150);
    EXPECT_TRUE(store.locks.empty());
  }
  LockHolder brief(path_, 100, 1, 200);
  EXPECT_EQ(acquire_lock(store, 100, 1, -1), store_ok);
  EXPECT_EQ(store.locks.size(), 1u);
  close_file(store.file);
}

TEST_F(StoreLocks, OpenFailsAtOnceWhileAnotherProcessHoldsALock) {
  Bytes with_trailing_bytes = read_file(path_);
  with_trailing_bytes.resize(with_trailing_bytes.size() + 50);
  testing::write_file(path_, with_trailing_bytes);
  for (const int64_t position : {int64_t{16}, int64_t{0}, int64_t{group_data_start + 10}}) {
    LockHolder holder(path_, position, 1, 10000);
    EXPECT_LT(timed([&] { EXPECT_EQ(open_store(path_), store_lock_violation); }), 1000);
    EXPECT_TRUE(store_registry().stores.empty());
    // Not even the repair happened.
    EXPECT_EQ(read_file(path_), with_trailing_bytes);
  }
  store_registry().lock_wait_ms = 2000;
  LockHolder brief(path_, 16, 1, 200);
  EXPECT_EQ(open_store(path_), store_ok);
}

TEST_F(StoreLocks, AddFailsAtOnceUnlessLockWaitAllowsMore) {
  ASSERT_EQ(open_store(path_), store_ok);
  {
    LockHolder holder(path_, 16, 1, 10000);
    EXPECT_LT(timed([&] { EXPECT_EQ(add_blank_record(), store_lock_violation); }), 1000);
  }
  store_registry().lock_wait_ms = 2000;
  LockHolder brief(path_, 16, 1, 200);
  EXPECT_EQ(add_blank_record(), store_ok);
  EXPECT_EQ(write_field(1, "x"), store_ok);
}

TEST_F(StoreLocks, GoToLastRecordWaitsUpToTwoSeconds) {
  ASSERT_EQ(open_store(path_), store_ok);
  {
    LockHolder brief(path_, 16, 1, 200);
    EXPECT_EQ(go_to_last_record(), store_ok);
  }
  LockHolder holder(path_, 16, 1, 10000);
  EXPECT_GE(timed([&] { EXPECT_EQ(go_to_last_record(), store_lock_violation); }), 2000);
}

// The result of open_store in another process, with lock_wait_ms 0.
int32_t open_elsewhere(const NativePath& path) {
  const pid_t child = ::fork();
  if (child == 0) {
    reset_store_registry_for_testing();
    ::_exit(-open_store(path));
  }
  int status = 0;
  if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return 1;
  return -WEXITSTATUS(status);
}

TEST_F(StoreLocks, TheNewRecordStaysLockedUntilTheNextMove) {
  ASSERT_EQ(open_store(path_), store_ok);
  ASSERT_EQ(add_blank_record(), store_ok);
  const int64_t first_record = group_data_start;
  EXPECT_FALSE(byte_is_free(path_, first_record));
  // No other process can open (and so repair) the file while it is filled.
  EXPECT_EQ(open_elsewhere(path_), store_lock_violation);
  for (int32_t field = 1; field <= 6; ++field)
    ASSERT_EQ(write_field(field, "kept"), store_ok);
  EXPECT_FALSE(byte_is_free(path_, first_record));
  EXPECT_EQ(store_registry().stores[0].locks.size(), 1u);

  ASSERT_EQ(go_to_last_record(), store_ok);
  EXPECT_TRUE(testing::file_is_unlocked(path_));
  EXPECT_EQ(open_elsewhere(path_), store_ok);

  ASSERT_EQ(add_blank_record(), store_ok);
  // The next add gives up the record before.
  ASSERT_EQ(add_blank_record(), store_ok);
  EXPECT_TRUE(byte_is_free(path_, first_record + group_record_length));
  EXPECT_FALSE(byte_is_free(path_, first_record + 2 * group_record_length));
  close_store("");
  EXPECT_TRUE(testing::file_is_unlocked(path_));
}

TEST_F(StoreLocks, WriteFieldIntoAnotherRecordFailsAtOnceOnConflict) {
  ASSERT_EQ(open_store(path_), store_ok);
  ASSERT_EQ(add_blank_record(), store_ok);
  ASSERT_EQ(go_to_last_record(), store_ok);
  const Bytes before = read_file(path_);
  LockHolder opening(path_, 0, 0x7FFFFFFF, 10000);
  EXPECT_LT(timed([&] { EXPECT_EQ(write_field(1, "x"), store_lock_violation); }), 1000);
  EXPECT_EQ(read_file(path_), before);
}

TEST_F(StoreLocks, OperationsReleaseTheirLocks) {
  // Held afterwards: the lock of the record being filled, nothing else.
  const auto check = [this](const char* what, int32_t code, int32_t expected, size_t held) {
    EXPECT_EQ(code, expected) << what;
    EXPECT_EQ(testing::file_is_unlocked(path_), held == 0) << what;
    const size_t locks =
        store_registry().stores.empty() ? 0 : store_registry().stores[0].locks.size();
    EXPECT_EQ(locks, held) << what;
    if (held == 1) {
      EXPECT_EQ(store_registry().stores[0].locks[0].additional_holders, 0) << what;
    }
  };
  check("open", open_store(path_), store_ok, 0);
  check("go to last", go_to_last_record(), store_ok, 0);
  check("write without record", write_field(1, "x"), store_no_current_record, 0);
  check("add", add_blank_record(), store_ok, 1);
  check("write", write_field(1, "x"), store_ok, 1);
  check("write by name", write_field("\xC8\xBA\xBA\xC5", "1"), store_ok, 1);
  check("mismatch", write_field(1, FieldValue::of_integer(1)), store_value_type_mismatch, 1);
  check("go to last again", go_to_last_record(), store_ok, 0);
  check("write into the last record", write_field(1, "y"), store_ok, 0);
  Bytes file = read_file(path_);
  testing::set_int32_at(file, 20, INT32_MAX);
  testing::write_file(path_, file);
  check("refused add", add_blank_record(), store_record_write_failed, 0);
  close_store("");
  check("second open", open_store(path_), store_ok, 0);
  close_store("");
  testing::write_file(path_, Bytes(200, 0));
  check("open of a damaged file", open_store(path_), store_not_a_store_file, 0);
  check("create", create_store(path_, testing::group_fields()), store_ok, 0);
  EXPECT_EQ(read_file(path_).size(), group_data_start);
}

}  // namespace
}  // namespace vorpane
