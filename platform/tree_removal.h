// Removing a folder with everything in it without ever following a link out of it.
#pragma once

#include <filesystem>
#include <system_error>

#include "platform/file_location.h"

namespace rigwright {

// How a removal tells a link and removes one: the system's own, or another in tests.
struct LinkRule {
  bool (*isLink)(const std::filesystem::path&) = IsLinkOrJunction;
  bool (*removeLink)(const std::filesystem::path&, std::error_code&) = RemoveLinkItself;
};

// Removes `path` and, when it is a folder, everything in it. The walk is our own: a link or
// junction met on the way (or `path` itself being one) is removed as a link, and what it leads to
// is left as it is; the library's remove_all enters junctions on Windows. So is a folder whose
// real place lies outside the tree, whatever the rule says. What cannot be removed is passed
// over; false, with `error` the first failure, when anything was.
bool RemoveTree(const std::filesystem::path& path, std::error_code& error,
                const LinkRule& links = {});

}  // namespace rigwright
