// Creating and opening store files.
#include "store/record_store.h"

#include <climits>
#include <memory>
#include <new>
#include <set>

#include "store/platform.h"
#include "store/store_format.h"
#include "store/store_locks.h"
#include "store/store_state.h"

namespace vorpane {
namespace {

// The field table of a new store, laid out one field after the other.
int32_t lay_out_fields(const std::vector<FieldSpec>& fields,
                       std::vector<FieldDescriptor>& descriptors, int32_t& record_length) {
  if (fields.empty()) return store_no_fields;
  int64_t length = record_number_size;
  for (const FieldSpec& field : fields) {
    if (field.name.empty()) break;
    if (!is_valid_field_name(field.name)) return store_invalid_field_name;
    if (field.type < field_int8 || field.type > field_memo) return store_invalid_field_type;
    if (field.type == field_text && (field.width < 1 || field.width > widest_text_field)) {
      return store_invalid_field_size;
    }
    FieldDescriptor descriptor;
    descriptor.name = field.name;
    descriptor.name_terminated = true;
    descriptor.type = field.type;
    descriptor.offset = static_cast<int32_t>(length);
    descriptor.width = field.type == field_text ? field.width : 0;
    descriptors.push_back(descriptor);
    length += field_size(field.type, field.width);
    // Offsets and the record length are int32 in the file.
    if (length > INT32_MAX) return store_invalid_field_size;
  }
  if (descriptors.empty()) return store_no_fields;
  std::set<Text> seen;
  for (const FieldDescriptor& descriptor : descriptors) {
    if (!seen.insert(to_lower(descriptor.name)).second) return store_duplicate_field_name;
  }
  record_length = static_cast<int32_t>(length);
  return store_ok;
}

int32_t write_new_store(const NativePath& path, const Bytes& head) {
  RecordStore creating;
  if (const int error = open_new_file(path, creating.file)) return store_error_from_errno(error);
  int32_t code = store_ok;
  {
    // Held while the file is emptied and written: a process that is opening
    // or appending to a store of this name finishes first, or this fails.
    const ScopedLock whole_file(creating, 0, whole_file_lock_length, store_registry().lock_wait_ms);
    code = whole_file.code();
    if (code == store_ok) {
      if (const int error = set_file_length(creating.file, 0)) {
        code = store_error_from_errno(error);
      } else if (write_at(creating.file, 0, head.data(), head.size()) != 0) {
        code = store_create_failed;
      }
    }
  }
  if (close_file(creating.file) != 0 && code == store_ok) code = store_create_failed;
  return code;
}

int32_t create(const NativePath& path, const std::vector<FieldSpec>& fields) {
  if (path.empty()) return store_file_not_found;
  std::vector<FieldDescriptor> descriptors;
  StoreHeader header;
  if (const int32_t code = lay_out_fields(fields, descriptors, header.record_length)) return code;
  header.version = store_version;
  header.creation_time = current_ole_automation_date();
  header.record_count = 0;
  header.next_record_number = 1;
  return write_new_store(complete_store_path(path), encode_store_head(header, descriptors));
}

bool is_open_already(const NativePath& full_path, const FileIdentity& identity) {
  // Paths that differ in letter case name different files here, so the test
  // is the exact resolved path or, for any other link to the file, its
  // identity.
  for (const RecordStore& open : store_registry().stores) {
    if (open.full_path == full_path || open.identity == identity) return true;
  }
  return false;
}

// Reads and checks the head under the whole-file lock, repairing the record
// count and the file length on the way.
int32_t read_store_head(RecordStore& store) {
  const ScopedLock whole_file(store, 0, whole_file_lock_length, store_registry().lock_wait_ms);
  if (whole_file.code() != store_ok) return whole_file.code();

  unsigned char head[header_size];
  size_t read_size = 0;
  if (read_at(store.file, 0, head, sizeof head, read_size) != 0) return store_open_failed;
  if (read_size < sizeof head || !has_store_magic(head)) return store_not_a_store_file;
  StoreHeader header = decode_header(head);
  if (header.record_length <= 0 || header.record_count < 0 || header.next_record_number < 1) {
    return store_not_a_store_file;
  }
  if (header.version > store_version) return store_version_too_high;

  unsigned char count_bytes[4];
  if (read_at(store.file, field_count_offset, count_bytes, sizeof count_bytes, read_size) != 0) {
    return store_open_failed;
  }
  const int32_t field_count = get_int32(count_bytes);
  if (read_size < sizeof count_bytes || field_count <= 0) return store_not_a_store_file;

  int64_t length = 0;
  if (file_length(store.file, length) != 0) return store_open_failed;
  const int64_t table_size = descriptor_size * field_count;
  const int64_t data_start = field_table_offset + table_size;
  // A table longer than the file is missing bytes; known before reading it,
  // so a wild count costs no memory.
  if (data_start > length) return store_not_a_store_file;
  const std::unique_ptr<unsigned char[]> table(
      new (std::nothrow) unsigned char[static_cast<size_t>(table_size)]);
  if (table == nullptr) return store_open_failed;
  if (read_at(store.file, field_table_offset, table.get(), static_cast<size_t>(table_size),
              read_size) != 0) {
    return store_open_failed;
  }
  if (read_size < static_cast<size_t>(table_size)) return store_not_a_store_file;

  const int64_t records_present = (length - data_start) / header.record_length;
  if (records_present < header.record_count) {
    header.record_count = static_cast<int32_t>(records_present);
    unsigned char lowered[4];
    put_int32(lowered, header.record_count);
    if (write_at(store.file, counts_offset, lowered, sizeof lowered) != 0) return store_open_failed;
  }
  const int64_t exact_length = data_start + header.record_count * int64_t{header.record_length};
  if (length != exact_length && set_file_length(store.file, exact_length) != 0) {
    return store_open_failed;
  }

  std::vector<FieldDescriptor> fields;
  fields.reserve(static_cast<size_t>(field_count));
  for (int32_t index = 0; index < field_count; ++index) {
    fields.push_back(decode_descriptor(table.get() + descriptor_size * index));
    if (!descriptor_is_valid(fields.back())) return store_not_a_store_file;
  }
  store.header = header;
  store.fields = std::move(fields);
  store.data_start = data_start;
  store.current_record = 0;
  return store_ok;
}

int32_t open(const NativePath& path) {
  if (path.empty()) return store_file_not_found;
  RecordStore store;
  if (const int error = resolve_full_path(complete_store_path(path), store.full_path)) {
    return store_error_from_errno(error);
  }
  FileIdentity identity;
  if (const int error = identify_file(store.full_path, identity)) {
    return store_error_from_errno(error);
  }
  if (is_open_already(store.full_path, identity)) return store_already_open;
  if (const int error = open_shared_file(store.full_path, store.file, store.identity)) {
    return store_error_from_errno(error);
  }
  if (const int32_t code = read_store_head(store)) {
    // Closing drops whatever locks the open still held.
    close_file(store.file);
    return code;
  }
  store.bare_name = bare_store_name(store.full_path);
  StoreRegistry& registry = store_registry();
  registry.stores.push_back(std::move(store));
  registry.current = static_cast<int>(registry.stores.size()) - 1;
  return store_ok;
}

}  // namespace

int32_t create_store(const NativePath& path, const std::vector<FieldSpec>& fields) {
  return finish_store_operation(create(path, fields));
}

int32_t open_store(const NativePath& path) {
  return finish_store_operation(open(path));
}

}  // namespace vorpane
