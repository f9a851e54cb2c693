// What the store operations share besides the registry itself.
#pragma once

#include <cstdint>

#include "store/record_store.h"

namespace vorpane {

// Keeps `code` as the calling thread's last store error and yields it.
int32_t finish_store_operation(int32_t code);

// The registry's current store, or nullptr.
RecordStore* current_store();

}  // namespace vorpane
