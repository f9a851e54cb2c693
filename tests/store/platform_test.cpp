// The file system layer: whole files, the hidden list, and the calls the
// record store makes.
#include "store/platform.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "store/store_error.h"
#include "store_test_support.h"

namespace vorpane {
namespace {

using testing::read_file;
using testing::TemporaryDirectory;
using testing::write_file;

Bytes bytes_of(std::string_view text) {
  return Bytes(text.begin(), text.end());
}

size_t entries_in(const NativePath& directory) {
  size_t count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(directory))
    ++count;
  return count;
}

TEST(ReadWholeFile, TellsMissingFromFailed) {
  TemporaryDirectory directory;
  Bytes content = bytes_of("left over");
  EXPECT_EQ(read_whole_file(directory.file("missing"), content), ReadResult::missing);
  EXPECT_TRUE(content.empty());
  content = bytes_of("left over");
  EXPECT_EQ(read_whole_file(directory.path(), content), ReadResult::failed);
  EXPECT_TRUE(content.empty());
  write_file(directory.file("plain"), Bytes{});
  EXPECT_EQ(read_whole_file(directory.file("plain/child"), content), ReadResult::failed);

  Bytes large(200000);
  for (size_t i = 0; i < large.size(); ++i)
    large[i] = static_cast<unsigned char>(i * 7);
  write_file(directory.file("large"), large);
  EXPECT_EQ(read_whole_file(directory.file("large"), content), ReadResult::ok);
  EXPECT_EQ(content, large);
  EXPECT_EQ(read_whole_file(directory.file("plain"), content), ReadResult::ok);
  EXPECT_TRUE(content.empty());
}

TEST(WriteWholeFile, CreatesAndReplacesKeepingTheMode) {
  TemporaryDirectory directory;
  const NativePath path = directory.file("info.ini");
  ASSERT_TRUE(write_whole_file(path, bytes_of("first")));
  EXPECT_EQ(read_file(path), bytes_of("first"));
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  ASSERT_TRUE(write_whole_file(path, bytes_of("2")));
  EXPECT_EQ(read_file(path), bytes_of("2"));
  struct stat status;
  ASSERT_EQ(::stat(path.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 07777, 0640u);
  EXPECT_EQ(entries_in(directory.path()), 1u);
  EXPECT_FALSE(write_whole_file(directory.path(), bytes_of("x")));
}

TEST(WriteWholeFile, KeepsTheOldContentWhenTheWriteFails) {
  TemporaryDirectory directory;
  const NativePath path = directory.file("info.ini");
  write_file(path, bytes_of("old content"));
  // A file size limit makes the write fail part-way, for root as well.
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    const struct rlimit limit = {4096, 4096};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    ::_exit(write_whole_file(path, Bytes(10000, 'n')) ? 1 : 0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the write should have failed";
  EXPECT_EQ(read_file(path), bytes_of("old content"));
  EXPECT_EQ(entries_in(directory.path()), 1u) << "no temporary file is left";
}

TEST(MarkHidden, AddsANameOnceAndKeepsTheList) {
  TemporaryDirectory directory;
  const NativePath list = directory.file(".hidden");
  ASSERT_TRUE(mark_hidden(directory.path(), "SkinH_EL.dll"));
  ASSERT_TRUE(mark_hidden(directory.path(), "SkinH_EL.dll"));
  EXPECT_EQ(read_file(list), bytes_of("SkinH_EL.dll\n"));

  write_file(list, bytes_of("db.edb.bak\nother"));
  ASSERT_TRUE(mark_hidden(directory.path(), "db.edb"));  // a prefix of a listed name
  ASSERT_TRUE(mark_hidden(directory.path(), "other"));
  ASSERT_TRUE(mark_hidden(directory.path(), "db.edb"));
  EXPECT_EQ(read_file(list), bytes_of("db.edb.bak\nother\ndb.edb\n"));

  EXPECT_FALSE(mark_hidden(directory.file("missing"), "x"));
}

TEST(StoreFileCalls, ReadAndWriteAtPositions) {
  TemporaryDirectory directory;
  const NativePath path = directory.file("store");
  write_file(path, bytes_of("0123456789"));
  int descriptor = -1;
  FileIdentity identity;
  ASSERT_EQ(open_shared_file(path, descriptor, identity), 0);

  EXPECT_EQ(write_at(descriptor, 12, "ab", 2), 0);
  int64_t length = 0;
  ASSERT_EQ(file_length(descriptor, length), 0);
  EXPECT_EQ(length, 14);
  char buffer[8] = {};
  size_t read_size = 0;
  ASSERT_EQ(read_at(descriptor, 8, buffer, sizeof buffer, read_size), 0);
  EXPECT_EQ(read_size, 6u);  // short at the end of the file
  EXPECT_EQ(std::string(buffer, 6), std::string("89\0\0ab", 6));
  EXPECT_EQ(set_file_length(descriptor, 3), 0);
  EXPECT_EQ(read_file(path), bytes_of("012"));
  EXPECT_EQ(read_at(descriptor, -1, buffer, 1, read_size), EINVAL);
  EXPECT_EQ(close_file(descriptor), 0);
}

TEST(StoreFileCalls, OpenOnlyRegularFilesAndNeverCutThem) {
  TemporaryDirectory directory;
  ASSERT_EQ(::mkfifo(directory.file("pipe").c_str(), 0644), 0);
  int descriptor = -1;
  FileIdentity identity;
  EXPECT_EQ(open_shared_file(directory.path(), descriptor, identity), EISDIR);
  EXPECT_EQ(open_shared_file(directory.file("pipe"), descriptor, identity), EACCES);
  EXPECT_EQ(open_shared_file(directory.file("missing"), descriptor, identity), ENOENT);
  EXPECT_NE(open_new_file(directory.file("pipe"), descriptor), 0);

  const NativePath path = directory.file("kept");
  write_file(path, bytes_of("kept"));
  ASSERT_EQ(open_new_file(path, descriptor), 0);
  close_file(descriptor);
  EXPECT_EQ(read_file(path), bytes_of("kept"));
}

TEST(StoreFileCalls, PathsResolveToOneSpellingAndOneIdentity) {
  TemporaryDirectory directory;
  const NativePath path = directory.file("db.edb");
  write_file(path, bytes_of("x"));
  ASSERT_EQ(::mkdir(directory.file("sub").c_str(), 0755), 0);
  ASSERT_EQ(::symlink("../db.edb", directory.file("sub/link").c_str()), 0);
  NativePath full;
  ASSERT_EQ(resolve_full_path(directory.file("sub/../sub/./link"), full), 0);
  EXPECT_EQ(full, path);
  EXPECT_EQ(resolve_full_path(directory.file("none"), full), ENOENT);
  FileIdentity by_link;
  FileIdentity direct;
  ASSERT_EQ(identify_file(directory.file("sub/link"), by_link), 0);
  ASSERT_EQ(identify_file(path, direct), 0);
  EXPECT_EQ(by_link, direct);
}

// The properties the store's lock protocol needs from the operating system.
TEST(StoreFileCalls, LocksBelongToTheOpenFile) {
  TemporaryDirectory directory;
  const NativePath path = directory.file("db.edb");
  write_file(path, Bytes(100));
  FileIdentity identity;
  int first = -1;
  int second = -1;
  ASSERT_EQ(open_shared_file(path, first, identity), 0);
  ASSERT_EQ(open_shared_file(path, second, identity), 0);

  ASSERT_EQ(lock_byte_range(first, 16, 1), 0);
  const int conflict = lock_byte_range(second, 16, 1);
  EXPECT_TRUE(is_lock_conflict(conflict)) << "conflicts within one process";
  EXPECT_EQ(store_error_from_errno(conflict), store_lock_violation);
  EXPECT_EQ(lock_byte_range(second, 17, 1), 0) << "only the byte is locked";
  EXPECT_TRUE(is_lock_conflict(lock_byte_range(second, 0, 0x7FFFFFFF)));

  // Closing another open of the file keeps the first one's lock.
  int third = -1;
  ASSERT_EQ(open_shared_file(path, third, identity), 0);
  close_file(third);
  EXPECT_TRUE(is_lock_conflict(lock_byte_range(second, 16, 1)));

  EXPECT_EQ(unlock_byte_range(first, 16, 1), 0);
  EXPECT_EQ(lock_byte_range(second, 16, 1), 0);
  close_file(second);
  EXPECT_EQ(lock_byte_range(first, 16, 1), 0) << "closing drops the locks";
  close_file(first);
}

TEST(StoreFileCalls, RetryPauseAndClock) {
  const int64_t start = monotonic_milliseconds();
  sleep_before_lock_retry();
  EXPECT_GE(monotonic_milliseconds() - start, 20);
}

TEST(StoreErrorFromErrno, MapsEachKindOfFailure) {
  const std::pair<int, int32_t> cases[] = {
      {ENOENT, store_file_not_found},      {ENOTDIR, store_invalid_path},
      {ENAMETOOLONG, store_invalid_path},  {ELOOP, store_invalid_path},
      {EMFILE, store_too_many_open_files}, {ENFILE, store_too_many_open_files},
      {EACCES, store_access_denied},       {EPERM, store_access_denied},
      {EROFS, store_access_denied},        {EISDIR, store_access_denied},
      {EBADF, store_invalid_file_handle},  {EMLINK, store_directory_full},
      {ESPIPE, store_seek_failed},         {EINVAL, store_seek_failed},
      {EIO, store_hardware_failure},       {EAGAIN, store_lock_violation},
      {ENOLCK, store_lock_violation},      {ENOSPC, store_disk_full},
      {EDQUOT, store_disk_full},           {EFBIG, store_disk_full},
      {EPIPE, store_unclassified_error},   {0x7FFF, store_unclassified_error},
  };
  for (const auto& [error, expected] : cases) {
    EXPECT_EQ(store_error_from_errno(error), expected) << error;
  }
}

}  // namespace
}  // namespace vorpane
