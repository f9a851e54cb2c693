// The program's own record store, db.edb in the run directory: six text
// fields, one record per row of the result list.
#pragma once

#include <vector>

#include "shell/window.h"
#include "store/platform.h"
#include "store/record_store.h"

namespace vorpane {

// 群名 30, 群号 15, 创建者 30, 群地址 50, 成员数 10, 群简介 50 bytes: field n
// holds column n - 1 of a result row.
std::vector<FieldSpec> group_schema();

// Creates an empty db.edb when nothing of that name exists in the run
// directory, and tells the user where it is.
void ensure_store(Window& window, const NativePath& run_directory);

// Appends every row of the result list to db.edb, in list order, and says so
// in the save status label. A store that cannot be opened is reported in a
// warning box. Another copy of the program appending at the same moment is
// waited for, up to 2000 ms at each step; a row that still cannot be added is
// never written into another record, and the label then says how many rows
// were not saved instead of claiming success.
void save_results(Window& window, const NativePath& run_directory);

}  // namespace vorpane
