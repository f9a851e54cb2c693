// A fresh directory for one test, removed with everything in it at the end.
#pragma once

#include <string_view>

#include "store/platform.h"

namespace vorpane {

class TemporaryDirectory {
 public:
  TemporaryDirectory();
  ~TemporaryDirectory();
  TemporaryDirectory(const TemporaryDirectory&) = delete;
  TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;

  const NativePath& path() const { return path_; }
  // Creates a directory of that name inside and returns its path.
  NativePath make_subdirectory(std::string_view name) const;

 private:
  NativePath path_;
};

}  // namespace vorpane
