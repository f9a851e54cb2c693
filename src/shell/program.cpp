#include "shell/program.h"

#include <array>
#include <utility>

#include "scan/group_scan.h"
#include "shell/info_windows.h"
#include "shell/settings.h"
#include "shell/skin.h"
#include "store/group_store.h"
#include "store/text_export.h"

namespace vorpane {
namespace {

using Handler = void (*)(Program&);

struct ClickBinding {
  Control control;
  Handler handler;
};

struct MenuBinding {
  MenuItem item;
  Handler handler;
};

// Every user action and the handler it runs, in one place. A click or a
// double-click on a control without a binding does nothing.
constexpr std::array<ClickBinding, 5> click_bindings = {{
    {Control::fetch_button,
     [](Program& program) { scan_groups(program.window(), program.scan_context()); }},
    {Control::stop_button, [](Program& program) { program.scan_context().stop_requested = true; }},
    // The save follows however the scan ended, after a stop too.
    {Control::fetch_and_save_button,
     [](Program& program) {
       scan_groups(program.window(), program.scan_context());
       save_results(program.window(), program.run_directory());
     }},
    {Control::save_button,
     [](Program& program) { save_results(program.window(), program.run_directory()); }},
    {Control::export_button,
     [](Program& program) { export_text(program.window(), program.run_directory()); }},
}};
constexpr std::array<ClickBinding, 1> double_click_bindings = {{
    {Control::result_list, [](Program& program) { open_group_page(program.window()); }},
}};
constexpr std::array<MenuBinding, 3> menu_bindings = {{
    {MenuItem::author,
     [](Program& program) { open_info_window(program.window(), InfoWindow::AuthorWindow); }},
    {MenuItem::version,
     [](Program& program) { open_info_window(program.window(), InfoWindow::VersionWindow); }},
    {MenuItem::help,
     [](Program& program) { open_info_window(program.window(), InfoWindow::HelpWindow); }},
}};

}  // namespace

Program::Program(NativePath run_directory, Text group_site)
    : run_directory_(std::move(run_directory)), scan_context_{std::move(group_site)} {}

void Program::after_window_created() {
  constexpr int32_t skin_number = 5;
  apply_skin(run_directory_, skin_number);
  ensure_store(*window_, run_directory_);
  load_settings(*window_, run_directory_);
}

void Program::before_window_destroyed() {
  save_settings(*window_, run_directory_);
}

void Program::window_created(Window& window) {
  window_ = &window;
  after_window_created();
}

void Program::control_clicked(Control control) {
  for (const ClickBinding& binding : click_bindings) {
    if (binding.control == control) binding.handler(*this);
  }
}

void Program::result_list_double_clicked() {
  for (const ClickBinding& binding : double_click_bindings) {
    if (binding.control == Control::result_list) binding.handler(*this);
  }
}

void Program::menu_item_selected(MenuItem item) {
  for (const MenuBinding& binding : menu_bindings) {
    if (binding.item == item) binding.handler(*this);
  }
}

void Program::window_closing() {
  before_window_destroyed();
}

}  // namespace vorpane
