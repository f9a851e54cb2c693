#include "support/temporary_directory.h"

#include <stdlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace vorpane {

TemporaryDirectory::TemporaryDirectory(std::string_view prefix) {
  std::string pattern = (std::filesystem::temp_directory_path() / prefix).string() + "-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) {
    std::perror("mkdtemp");
    std::abort();
  }
  if (resolve_full_path(pattern, path_) != 0) path_ = pattern;
}

TemporaryDirectory::~TemporaryDirectory() {
  std::error_code ignored;
  // A test may have taken its own permissions away to provoke failures.
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ignored);
  std::filesystem::remove_all(path_, ignored);
}

NativePath TemporaryDirectory::make_subdirectory(std::string_view name) const {
  NativePath directory = join_path(path_, name);
  std::filesystem::create_directories(directory);
  return directory;
}

}  // namespace vorpane
