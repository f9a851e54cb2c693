// The text export: one line per result row, the group's name, a space and
// its page address, ended by CR LF, appended to 公开群.txt in the run
// directory. The hidden export box keeps every line exported since start.
#pragma once

#include "shell/window.h"
#include "store/platform.h"

namespace vorpane {

// Appends the lines of the rows listed now to the export box and to the
// file, and says so in the save status label. A file that exists but cannot
// be read is left as it is, and so is the label.
void export_text(Window& window, const NativePath& run_directory);

}  // namespace vorpane
