#include "platform/tree_removal.h"

#include <vector>

namespace rigwright {
namespace {

namespace fs = std::filesystem;

void Remove(const fs::path& path, const LinkRule& links, std::error_code& first) {
  std::error_code code;
  if (links.isLink(path)) {
    links.removeLink(path, code);
  } else {
    std::error_code ignored;
    if (fs::is_directory(fs::status(path, ignored))) {
      // Listed first, then removed: removing while listing may skip entries.
      std::vector<fs::path> entries;
      fs::directory_iterator entry(path, code);
      for (; !code && entry != fs::directory_iterator(); entry.increment(code)) {
        entries.push_back(entry->path());
      }
      for (const fs::path& inner : entries) Remove(inner, links, first);
    }
    if (!code) fs::remove(path, code);
  }
  if (code && !first) first = code;
}

}  // namespace

bool RemoveTree(const std::filesystem::path& path, std::error_code& error, const LinkRule& links) {
  error.clear();
  Remove(path, links, error);
  return !error;
}

}  // namespace rigwright
