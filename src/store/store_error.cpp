#include "store/store_error.h"

#include <map>

#include "web/codepage.h"

namespace vorpane {
namespace {

const std::map<int32_t, Text>& messages() {
  // Converted once: the messages are written here in UTF-8 for the reader.
  static const std::map<int32_t, Text> table = [] {
    const std::pair<int32_t, const char*> utf8_messages[] = {
        {store_unclassified_error, "未知错误"},
        {store_create_failed, "创建数据库失败"},
        {store_file_not_found, "指定文件未找到"},
        {store_invalid_path, "无效的路径"},
        {store_too_many_open_files, "打开文件过多"},
        {store_access_denied, "指定文件不能被访问"},
        {store_invalid_file_handle, "无效的文件号"},
        {store_remove_current_directory, "不能删除现行工作目录"},
        {store_directory_full, "创建目录过多"},
        {store_seek_failed, "文件指针定位失败"},
        {store_hardware_failure, "访问文件时硬件产生故障"},
        {store_sharing_violation, "访问文件时产生共享冲突"},
        {store_lock_violation, "加锁文件失败"},
        {store_disk_full, "磁盘空间不够"},
        {store_end_of_file, "已经到达文件尾"},
        {store_no_fields, "字段数目必须大于 0 "},
        {store_invalid_field_type, "无效的字段类型"},
        {store_invalid_field_name,
         "无效的字段名称。名称首字符必须为全半角字母或汉字，其他字符必须为全半角字母、"
         "全半角数字或汉字。名称长度必须小于 16 字符"},
        {store_invalid_field_size, "无效的字段尺寸"},
        {store_duplicate_field_name, "存在重复的字段名称"},
        {store_open_failed, "打开指定数据库失败"},
        {store_not_a_store_file, "指定文件不是数据库文件"},
        {store_version_too_high, "指定数据库文件版本太高，无法读入，请升级系统软件"},
        {store_already_open, "指定数据库已经被打开"},
        {store_out_of_memory, "分配内存空间失败"},
        {store_field_write_failed, "写指定字段失败"},
        {store_no_current_record, "现行记录不存在"},
        {store_no_such_field, "指定字段不存在"},
        {store_record_write_failed, "写记录失败"},
        {store_record_count_failed, "取数据库记录数失败"},
        {store_not_open, "未打开指定数据库"},
        {store_no_current_store, "未设置当前数据库"},
        {store_value_type_mismatch, "所提供数据的类型与字段类型不匹配"},
    };
    std::map<int32_t, Text> converted;
    for (const auto& [code, message] : utf8_messages)
      converted[code] = cp936_from_utf8(message);
    return converted;
  }();
  return table;
}

}  // namespace

Text store_error_message(int32_t code) {
  if (code == store_ok) return Text();
  const auto& table = messages();
  const auto found = table.find(code);
  return found != table.end() ? found->second : table.at(store_unclassified_error);
}

}  // namespace vorpane
