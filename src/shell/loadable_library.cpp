#include "shell/loadable_library.h"

#include <elf.h>
#include <endian.h>
#include <fcntl.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <vector>

namespace vorpane {
namespace {

// More program headers than any real library has; a count beyond it is damage.
constexpr unsigned max_program_headers = 256;

class ReadOnlyFile {
 public:
  explicit ReadOnlyFile(const NativePath& path)
      : descriptor_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
  ReadOnlyFile(const ReadOnlyFile&) = delete;
  ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;
  ~ReadOnlyFile() {
    if (descriptor_ >= 0) ::close(descriptor_);
  }
  int get() const { return descriptor_; }

 private:
  int descriptor_;
};

// Exactly `size` bytes at `offset`, or false.
bool read_exactly(int descriptor, uint64_t offset, void* buffer, size_t size) {
  auto* bytes = static_cast<unsigned char*>(buffer);
  while (size > 0) {
    const ssize_t count = ::pread(descriptor, bytes, size, static_cast<off_t>(offset));
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return false;
    bytes += count;
    offset += static_cast<uint64_t>(count);
    size -= static_cast<size_t>(count);
  }
  return true;
}

// [offset, offset + length) lies inside a file of `file_size` bytes; written
// so that no sum can overflow.
bool inside(uint64_t offset, uint64_t length, uint64_t file_size) {
  return offset <= file_size && length <= file_size - offset;
}

}  // namespace

bool is_whole_shared_library(const NativePath& path) {
  const ReadOnlyFile file(path);
  if (file.get() < 0) return false;
  struct stat status;
  if (::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode)) return false;
  const auto file_size = static_cast<uint64_t>(status.st_size);

  ElfW(Ehdr) header;
  if (file_size < sizeof header || !read_exactly(file.get(), 0, &header, sizeof header)) {
    return false;
  }
  constexpr unsigned char own_class = sizeof(void*) == 8 ? ELFCLASS64 : ELFCLASS32;
  constexpr unsigned char own_byte_order =
      __BYTE_ORDER == __LITTLE_ENDIAN ? ELFDATA2LSB : ELFDATA2MSB;
  if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 || header.e_ident[EI_CLASS] != own_class ||
      header.e_ident[EI_DATA] != own_byte_order || header.e_ident[EI_VERSION] != EV_CURRENT ||
      header.e_type != ET_DYN) {
    return false;
  }
  if (header.e_phentsize != sizeof(ElfW(Phdr)) || header.e_phnum == 0 ||
      header.e_phnum > max_program_headers ||
      !inside(header.e_phoff, uint64_t{header.e_phnum} * sizeof(ElfW(Phdr)), file_size)) {
    return false;
  }

  std::vector<ElfW(Phdr)> program_headers(header.e_phnum);
  if (!read_exactly(file.get(), header.e_phoff, program_headers.data(),
                    program_headers.size() * sizeof(ElfW(Phdr)))) {
    return false;
  }
  bool has_load_segment = false;
  for (const ElfW(Phdr) & segment : program_headers) {
    if (!inside(segment.p_offset, segment.p_filesz, file_size)) return false;
    if (segment.p_type == PT_LOAD) has_load_segment = true;
  }
  return has_load_segment;
}

}  // namespace vorpane
