#include "store/store_format.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <ctime>

namespace vorpane {
namespace {

constexpr unsigned char store_magic[4] = {'W', 'E', 'D', 'B'};

uint64_t get_uint64(const unsigned char* bytes) {
  uint64_t value = 0;
  for (int i = 7; i >= 0; --i)
    value = (value << 8) | bytes[i];
  return value;
}

void put_uint64(unsigned char* bytes, uint64_t value) {
  for (int i = 0; i < 8; ++i)
    bytes[i] = static_cast<unsigned char>(value >> (8 * i));
}

bool is_ascii_letter(unsigned char byte) {
  return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z');
}

bool is_ascii_digit(unsigned char byte) {
  return byte >= '0' && byte <= '9';
}

bool is_full_width_digit(unsigned code) {
  return code >= 0xA3B0 && code <= 0xA3B9;
}

bool is_valid_double_byte_name_character(unsigned char lead, unsigned char trail) {
  const unsigned code = (unsigned{lead} << 8) | trail;
  if ((lead >= 0x81 && lead <= 0xA0) || lead >= 0xAA) return true;
  if (is_full_width_digit(code)) return true;
  if (code > 0xA3C0 && code < 0xA3DB) return true;          // full-width capital letters
  if (code > 0xA3E0 && code <= 0xA3FA) return true;         // full-width small letters
  if (lead == 0xA4) return trail >= 0xA1 && trail <= 0xF3;  // hiragana
  if (lead == 0xA5) return trail >= 0xA1 && trail <= 0xF6;  // katakana
  return code == 0xA960;
}

// Howard Hinnant's days-from-civil: days since 1970-01-01 of a proleptic
// Gregorian date.
int64_t days_from_civil(int64_t year, int month, int day) {
  year -= month <= 2 ? 1 : 0;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t year_of_era = year - era * 400;
  const int64_t day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int64_t day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + day_of_era - 719468;
}

}  // namespace

int32_t get_int32(const unsigned char* bytes) {
  const uint32_t value = uint32_t{bytes[0]} | (uint32_t{bytes[1]} << 8) |
                         (uint32_t{bytes[2]} << 16) | (uint32_t{bytes[3]} << 24);
  return static_cast<int32_t>(value);
}

void put_int32(unsigned char* bytes, int32_t value) {
  const auto bits = static_cast<uint32_t>(value);
  for (int i = 0; i < 4; ++i)
    bytes[i] = static_cast<unsigned char>(bits >> (8 * i));
}

NativePath complete_store_path(std::string_view path) {
  const size_t slash = path.rfind('/');
  const std::string_view last_component =
      slash == std::string_view::npos ? path : path.substr(slash + 1);
  NativePath completed(path);
  if (last_component.find('.') == std::string_view::npos) {
    completed += ".EDB";
  } else if (path.back() == '.') {
    completed += "EDB";
  }
  return completed;
}

NativePath bare_store_name(std::string_view path) {
  const size_t slash = path.rfind('/');
  std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  const size_t dot = name.rfind('.');
  if (dot != std::string_view::npos) name = name.substr(0, dot);
  return NativePath(name);
}

bool is_valid_field_name(TextView name) {
  if (name.empty() || name.size() > longest_field_name) return false;
  const auto first = static_cast<unsigned char>(name[0]);
  if (is_ascii_digit(first) || first == '.') return false;
  if (first >= 0x80 && name.size() >= 2 &&
      is_full_width_digit((unsigned{first} << 8) | static_cast<unsigned char>(name[1]))) {
    return false;
  }
  for (size_t i = 0; i < name.size(); ++i) {
    const auto byte = static_cast<unsigned char>(name[i]);
    if (byte < 0x80) {
      if (!is_ascii_letter(byte) && !is_ascii_digit(byte) && byte != '_') return false;
      continue;
    }
    // A lead byte needs its second byte, and a zero byte would end the name
    // in the file.
    if (i + 1 >= name.size() || name[i + 1] == '\0') return false;
    if (!is_valid_double_byte_name_character(byte, static_cast<unsigned char>(name[i + 1]))) {
      return false;
    }
    ++i;
  }
  return true;
}

bool field_names_equal(TextView left, TextView right) {
  return left.size() == right.size() && to_lower(left) == to_lower(right);
}

int64_t field_size(int32_t type, int32_t width) {
  switch (type) {
    case field_int8:
    case field_logical:
      return 1;
    case field_int16:
      return 2;
    case field_int32:
    case field_float32:
    case field_routine:
    case field_byte_set:
    case field_memo:
      return 4;
    case field_int64:
    case field_float64:
    case field_date_time:
      return 8;
    case field_text:
      return width;
    default:
      return 0;
  }
}

double ole_automation_date(int year, int month, int day, int hour, int minute, int second) {
  const int64_t days = days_from_civil(year, month, day) - days_from_civil(1899, 12, 30);
  const double time_of_day = (hour * 3600 + minute * 60 + second) / 86400.0;
  // Before the epoch the whole days count down while the time of day still
  // counts up: -1.25 is 1899-12-29 06:00.
  return days >= 0 ? static_cast<double>(days) + time_of_day
                   : static_cast<double>(days) - time_of_day;
}

double current_ole_automation_date() {
  const std::time_t now = std::time(nullptr);
  std::tm local = {};
  if (::localtime_r(&now, &local) == nullptr) return 0;
  return ole_automation_date(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                             local.tm_min, local.tm_sec);
}

Bytes encode_store_head(const StoreHeader& header, const std::vector<FieldDescriptor>& fields) {
  Bytes head(static_cast<size_t>(field_table_offset + descriptor_size * fields.size()), 0);
  unsigned char* bytes = head.data();
  std::memcpy(bytes, store_magic, sizeof store_magic);
  put_int32(bytes + 4, header.version);
  put_uint64(bytes + 8, std::bit_cast<uint64_t>(header.creation_time));
  put_int32(bytes + 16, header.record_count);
  put_int32(bytes + 20, header.next_record_number);
  put_int32(bytes + 24, header.record_length);
  put_int32(bytes + field_count_offset, static_cast<int32_t>(fields.size()));
  unsigned char* descriptor = bytes + field_table_offset;
  for (const FieldDescriptor& field : fields) {
    std::memcpy(descriptor, field.name.data(), std::min(field.name.size(), longest_field_name));
    put_int32(descriptor + 20, field.type);
    put_int32(descriptor + 24, field.offset);
    put_int32(descriptor + 28, field.type == field_text ? field.width : 0);
    descriptor += descriptor_size;
  }
  return head;
}

bool has_store_magic(const unsigned char* bytes) {
  return std::memcmp(bytes, store_magic, sizeof store_magic) == 0;
}

StoreHeader decode_header(const unsigned char* bytes) {
  StoreHeader header;
  header.version = get_int32(bytes + 4);
  header.creation_time = std::bit_cast<double>(get_uint64(bytes + 8));
  header.record_count = get_int32(bytes + 16);
  header.next_record_number = get_int32(bytes + 20);
  header.record_length = get_int32(bytes + 24);
  return header;
}

FieldDescriptor decode_descriptor(const unsigned char* bytes) {
  FieldDescriptor descriptor;
  const auto* name = reinterpret_cast<const char*>(bytes);
  const void* zero = std::memchr(name, 0, field_name_bytes);
  descriptor.name_terminated = zero != nullptr;
  descriptor.name.assign(name, zero != nullptr ? static_cast<const char*>(zero) - name
                                               : static_cast<std::ptrdiff_t>(field_name_bytes));
  descriptor.type = get_int32(bytes + 20);
  descriptor.offset = get_int32(bytes + 24);
  descriptor.width = get_int32(bytes + 28);
  return descriptor;
}

bool descriptor_is_valid(const FieldDescriptor& descriptor) {
  return descriptor.name_terminated && descriptor.offset >= 0 && descriptor.type >= field_int8 &&
         descriptor.type <= field_memo && (descriptor.type != field_text || descriptor.width > 0);
}

}  // namespace vorpane
