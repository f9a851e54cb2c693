#include "store/platform.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>

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

}  // namespace vorpane
