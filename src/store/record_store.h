// The record store: one file of fixed-length records whose head describes the
// fields of every record, appended to in place by several processes at once.
//
// Layout, all integers little-endian: a 112-byte head ("WEDB", version
// 0x00010000, creation time as an OLE Automation date, record count, next
// record number, record length, 84 zero bytes), the field count at 112, one
// 72-byte field descriptor per field from 116, then the records. A record is
// its number (int32) followed by its fields at their descriptors' offsets; a
// text field holds the text cut to the width and padded with zero bytes.
//
// Every operation but close_store yields a StoreError code, 0 for success, and
// keeps it as the calling thread's last_store_error(). The record operations
// act on the registry's current store and read and write the file directly,
// so appends of other processes are seen at once. Use the store from one
// thread at a time.
//
// Processes keep apart through exclusive byte locks on the store file: byte 16
// (the header lock) serialises appends, the first byte of a record guards that
// record, and an open locks the whole file while it reads and repairs the head.
// A conflict is retried as the registry's lock_wait_ms allows (default 0: not
// at all) and otherwise fails with store_lock_violation. A forked child must
// open stores of its own: a store inherited over fork shares the parent's locks.
#pragma once

#include <cstdint>
#include <vector>

#include "store/platform.h"
#include "store/store_error.h"
#include "web/text.h"

namespace vorpane {

enum FieldType : int32_t {
  field_int8 = 1,
  field_int16 = 2,
  field_int32 = 3,
  field_int64 = 4,
  field_float32 = 5,
  field_float64 = 6,
  field_logical = 7,
  field_date_time = 8,
  field_routine = 9,
  field_text = 10,  // fixed width of 1 to 1024 bytes
  field_byte_set = 11,
  field_memo = 12,
};

// One field for create_store; the width counts for text fields only.
struct FieldSpec {
  Text name;
  int32_t type = field_text;
  int32_t width = 0;
};

// A value for write_field. Text goes into text fields; integers and reals go
// into the numeric fields (1 to 6), converted to the field's kind with
// saturation; logical values into logical fields, OLE Automation dates into
// date fields. Routine, byte-set and memo fields take no value.
struct FieldValue {
  enum class Kind { text, integer, real, logical, date_time };
  Kind kind = Kind::text;
  Text text;
  int64_t integer = 0;
  double real = 0;  // the number, or the date for date_time
  bool logical = false;

  static FieldValue of_text(TextView text);
  static FieldValue of_integer(int64_t value);
  static FieldValue of_real(double value);
  static FieldValue of_logical(bool value);
  static FieldValue of_date_time(double ole_automation_date);
};

// The head of a store file as read at open.
struct StoreHeader {
  int32_t version = 0;
  double creation_time = 0;
  int32_t record_count = 0;
  int32_t next_record_number = 0;
  int32_t record_length = 0;
};

struct FieldDescriptor {
  Text name;                     // the bytes before the first zero byte
  bool name_terminated = false;  // a zero byte occurs within the 17 name bytes
  int32_t type = 0;
  int32_t offset = 0;  // within the record
  int32_t width = 0;   // text fields only
};

// A byte lock this store holds, with the holders beyond the first.
struct HeldLock {
  int64_t position = 0;
  int64_t length = 0;
  int32_t additional_holders = 0;
};

inline constexpr int64_t no_current_record = -1;

// One open store. Locks are always taken: the store is always opened with no
// sharing restriction.
struct RecordStore {
  int file = -1;
  FileIdentity identity;
  NativePath full_path;  // as realpath reports it
  NativePath bare_name;  // the file name without directory and extension
  std::vector<HeldLock> locks;
  StoreHeader header;
  std::vector<FieldDescriptor> fields;
  int64_t data_start = 0;
  // 0-based; no_current_record after an add_blank_record that failed.
  int64_t current_record = 0;
  // The record this store appended last, whose lock it keeps while the
  // record's fields are written; no_current_record when there is none.
  int64_t filling_record = no_current_record;
};

// The stores open in this process, oldest first.
struct StoreRegistry {
  std::vector<RecordStore> stores;
  int current = -1;  // index into stores, -1 when none is current
  // How long a lock conflict is retried: 0 not at all, -1 without limit.
  int32_t lock_wait_ms = 0;
};

StoreRegistry& store_registry();

// The code of the calling thread's last store operation.
int32_t last_store_error();

// Closes every store and restores the defaults, for tests; safe in a forked
// child, whose inherited stores it drops without touching the parent's locks.
void reset_store_registry_for_testing();

// Creates an empty store file, replacing any file of that name; it is not
// opened. A path without "." in its last component gets ".EDB", one ending in
// "." gets "EDB". Fields after the first one without a name are ignored. A
// name is 1 to 16 bytes of letters, digits (not first), "_" and Chinese
// characters; names are compared with ASCII letter case ignored.
int32_t create_store(const NativePath& path, const std::vector<FieldSpec>& fields);

// Opens an existing store for reading and writing and makes it current, with
// current record 0. The head is checked; a file that claims more records than
// it holds has its count lowered, and the file is cut to its exact length.
// A store open already in this process gives store_already_open, whatever
// the spelling of the path: the resolved path or the file itself is the
// same. Letter case counts: on Linux "DB.edb" and "db.edb" are two files.
int32_t open_store(const NativePath& path);

// Closes the current store when `name` is empty, otherwise the newest open
// store whose bare name matches (ASCII case ignored) or whose full path is
// `name` or what `name` resolves to. Nothing happens when none matches.
void close_store(std::string_view name);

// Current record := the last record of the file (0 when it has none). Waits
// up to 2000 ms for the header lock, longer when lock_wait_ms says so.
int32_t go_to_last_record();

// Appends a blank record (the next record number, zero bytes) and makes it
// current. The new record's lock stays held until the next go_to_last_record,
// add_blank_record or close_store, so that no other process's open or
// creation can cut the file while the record's fields are written. On any
// failure the store has no current record, so that a following write_field
// fails with store_no_current_record instead of writing into a record that
// another writer owns.
int32_t add_blank_record();

// Writes one field of the current record; fields count from 1, names are
// compared with ASCII letter case ignored. A text is cut to the field's width
// by bytes and padded with zero bytes. A field is never written outside its
// record, nor past the end of the file.
int32_t write_field(int32_t field_number, TextView text);
int32_t write_field(TextView field_name, TextView text);
int32_t write_field(int32_t field_number, const FieldValue& value);
int32_t write_field(TextView field_name, const FieldValue& value);

}  // namespace vorpane
