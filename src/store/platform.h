// The program's contact with the file system, kept in one place.
//
// Paths are native: the file system's own bytes (UTF-8 here), never code
// page 936. Every function reports failure through its result.
#pragma once

#include <string>
#include <string_view>

#include "web/text.h"

namespace vorpane {

using NativePath = std::string;

// `directory`, a slash and `name`.
NativePath join_path(std::string_view directory, std::string_view name);

// The directory that holds the running program, without a trailing slash.
NativePath executable_directory();

// True when a file, directory or anything else of that name exists.
bool path_exists(const NativePath& path);

enum class ReadResult { ok, missing, failed };

// Reads the whole file into `content`; `content` is left empty unless ok.
ReadResult read_whole_file(const NativePath& path, Bytes& content);

// Replaces the file's content with `content`, creating it when missing. The
// new content goes into a temporary file beside it that is then renamed over
// it, so a failure part-way leaves the old content whole.
bool write_whole_file(const NativePath& path, const Bytes& content);

// Adds `name` to the `.hidden` list of `directory`, which the Linux file
// managers read to hide files, unless it is listed already.
bool mark_hidden(const NativePath& directory, std::string_view name);

}  // namespace vorpane
