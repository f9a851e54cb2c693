// The byte layout of a store file and the rules for its names and paths,
// shared by the operations that read and write it.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "store/platform.h"
#include "store/record_store.h"
#include "web/text.h"

namespace vorpane {

inline constexpr int32_t store_version = 0x00010000;
inline constexpr int64_t header_size = 112;
inline constexpr int64_t counts_offset = 16;  // record count, next record number
inline constexpr int64_t counts_size = 8;
inline constexpr int64_t field_count_offset = 112;
inline constexpr int64_t field_table_offset = 116;
inline constexpr int64_t descriptor_size = 72;
inline constexpr int64_t record_number_size = 4;
inline constexpr size_t field_name_bytes = 17;
inline constexpr size_t longest_field_name = 16;
inline constexpr int32_t widest_text_field = 1024;

// The byte ranges of the lock protocol.
inline constexpr int64_t header_lock_position = 16;
inline constexpr int64_t whole_file_lock_length = 0x7FFFFFFF;

int32_t get_int32(const unsigned char* bytes);
void put_int32(unsigned char* bytes, int32_t value);

// The path with ".EDB" or "EDB" appended when its last component has no
// extension ("/" separates components; in UTF-8 neither "/" nor "." occurs
// inside a character).
NativePath complete_store_path(std::string_view path);

// The file name of a path without its directory and its extension.
NativePath bare_store_name(std::string_view path);

bool is_valid_field_name(TextView name);

// ASCII letter case ignored, double-byte characters compared as they are.
bool field_names_equal(TextView left, TextView right);

// Bytes a field of `type` takes in a record; 0 for a type outside 1 to 12.
int64_t field_size(int32_t type, int32_t width);

// Days since 1899-12-30 00:00 with the time of day as the fraction.
double ole_automation_date(int year, int month, int day, int hour, int minute, int second);

// The current local time in whole seconds, as an OLE Automation date.
double current_ole_automation_date();

// The head, the field count and the field table of a new store.
Bytes encode_store_head(const StoreHeader& header, const std::vector<FieldDescriptor>& fields);

// The 112 head bytes; the magic is checked apart.
bool has_store_magic(const unsigned char* bytes);
StoreHeader decode_header(const unsigned char* bytes);

FieldDescriptor decode_descriptor(const unsigned char* bytes);
bool descriptor_is_valid(const FieldDescriptor& descriptor);

}  // namespace vorpane
