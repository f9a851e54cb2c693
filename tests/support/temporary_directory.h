// A fresh directory for one test, removed with everything in it at the end.
#pragma once

#include <string_view>

#include "store/platform.h"

namespace vorpane {

class TemporaryDirectory {
 public:
  // The directory's name starts with `prefix`, which may hold spaces and any
  // characters the file system takes.
  explicit TemporaryDirectory(std::string_view prefix = "vorpane-test");
  ~TemporaryDirectory();
  TemporaryDirectory(const TemporaryDirectory&) = delete;
  TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;

  // Resolved, so that it compares equal to the full paths the program reports.
  const NativePath& path() const { return path_; }
  NativePath file(std::string_view name) const { return join_path(path_, name); }
  // Creates a directory of that name inside and returns its path.
  NativePath make_subdirectory(std::string_view name) const;

 private:
  NativePath path_;
};

}  // namespace vorpane
