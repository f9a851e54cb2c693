// The program's handlers: what runs when the main window has been created,
// when it closes, and for each user action.
#pragma once

#include <string>

#include "scan/group_scan.h"
#include "shell/window_events.h"
#include "store/platform.h"

namespace vorpane {

class Program final : public WindowEvents {
 public:
  // `run_directory` holds the program's files; `group_site` is the base
  // address the scan appends each group number to.
  Program(NativePath run_directory, Text group_site);

  // Steps run in order while the window is still hidden.
  void after_window_created();
  // Runs once the user has closed the window, while the controls can still
  // be read.
  void before_window_destroyed();

  void window_created(Window& window) override;
  void control_clicked(Control control) override;
  void result_list_double_clicked() override;
  void menu_item_selected(MenuItem item) override;
  void window_closing() override;

  Window& window() { return *window_; }
  const NativePath& run_directory() const { return run_directory_; }
  ScanContext& scan_context() { return scan_context_; }

 private:
  NativePath run_directory_;
  ScanContext scan_context_;
  Window* window_ = nullptr;
};

}  // namespace vorpane
