#include "shell/program.h"

#include <array>
#include <utility>

#include "shell/info_windows.h"
#include "shell/settings.h"

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
constexpr std::array<ClickBinding, 0> click_bindings = {};
constexpr std::array<ClickBinding, 0> double_click_bindings = {};
constexpr std::array<MenuBinding, 3> menu_bindings = {{
    {MenuItem::author,
     [](Program& program) { open_info_window(program.window(), InfoWindow::AuthorWindow); }},
    {MenuItem::version,
     [](Program& program) { open_info_window(program.window(), InfoWindow::VersionWindow); }},
    {MenuItem::help,
     [](Program& program) { open_info_window(program.window(), InfoWindow::HelpWindow); }},
}};

}  // namespace

Program::Program(NativePath run_directory) : run_directory_(std::move(run_directory)) {}

void Program::after_window_created() {
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
