// Group site addresses for tests of the program's handlers.
#pragma once

namespace vorpane {

// Nothing listens on port 1 of loopback: a scan there fails every request at once.
inline constexpr const char* unreachable_group_site = "http://127.0.0.1:1/group/";

}  // namespace vorpane
