#include "shell/settings.h"

#include "shell/program_files.h"

namespace vorpane {

void save_settings(Window& window, std::string_view run_directory) {
  Text line = window.get_text(Control::start_number_box);
  line += settings_separator;
  line += window.get_text(Control::count_box);
  write_whole_file(settings_path(run_directory), text_to_bytes(line));
}

void load_settings(Window& window, std::string_view run_directory) {
  const NativePath path = settings_path(run_directory);
  if (!path_exists(path)) return;
  Bytes content;
  if (read_whole_file(path, content) != ReadResult::ok) return;
  const Text text = bytes_to_text(content);
  if (text.empty()) return;

  const int first = find_text(text, settings_separator);
  if (first == not_found) {
    window.set_text(Control::start_number_box, text);
    return;
  }
  const size_t start_length = static_cast<size_t>(first - 1);
  const size_t count_start = start_length + settings_separator.size();
  window.set_text(Control::start_number_box, text.substr(0, start_length));
  // A second separator ends the count text; whatever follows it is dropped.
  // Searching from the count text's first byte (positions count from 1) keeps
  // to character boundaries, as the first search did.
  const int second = find_text(text, settings_separator, static_cast<int>(count_start) + 1);
  const size_t count_length =
      second == not_found ? Text::npos : static_cast<size_t>(second - 1) - count_start;
  window.set_text(Control::count_box, text.substr(count_start, count_length));
}

}  // namespace vorpane
