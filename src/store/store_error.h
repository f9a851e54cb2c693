// The result codes of the record store operations and their messages.
//
// Every operation yields 0 for success or one of the negative codes below.
// The codes are stored nowhere, but callers and messages rely on their values.
#pragma once

#include <cstdint>

#include "web/text.h"

namespace vorpane {

enum StoreError : int32_t {
  store_ok = 0,
  // Operating-system file errors, by kind.
  store_unclassified_error = -1,
  store_create_failed = -2,
  store_file_not_found = -3,
  store_invalid_path = -4,
  store_too_many_open_files = -5,
  store_access_denied = -6,
  store_invalid_file_handle = -7,
  store_remove_current_directory = -8,
  store_directory_full = -9,
  store_seek_failed = -10,
  store_hardware_failure = -11,
  store_sharing_violation = -12,
  store_lock_violation = -13,
  store_disk_full = -14,
  store_end_of_file = -15,
  // Failures of the operations themselves.
  store_no_fields = -16,
  store_invalid_field_type = -17,
  store_invalid_field_name = -18,
  store_invalid_field_size = -19,
  store_duplicate_field_name = -20,
  store_open_failed = -21,
  store_not_a_store_file = -22,
  store_version_too_high = -23,
  store_already_open = -38,
  store_out_of_memory = -45,
  store_field_write_failed = -47,
  store_no_current_record = -60,
  store_no_such_field = -61,
  store_record_write_failed = -63,
  store_record_count_failed = -65,
  store_not_open = -66,
  store_no_current_store = -67,
  store_value_type_mismatch = -72,
};

// The message of `code` in code page 936: empty for 0, the unclassified
// error's message for a code that is not listed above.
Text store_error_message(int32_t code);

}  // namespace vorpane
