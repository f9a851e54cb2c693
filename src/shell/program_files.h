// The files the program keeps in its run directory, named in one place.
//
// Names and paths are native (UTF-8), built with `join_path` from the run
// directory, which is itself kept as the file system's own bytes.
#pragma once

#include <string_view>

#include "store/platform.h"

namespace vorpane {

inline constexpr std::string_view store_file_name = "db.edb";
inline constexpr std::string_view settings_file_name = "info.ini";
inline constexpr std::string_view export_file_name = "公开群.txt";
inline constexpr std::string_view skin_library_file_name = "SkinH_EL.dll";

inline NativePath store_path(std::string_view run_directory) {
  return join_path(run_directory, store_file_name);
}

inline NativePath settings_path(std::string_view run_directory) {
  return join_path(run_directory, settings_file_name);
}

inline NativePath export_path(std::string_view run_directory) {
  return join_path(run_directory, export_file_name);
}

inline NativePath skin_library_path(std::string_view run_directory) {
  return join_path(run_directory, skin_library_file_name);
}

}  // namespace vorpane
