#include "shell/main_window_layout.h"

#include <array>

namespace vorpane {
namespace {

constexpr std::array<ControlDefinition, control_count> controls = {{
    {Control::save_status_label,
     "标签5",
     ControlKind::label,
     {578, 56, 192, 32},
     "",
     true,
     false,
     false,
     LabelStyle::bold_red},
    {Control::stop_button,
     "按钮_停止获取",
     ControlKind::push_button,
     {444, 3, 100, 85},
     "停止\r\n获取",
     true,
     true,
     false,
     LabelStyle::none},
    {Control::fetch_and_save_button,
     "按钮_获取并保存",
     ControlKind::push_button,
     {248, 7, 176, 33},
     "获取并保存",
     true,
     true,
     false,
     LabelStyle::none},
    {Control::save_button,
     "按钮_保存",
     ControlKind::push_button,
     {337, 56, 87, 32},
     "手动保存",
     true,
     true,
     false,
     LabelStyle::none},
    {Control::export_buffer,
     "编辑框1",
     ControlKind::edit_box,
     {32, 520, 856, 24},
     "",
     false,
     true,
     false,
     LabelStyle::none},
    {Control::export_button,
     "按钮_导出txx",
     ControlKind::push_button,
     {794, 56, 87, 32},
     "导出txt",
     true,
     true,
     false,
     LabelStyle::none},
    {Control::scan_status_label,
     "标签4",
     ControlKind::label,
     {578, 8, 303, 32},
     "",
     true,
     false,
     false,
     LabelStyle::bold_red_raised},
    {Control::start_number_caption,
     "标签3",
     ControlKind::label,
     {38, 8, 78, 32},
     "开始群号：",
     true,
     false,
     false,
     LabelStyle::black},
    {Control::start_number_box,
     "编辑框_开始群号",
     ControlKind::edit_box,
     {122, 8, 94, 32},
     "10000000",
     true,
     true,
     true,
     LabelStyle::none},
    {Control::count_unit_caption,
     "标签2",
     ControlKind::label,
     {199, 56, 25, 32},
     "条",
     true,
     false,
     false,
     LabelStyle::black},
    {Control::count_caption,
     "标签1",
     ControlKind::label,
     {38, 56, 103, 32},
     "尝试获取条数：",
     true,
     false,
     false,
     LabelStyle::black},
    {Control::count_box,
     "编辑框_条数",
     ControlKind::edit_box,
     {150, 56, 40, 32},
     "100",
     true,
     true,
     true,
     LabelStyle::none},
    {Control::fetch_button,
     "按钮_获取",
     ControlKind::push_button,
     {248, 56, 68, 32},
     "获取",
     true,
     true,
     false,
     LabelStyle::none},
    {Control::result_list,
     "超级列表框1",
     ControlKind::report_list,
     {32, 96, 855, 408},
     "",
     true,
     true,
     false,
     LabelStyle::none},
}};

constexpr std::array<ListColumn, 6> columns = {{
    {"群名", 120},
    {"群号", 70},
    {"创建者", 100},
    {"群地址", 210},
    {"成员数", 50},
    {"群简介", 300},
}};

constexpr std::array<MenuItemDefinition, 3> items = {{
    {MenuItem::author, " 作者 "},
    {MenuItem::version, " 版本 "},
    {MenuItem::help, " 帮助 "},
}};

// The table is indexed by the enum, so its order must follow the enum's.
constexpr bool table_follows_enum() {
  for (int index = 0; index < control_count; ++index) {
    if (static_cast<int>(controls[index].control) != index) return false;
  }
  return true;
}
static_assert(table_follows_enum());

}  // namespace

std::span<const ControlDefinition> main_window_controls() {
  return controls;
}

const ControlDefinition& control_definition(Control control) {
  return controls[static_cast<size_t>(control)];
}

std::span<const ListColumn> result_list_columns() {
  return columns;
}

std::span<const MenuItemDefinition> menu_items() {
  return items;
}

}  // namespace vorpane
