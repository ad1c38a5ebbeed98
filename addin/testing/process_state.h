// Test support: what the process holds of a library it loaded.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace rigwright::testing {

// True while the library at `path` is loaded in this process.
bool IsLibraryLoaded(const std::string& path);

// The number of threads of this process. Empty on Windows, where the add-in's pipe link serves
// on a thread of the system's pool, which stays in the pool when the link ends.
std::optional<std::size_t> OwnThreadCount();

}  // namespace rigwright::testing
