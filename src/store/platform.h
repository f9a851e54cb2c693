// The program's contact with the file system, kept in one place.
//
// Paths are native: the file system's own bytes (UTF-8 here), never code
// page 936. Every function reports failure through its result.
#pragma once

#include <cstddef>
#include <cstdint>
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

// The record store's file calls. Each returns 0 or the errno value of the
// call that failed; store_error_from_errno turns that into a store code.

// Which file a path names, whatever the spelling of the path.
struct FileIdentity {
  uint64_t device = 0;
  uint64_t inode = 0;
  bool operator==(const FileIdentity&) const = default;
};

// The absolute path with every link, "." and ".." resolved; the file must exist.
int resolve_full_path(const NativePath& path, NativePath& full_path);

int identify_file(const NativePath& path, FileIdentity& identity);

// Opens an existing regular file for reading and writing, with no restriction
// on what other processes may do with it. Anything but a regular file is
// refused with EACCES or EISDIR.
int open_shared_file(const NativePath& path, int& descriptor, FileIdentity& identity);

// Opens a regular file for writing, creating it when missing; its content is
// left as it was.
int open_new_file(const NativePath& path, int& descriptor);

// Reads up to `size` bytes at `offset`; `read_size` falls short only at the
// end of the file.
int read_at(int descriptor, int64_t offset, void* buffer, size_t size, size_t& read_size);

// Writes all `size` bytes at `offset`.
int write_at(int descriptor, int64_t offset, const void* data, size_t size);

int file_length(int descriptor, int64_t& length);
int set_file_length(int descriptor, int64_t length);
int close_file(int descriptor);

// Exclusive byte-range locks that belong to the open file: they conflict with
// locks of every other open of the file, in this process too, and last until
// unlocked or until this open is closed. Never waits.
int lock_byte_range(int descriptor, int64_t offset, int64_t length);
int unlock_byte_range(int descriptor, int64_t offset, int64_t length);

// True when a lock call failed only because someone else holds the range.
bool is_lock_conflict(int error);

// Milliseconds of a clock that never jumps, for lock retry limits.
int64_t monotonic_milliseconds();

// The pause between two attempts at a held lock: 20 to 39 ms, varied so that
// processes that collided do not retry in step.
void sleep_before_lock_retry();

// The store code for an errno value: the kind of file error it reports.
int32_t store_error_from_errno(int error);

}  // namespace vorpane
