#include "platform/tree_removal.h"

#include <vector>

namespace rigwright {
namespace {

namespace fs = std::filesystem;

// `within`: where the tree really lies. A folder whose real place is elsewhere is reached
// through a link of a kind not told (Wine shows a Linux link as its folder) and is not entered.
void Remove(const fs::path& path, const fs::path& within, const LinkRule& links,
            std::error_code& first) {
  std::error_code code;
  std::error_code ignored;
  const bool folder = fs::is_directory(fs::status(path, ignored));
  if (links.isLink(path) ||
      (folder && !within.empty() && !LiesWithin(ResolvedLocation(path, nullptr), within))) {
    links.removeLink(path, code);
  } else {
    if (folder) {
      // Listed first, then removed: removing while listing may skip entries.
      std::vector<fs::path> entries;
      fs::directory_iterator entry(path, code);
      for (; !code && entry != fs::directory_iterator(); entry.increment(code)) {
        entries.push_back(entry->path());
      }
      for (const fs::path& inner : entries) Remove(inner, within, links, first);
    }
    if (!code) fs::remove(path, code);
  }
  if (code && !first) first = code;
}

}  // namespace

bool RemoveTree(const std::filesystem::path& path, std::error_code& error, const LinkRule& links) {
  error.clear();
  Remove(path, ResolvedLocation(path, nullptr), links, error);
  return !error;
}

}  // namespace rigwright
