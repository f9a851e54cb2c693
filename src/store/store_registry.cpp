#include <optional>

#include "store/platform.h"
#include "store/record_store.h"
#include "store/store_format.h"
#include "store/store_locks.h"
#include "store/store_state.h"

namespace vorpane {
namespace {

thread_local int32_t last_error = store_ok;

bool ascii_equal_ignoring_case(std::string_view left, std::string_view right) {
  if (left.size() != right.size()) return false;
  for (size_t i = 0; i < left.size(); ++i) {
    auto fold = [](char byte) { return byte >= 'A' && byte <= 'Z' ? byte - 'A' + 'a' : byte; };
    if (fold(left[i]) != fold(right[i])) return false;
  }
  return true;
}

// Newest first, as a later open hides an older one of the same name.
template <typename Matches>
std::optional<size_t> find_newest(const StoreRegistry& registry, Matches matches) {
  for (size_t index = registry.stores.size(); index-- > 0;) {
    if (matches(registry.stores[index])) return index;
  }
  return std::nullopt;
}

std::optional<size_t> find_store_by_name(const StoreRegistry& registry, std::string_view name) {
  if (auto found = find_newest(registry, [name](const RecordStore& store) {
        return ascii_equal_ignoring_case(store.bare_name, name);
      })) {
    return found;
  }
  if (auto found = find_newest(
          registry, [name](const RecordStore& store) { return store.full_path == name; })) {
    return found;
  }
  // Any other spelling of the path of an open store, as the caller may have
  // built it differently from the resolved full path.
  FileIdentity identity;
  if (identify_file(complete_store_path(name), identity) != 0) return std::nullopt;
  return find_newest(registry,
                     [&identity](const RecordStore& store) { return store.identity == identity; });
}

void close_store_at(StoreRegistry& registry, size_t index) {
  RecordStore& store = registry.stores[index];
  release_all_locks(store);
  close_file(store.file);
  registry.stores.erase(registry.stores.begin() + static_cast<std::ptrdiff_t>(index));
  const int closed = static_cast<int>(index);
  if (registry.current == closed) {
    registry.current = -1;
  } else if (registry.current > closed) {
    --registry.current;
  }
}

}  // namespace

StoreRegistry& store_registry() {
  static StoreRegistry registry;
  return registry;
}

int32_t last_store_error() {
  return last_error;
}

int32_t finish_store_operation(int32_t code) {
  last_error = code;
  return code;
}

RecordStore* current_store() {
  StoreRegistry& registry = store_registry();
  if (registry.current < 0 || registry.current >= static_cast<int>(registry.stores.size())) {
    return nullptr;
  }
  return &registry.stores[static_cast<size_t>(registry.current)];
}

void close_store(std::string_view name) {
  StoreRegistry& registry = store_registry();
  if (name.empty()) {
    if (registry.current >= 0) close_store_at(registry, static_cast<size_t>(registry.current));
    return;
  }
  if (const auto found = find_store_by_name(registry, name)) close_store_at(registry, *found);
}

void reset_store_registry_for_testing() {
  StoreRegistry& registry = store_registry();
  // Only the descriptors are closed, which drops the locks of stores opened
  // here; a forked child's inherited stores share the parent's locks, and
  // unlocking them would take them from the parent.
  for (const RecordStore& store : registry.stores)
    close_file(store.file);
  registry.stores.clear();
  registry.current = -1;
  registry.lock_wait_ms = 0;
  last_error = store_ok;
}

}  // namespace vorpane
