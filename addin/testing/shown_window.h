// Test support: whether the add-in shows a window, seen from the host's side.
#pragma once

#include <string>

namespace rigwright::testing {

// True when this process shows a top-level window titled `title`. The add-in's windows belong
// to the host's toolkit where the two share one; on Windows the add-in has a toolkit of its own,
// and the system is asked instead.
bool IsWindowShown(const std::string& title);

}  // namespace rigwright::testing
