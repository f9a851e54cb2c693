// Whether a file may be handed to dlopen without putting the process at risk.
//
// dlopen maps a library's segments straight from its file. A segment that
// reaches past the end of a cut-off file is mapped all the same, and the first
// touch of it ends the process with SIGBUS. So before a library file is loaded,
// its ELF header and program headers are checked to lie, together with every
// file range they describe, inside the file. The rest (machine, symbols,
// versions) dlopen checks itself and reports as an error.
#pragma once

#include "store/platform.h"

namespace vorpane {

// True for a regular file that holds a whole shared object of this process's
// word size and byte order; false for anything else, a missing file included.
bool is_whole_shared_library(const NativePath& path);

}  // namespace vorpane
