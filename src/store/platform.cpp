#include "store/platform.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "store/store_error.h"

namespace vorpane {
namespace {

// Closes a descriptor on every return path.
class FileDescriptor {
 public:
  explicit FileDescriptor(int descriptor) : descriptor_(descriptor) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() {
    if (descriptor_ >= 0) ::close(descriptor_);
  }
  int get() const { return descriptor_; }
  // Closing can report a delayed write error, so the writer looks at it.
  bool close() {
    const int descriptor = descriptor_;
    descriptor_ = -1;
    return ::close(descriptor) == 0;
  }

 private:
  int descriptor_;
};

bool write_all(int descriptor, const unsigned char* data, size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(descriptor, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += written;
    size -= static_cast<size_t>(written);
  }
  return true;
}

// Only a regular file can hold a store; seeking and locking mean nothing on
// the rest. Closes `descriptor` and gives the error when it is anything else.
int keep_if_regular_file(int descriptor, struct stat& status) {
  int error = 0;
  if (::fstat(descriptor, &status) != 0) {
    error = errno;
  } else if (!S_ISREG(status.st_mode)) {
    error = S_ISDIR(status.st_mode) ? EISDIR : EACCES;
  }
  if (error != 0) ::close(descriptor);
  return error;
}

}  // namespace

NativePath join_path(std::string_view directory, std::string_view name) {
  NativePath path(directory);
  path += '/';
  path += name;
  return path;
}

NativePath executable_directory() {
  // /proc/self/exe names the program file itself, wherever it was started from.
  char buffer[PATH_MAX];
  const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer);
  if (length <= 0 || static_cast<size_t>(length) >= sizeof buffer) return ".";
  const std::string_view program(buffer, static_cast<size_t>(length));
  const size_t slash = program.rfind('/');
  if (slash == std::string_view::npos) return ".";
  if (slash == 0) return "/";
  return NativePath(program.substr(0, slash));
}

bool path_exists(const NativePath& path) {
  struct stat status;
  // lstat: a dangling link still occupies the name.
  return ::lstat(path.c_str(), &status) == 0;
}

ReadResult read_whole_file(const NativePath& path, Bytes& content) {
  content.clear();
  FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (file.get() < 0) return errno == ENOENT ? ReadResult::missing : ReadResult::failed;
  struct stat status;
  if (::fstat(file.get(), &status) != 0 || S_ISDIR(status.st_mode)) return ReadResult::failed;
  Bytes buffer;
  unsigned char chunk[65536];
  while (true) {
    const ssize_t count = ::read(file.get(), chunk, sizeof chunk);
    if (count < 0) {
      if (errno == EINTR) continue;
      return ReadResult::failed;
    }
    if (count == 0) break;
    buffer.insert(buffer.end(), chunk, chunk + count);
  }
  content.swap(buffer);
  return ReadResult::ok;
}

bool write_whole_file(const NativePath& path, const Bytes& content) {
  struct stat old_status;
  const bool existed = ::stat(path.c_str(), &old_status) == 0;
  if (existed && S_ISDIR(old_status.st_mode)) return false;

  NativePath temporary = path + ".XXXXXX";
  FileDescriptor file(::mkostemp(temporary.data(), O_CLOEXEC));
  if (file.get() < 0) return false;
  // mkostemp creates the file for its owner alone; give it the mode the old
  // file had, or the mode a plain new file would get.
  mode_t mode = 0666;
  if (existed) {
    mode = old_status.st_mode & 07777;
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode &= ~mask;
  }
  const bool written = ::fchmod(file.get(), mode) == 0 &&
                       write_all(file.get(), content.data(), content.size()) &&
                       ::fsync(file.get()) == 0;
  if (!file.close() || !written || ::rename(temporary.c_str(), path.c_str()) != 0) {
    ::unlink(temporary.c_str());
    return false;
  }
  return true;
}

bool mark_hidden(const NativePath& directory, std::string_view name) {
  const NativePath list_path = join_path(directory, ".hidden");
  Bytes list;
  if (read_whole_file(list_path, list) == ReadResult::failed) return false;
  const std::string_view listed(reinterpret_cast<const char*>(list.data()), list.size());
  size_t line_start = 0;
  while (line_start < listed.size()) {
    size_t line_end = listed.find('\n', line_start);
    if (line_end == std::string_view::npos) line_end = listed.size();
    if (listed.substr(line_start, line_end - line_start) == name) return true;
    line_start = line_end + 1;
  }
  if (!list.empty() && list.back() != '\n') list.push_back('\n');
  list.insert(list.end(), name.begin(), name.end());
  list.push_back('\n');
  return write_whole_file(list_path, list);
}

int resolve_full_path(const NativePath& path, NativePath& full_path) {
  // One spelling per file, so that a store opened again under another
  // spelling of its path is recognised.
  char* resolved = ::realpath(path.c_str(), nullptr);
  if (resolved == nullptr) return errno;
  full_path = resolved;
  std::free(resolved);
  return 0;
}

int identify_file(const NativePath& path, FileIdentity& identity) {
  // stat follows links: the identity is that of the file the path leads to,
  // which also catches a second hard link to an open store.
  struct stat status;
  if (::stat(path.c_str(), &status) != 0) return errno;
  identity = {static_cast<uint64_t>(status.st_dev), static_cast<uint64_t>(status.st_ino)};
  return 0;
}

int open_shared_file(const NativePath& path, int& descriptor, FileIdentity& identity) {
  // Linux opens never exclude each other, so this is the open with full
  // sharing; the byte-range locks keep the writers apart. O_NONBLOCK keeps a
  // pipe or device from holding up the open (regular files ignore it), and
  // O_NOCTTY keeps a terminal from becoming ours.
  const int opened = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (opened < 0) return errno;
  struct stat status;
  if (const int error = keep_if_regular_file(opened, status); error != 0) return error;
  descriptor = opened;
  identity = {static_cast<uint64_t>(status.st_dev), static_cast<uint64_t>(status.st_ino)};
  return 0;
}

int open_new_file(const NativePath& path, int& descriptor) {
  // No O_TRUNC: the caller empties the file only once it holds the file's
  // lock, so that a store in use by another process is not cut under it.
  const int opened =
      ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0666);
  if (opened < 0) return errno;
  struct stat status;
  if (const int error = keep_if_regular_file(opened, status); error != 0) return error;
  descriptor = opened;
  return 0;
}

int read_at(int descriptor, int64_t offset, void* buffer, size_t size, size_t& read_size) {
  // pread leaves the file position alone: nothing depends on where a previous
  // call stopped.
  read_size = 0;
  if (offset < 0) return EINVAL;
  auto* bytes = static_cast<unsigned char*>(buffer);
  while (read_size < size) {
    const ssize_t count = ::pread(descriptor, bytes + read_size, size - read_size,
                                  static_cast<off_t>(offset + static_cast<int64_t>(read_size)));
    if (count < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (count == 0) break;
    read_size += static_cast<size_t>(count);
  }
  return 0;
}

int write_at(int descriptor, int64_t offset, const void* data, size_t size) {
  // The store is written in place, where the bytes lie; pwrite needs no seek
  // that another write could come between.
  if (offset < 0) return EINVAL;
  const auto* bytes = static_cast<const unsigned char*>(data);
  size_t written = 0;
  while (written < size) {
    const ssize_t count = ::pwrite(descriptor, bytes + written, size - written,
                                   static_cast<off_t>(offset + static_cast<int64_t>(written)));
    if (count < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    // A regular file never takes zero bytes without an error; do not spin.
    if (count == 0) return EIO;
    written += static_cast<size_t>(count);
  }
  return 0;
}

int file_length(int descriptor, int64_t& length) {
  // Asked of the file every time: other processes may have appended.
  struct stat status;
  if (::fstat(descriptor, &status) != 0) return errno;
  length = static_cast<int64_t>(status.st_size);
  return 0;
}

int set_file_length(int descriptor, int64_t length) {
  if (length < 0) return EINVAL;
  while (::ftruncate(descriptor, static_cast<off_t>(length)) != 0) {
    if (errno != EINTR) return errno;
  }
  return 0;
}

int close_file(int descriptor) {
  // Closing the last descriptor of the open file also drops its OFD locks.
  // Not retried on EINTR: on Linux the descriptor is gone either way.
  return ::close(descriptor) == 0 ? 0 : errno;
}

namespace {

int set_lock(int descriptor, short type, int64_t offset, int64_t length) {
  // Open-file-description locks, not classic POSIX ones: classic locks belong
  // to the process, so they never conflict within it, and closing any other
  // descriptor of the file drops them all. OFD locks behave like the
  // per-handle locks the store's protocol was made for. F_OFD_SETLK never
  // waits; the caller decides about retrying.
  struct flock region = {};
  region.l_type = type;
  region.l_whence = SEEK_SET;
  region.l_start = static_cast<off_t>(offset);
  region.l_len = static_cast<off_t>(length);
  region.l_pid = 0;  // required for OFD locks
  while (::fcntl(descriptor, F_OFD_SETLK, &region) != 0) {
    if (errno != EINTR) return errno;
  }
  return 0;
}

}  // namespace

int lock_byte_range(int descriptor, int64_t offset, int64_t length) {
  return set_lock(descriptor, F_WRLCK, offset, length);
}

int unlock_byte_range(int descriptor, int64_t offset, int64_t length) {
  return set_lock(descriptor, F_UNLCK, offset, length);
}

bool is_lock_conflict(int error) {
  return error == EAGAIN || error == EACCES;
}

int64_t monotonic_milliseconds() {
  // CLOCK_MONOTONIC: a wall clock set back during a wait must not stretch it.
  struct timespec now;
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

void sleep_before_lock_retry() {
  const int64_t pause_ms = 20 + monotonic_milliseconds() % 20;
  struct timespec remaining = {0, static_cast<long>(pause_ms * 1000000)};
  // A signal cuts the sleep short; sleep the rest.
  while (::nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
  }
}

int32_t store_error_from_errno(int error) {
  switch (error) {
    case ENOENT:
      return store_file_not_found;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
      return store_invalid_path;
    case EMFILE:
    case ENFILE:
      return store_too_many_open_files;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ETXTBSY:
    case ENXIO:
    case ENODEV:
      return store_access_denied;
    case EBADF:
      return store_invalid_file_handle;
    case EMLINK:
      return store_directory_full;
    case ESPIPE:
    case EOVERFLOW:
    case EINVAL:  // from these calls only for a position out of range
      return store_seek_failed;
    case EIO:
      return store_hardware_failure;
    case EAGAIN:
    case ENOLCK:
      return store_lock_violation;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return store_disk_full;
    default:
      return store_unclassified_error;
  }
}

}  // namespace vorpane
