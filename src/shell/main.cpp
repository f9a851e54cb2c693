// Program start and end.
#include <unistd.h>

#include "shell/program.h"
#include "shell/ui/gui.h"
#include "store/platform.h"

int main() {
  const vorpane::NativePath run_directory = vorpane::executable_directory();
  // Relative names then resolve beside the program too. Failing here changes
  // nothing the program relies on: every file is addressed by its full path.
  (void)::chdir(run_directory.c_str());
  vorpane::Program program(run_directory, VORPANE_GROUP_SITE);
  vorpane::run_main_window(program);
  return 0;
}
