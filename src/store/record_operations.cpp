// The record operations on the current store: finding the end, appending a
// blank record and writing one field.
#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <new>

#include "store/platform.h"
#include "store/record_store.h"
#include "store/store_format.h"
#include "store/store_locks.h"
#include "store/store_state.h"

namespace vorpane {
namespace {

// The record count and the next record number, read from the file under the
// header lock: other processes may have appended since the last look.
bool read_counts(const RecordStore& store, int32_t& record_count, int32_t& next_record_number) {
  unsigned char counts[counts_size];
  size_t read_size = 0;
  if (read_at(store.file, counts_offset, counts, sizeof counts, read_size) != 0 ||
      read_size < sizeof counts) {
    return false;
  }
  record_count = get_int32(counts);
  next_record_number = get_int32(counts + 4);
  return true;
}

// go_to_last_record waits at least 2000 ms for the header lock, so that a
// save outlasts another process's short append; -1 (no limit) counts as less.
int32_t last_record_wait_limit(int32_t lock_wait_ms) {
  constexpr int32_t shortest_wait_ms = 2000;
  return lock_wait_ms < shortest_wait_ms ? shortest_wait_ms : lock_wait_ms;
}

// Gives up the lock of the record that add_blank_record left held.
void stop_filling(RecordStore& store) {
  if (store.filling_record == no_current_record) return;
  release_lock(store, record_position(store, store.filling_record));
  store.filling_record = no_current_record;
}

int32_t find_last_record(RecordStore& store) {
  stop_filling(store);
  const ScopedLock header(store, header_lock_position, 1,
                          last_record_wait_limit(store_registry().lock_wait_ms));
  if (header.code() != store_ok) return header.code();
  int32_t record_count = 0;
  int32_t next_record_number = 0;
  if (!read_counts(store, record_count, next_record_number)) return store_record_count_failed;
  store.current_record = record_count > 0 ? record_count - 1 : 0;
  return store_ok;
}

int32_t write_blank_record(RecordStore& store, int64_t position, int32_t record_count,
                           int32_t next_record_number) {
  int64_t length = 0;
  if (const int error = file_length(store.file, length)) return store_error_from_errno(error);
  if (position > length) return store_seek_failed;
  const auto record_length = static_cast<size_t>(store.header.record_length);
  const std::unique_ptr<unsigned char[]> blank(new (std::nothrow) unsigned char[record_length]());
  if (blank == nullptr) return store_out_of_memory;
  put_int32(blank.get(), next_record_number);
  if (const int error = write_at(store.file, position, blank.get(), record_length)) {
    return store_error_from_errno(error);
  }
  unsigned char counts[counts_size];
  put_int32(counts, record_count + 1);
  put_int32(counts + 4, next_record_number + 1);
  if (const int error = write_at(store.file, counts_offset, counts, sizeof counts)) {
    return store_error_from_errno(error);
  }
  return store_ok;
}

int32_t append_blank_record(RecordStore& store) {
  stop_filling(store);
  const int32_t lock_wait_ms = store_registry().lock_wait_ms;
  const ScopedLock header(store, header_lock_position, 1, lock_wait_ms);
  if (header.code() != store_ok) return header.code();
  int32_t record_count = 0;
  int32_t next_record_number = 0;
  if (!read_counts(store, record_count, next_record_number)) return store_record_count_failed;
  if (record_count < 0) record_count = 0;
  if (next_record_number < 1) next_record_number = 1;
  // Both are int32 in the file; one more would wrap around. A record shorter
  // than its number (a damaged head) cannot be written at all.
  if (record_count == INT32_MAX || next_record_number == INT32_MAX ||
      store.header.record_length < record_number_size) {
    return store_record_write_failed;
  }

  const int64_t position = record_position(store, record_count);
  if (const int32_t locked = acquire_lock(store, position, 1, lock_wait_ms)) return locked;
  if (const int32_t code = write_blank_record(store, position, record_count, next_record_number)) {
    release_lock(store, position);
    return code;
  }
  store.current_record = record_count;
  store.filling_record = record_count;
  return store_ok;
}

template <typename Integer>
Integer saturate(int64_t value) {
  if (value < std::numeric_limits<Integer>::min()) return std::numeric_limits<Integer>::min();
  if (value > std::numeric_limits<Integer>::max()) return std::numeric_limits<Integer>::max();
  return static_cast<Integer>(value);
}

int64_t real_to_integer(double value) {
  constexpr double two_to_63 = 9223372036854775808.0;
  if (std::isnan(value)) return 0;
  if (value >= two_to_63) return std::numeric_limits<int64_t>::max();
  if (value < -two_to_63) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(std::round(value));
}

void put_little_endian(unsigned char* bytes, uint64_t value, size_t size) {
  for (size_t i = 0; i < size; ++i)
    bytes[i] = static_cast<unsigned char>(value >> (8 * i));
}

bool is_number(const FieldValue& value) {
  return value.kind == FieldValue::Kind::integer || value.kind == FieldValue::Kind::real;
}

bool value_fits_type(const FieldValue& value, int32_t type) {
  switch (type) {
    case field_int8:
    case field_int16:
    case field_int32:
    case field_int64:
    case field_float32:
    case field_float64:
      return is_number(value);
    case field_logical:
      return value.kind == FieldValue::Kind::logical;
    case field_date_time:
      return value.kind == FieldValue::Kind::date_time;
    case field_text:
      return value.kind == FieldValue::Kind::text;
    default:
      return false;
  }
}

// The field's bytes in the record; `value` fits the field's type.
void encode_value(const FieldDescriptor& field, const FieldValue& value, unsigned char* bytes) {
  const int64_t as_integer =
      value.kind == FieldValue::Kind::real ? real_to_integer(value.real) : value.integer;
  const double as_real =
      value.kind == FieldValue::Kind::integer ? static_cast<double>(value.integer) : value.real;
  switch (field.type) {
    case field_int8:
      put_little_endian(bytes, static_cast<uint8_t>(saturate<int8_t>(as_integer)), 1);
      break;
    case field_int16:
      put_little_endian(bytes, static_cast<uint16_t>(saturate<int16_t>(as_integer)), 2);
      break;
    case field_int32:
      put_little_endian(bytes, static_cast<uint32_t>(saturate<int32_t>(as_integer)), 4);
      break;
    case field_int64:
      put_little_endian(bytes, static_cast<uint64_t>(as_integer), 8);
      break;
    case field_float32:
      put_little_endian(bytes, std::bit_cast<uint32_t>(static_cast<float>(as_real)), 4);
      break;
    case field_float64:
    case field_date_time:
      put_little_endian(bytes, std::bit_cast<uint64_t>(as_real), 8);
      break;
    case field_logical:
      bytes[0] = value.logical ? 1 : 0;
      break;
    case field_text: {
      // A text ends at its first zero byte; the field takes at most its width
      // of it, cut by bytes, and zero bytes after it.
      const size_t width = static_cast<size_t>(field.width);
      const size_t text_length = std::min(value.text.find('\0'), value.text.size());
      std::memcpy(bytes, value.text.data(), std::min(text_length, width));
      break;
    }
    default:
      break;
  }
}

int32_t write_value(RecordStore& store, const FieldDescriptor& field, const FieldValue& value) {
  if (!value_fits_type(value, field.type)) return store_value_type_mismatch;
  if (store.current_record < 0) return store_no_current_record;
  // A field that reaches beyond its record (a damaged or foreign file) would
  // overwrite the record number or the next record.
  const int64_t size = field_size(field.type, field.width);
  if (field.offset < record_number_size || field.offset + size > store.header.record_length) {
    return store_field_write_failed;
  }
  const int64_t record_start = record_position(store, store.current_record);
  // Only counts one more holder when this is the record being filled.
  const ScopedLock record(store, record_start, 1, store_registry().lock_wait_ms);
  if (record.code() != store_ok) return record.code();
  const int64_t position = record_start + field.offset;
  // The record being filled was written whole under its lock, which it has
  // kept since, and an open or a creation elsewhere needs the whole file:
  // the record is still there. Any other record may have been cut away.
  if (store.current_record != store.filling_record) {
    int64_t length = 0;
    if (const int error = file_length(store.file, length)) return store_error_from_errno(error);
    // Never past the end: a field write must not grow the file.
    if (position + size > length) return store_no_current_record;
  }

  const std::unique_ptr<unsigned char[]> bytes(
      new (std::nothrow) unsigned char[static_cast<size_t>(size)]());
  if (bytes == nullptr) return store_field_write_failed;
  encode_value(field, value, bytes.get());
  if (const int error = write_at(store.file, position, bytes.get(), static_cast<size_t>(size))) {
    return store_error_from_errno(error);
  }
  return store_ok;
}

int32_t write_numbered_field(int32_t field_number, const FieldValue& value) {
  RecordStore* store = current_store();
  if (store == nullptr) return store_not_open;
  if (field_number < 1 || static_cast<size_t>(field_number) > store->fields.size()) {
    return store_no_such_field;
  }
  return write_value(*store, store->fields[static_cast<size_t>(field_number) - 1], value);
}

int32_t write_named_field(TextView field_name, const FieldValue& value) {
  RecordStore* store = current_store();
  if (store == nullptr) return store_not_open;
  for (const FieldDescriptor& field : store->fields) {
    if (field_names_equal(field.name, field_name)) return write_value(*store, field, value);
  }
  return store_no_such_field;
}

}  // namespace

FieldValue FieldValue::of_text(TextView text) {
  FieldValue value;
  value.kind = Kind::text;
  value.text = Text(text);
  return value;
}

FieldValue FieldValue::of_integer(int64_t number) {
  FieldValue value;
  value.kind = Kind::integer;
  value.integer = number;
  return value;
}

FieldValue FieldValue::of_real(double number) {
  FieldValue value;
  value.kind = Kind::real;
  value.real = number;
  return value;
}

FieldValue FieldValue::of_logical(bool truth) {
  FieldValue value;
  value.kind = Kind::logical;
  value.logical = truth;
  return value;
}

FieldValue FieldValue::of_date_time(double ole_automation_date) {
  FieldValue value;
  value.kind = Kind::date_time;
  value.real = ole_automation_date;
  return value;
}

int32_t go_to_last_record() {
  RecordStore* store = current_store();
  if (store == nullptr) return finish_store_operation(store_no_current_store);
  return finish_store_operation(find_last_record(*store));
}

int32_t add_blank_record() {
  RecordStore* store = current_store();
  if (store == nullptr) return finish_store_operation(store_no_current_store);
  const int32_t code = append_blank_record(*store);
  if (code != store_ok) store->current_record = no_current_record;
  return finish_store_operation(code);
}

int32_t write_field(int32_t field_number, TextView text) {
  return write_field(field_number, FieldValue::of_text(text));
}

int32_t write_field(TextView field_name, TextView text) {
  return write_field(field_name, FieldValue::of_text(text));
}

int32_t write_field(int32_t field_number, const FieldValue& value) {
  return finish_store_operation(write_numbered_field(field_number, value));
}

int32_t write_field(TextView field_name, const FieldValue& value) {
  return finish_store_operation(write_named_field(field_name, value));
}

}  // namespace vorpane
