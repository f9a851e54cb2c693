#include "shell/skin.h"

#include "shell/program_files.h"

#include <dlfcn.h>

#include <algorithm>
#include <memory>

#include "shell/loadable_library.h"
#include "shell/skin_embedded.h"

namespace vorpane {
namespace {

// The engine's entry: skin data, its length, a password and three numbers.
using AttachEntry = int (*)(const unsigned char*, int, const char*, int, int, int);

constexpr char empty_password[] = "";

}  // namespace

std::span<const unsigned char> skin_library_data() {
  return embedded::skin_library;
}

std::span<const unsigned char> skin_data(int32_t number) {
  if (number < 1 || number > skin_count) return {};
  return embedded::skins[static_cast<size_t>(number - 1)];
}

void ensure_skin_library(const NativePath& run_directory) {
  const NativePath path = skin_library_path(run_directory);
  if (path_exists(path)) return;
  // write_whole_file renames a finished file into place: another copy of the
  // program may have a library of this name mapped, and rewriting that file in
  // place would change code under its feet.
  const std::span<const unsigned char> library = skin_library_data();
  if (write_whole_file(path, Bytes(library.begin(), library.end()))) {
    mark_hidden(run_directory, skin_library_file_name);
  }
}

SkinSetup apply_skin(const NativePath& run_directory, int32_t number) {
  ensure_skin_library(run_directory);

  const NativePath path = skin_library_path(run_directory);
  // A damaged file would take the whole program down inside dlopen.
  if (!is_whole_shared_library(path)) return SkinSetup::library_not_loaded;
  // The full path makes dlopen load exactly the file in the run directory: a
  // bare name would be searched for in LD_LIBRARY_PATH and the system
  // directories, never beside the program. RTLD_NOW reports a library with
  // unresolved symbols here instead of in the middle of the call; RTLD_LOCAL
  // keeps its symbols out of every later lookup.
  void* library = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) return SkinSetup::library_not_loaded;
  const auto entry = reinterpret_cast<AttachEntry>(::dlsym(library, "SkinH_AttachRes"));
  if (entry == nullptr) {
    ::dlclose(library);
    return SkinSetup::entry_missing;
  }

  const std::span<const unsigned char> skin = skin_data(number);
  std::unique_ptr<unsigned char[]> copy;
  if (!skin.empty()) {
    copy = std::make_unique_for_overwrite<unsigned char[]>(skin.size());
    std::copy(skin.begin(), skin.end(), copy.get());
  }
  entry(copy.get(), static_cast<int>(skin.size()), empty_password, 0, 0, 0);
  // The engine has taken what it keeps; the copy is not needed any more.
  copy.reset();

  // The library is not closed: the palette and style sheet it set are in use
  // by every window until the program ends, and the engine may refer to its
  // own code and data from them.
  return SkinSetup::engine_called;
}

}  // namespace vorpane
