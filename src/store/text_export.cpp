#include "store/text_export.h"

#include <algorithm>

#include "shell/program_files.h"
#include "web/codepage.h"

namespace vorpane {

void export_text(Window& window, const NativePath& run_directory) {
  Text lines;
  const int rows = window.list_row_count();
  for (int row = 0; row < rows; ++row) {
    const Text line = window.list_cell_text(row, 0) + " " + window.list_cell_text(row, 3) + "\r\n";
    window.append_text(Control::export_buffer, line);
    lines += line;
  }
  // What this export added is the end of the export box's text.
  const Text buffer = window.get_text(Control::export_buffer);
  const Text added = buffer.substr(buffer.size() - std::min(buffer.size(), lines.size()));

  const NativePath path = export_path(run_directory);
  Bytes content;
  // Replacing a file that could not be read would lose what it held.
  if (read_whole_file(path, content) == ReadResult::failed) return;
  content.insert(content.end(), added.begin(), added.end());
  if (!write_whole_file(path, content)) return;
  window.set_text(Control::save_status_label, cp936_from_utf8("导出txt成功！"));
}

}  // namespace vorpane
