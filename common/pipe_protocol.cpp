#include "common/pipe_protocol.h"

#include <algorithm>

namespace rigwright {
namespace {

int CountEntries(std::string_view text) {
  if (text.empty()) return 0;
  return 1 + static_cast<int>(std::count(text.begin(), text.end(), kStlEntrySeparator));
}

}  // namespace

std::string_view PipeNameAfterPrefix(std::string_view pipeName, std::string* error) {
  if (!pipeName.starts_with(kPipeNamePrefix)) {
    *error = "\"" + std::string(pipeName) + "\" is not a pipe name";
    return {};
  }
  const std::string_view name = pipeName.substr(kPipeNamePrefix.size());
  if (name.empty() || name == "." || name == ".." || name.find_first_of("/\\") != name.npos) {
    *error = "pipe name \"" + std::string(pipeName) + "\" cannot name a pipe";
    return {};
  }
  return name;
}

std::string StlPathRefusal(std::string_view path) {
  if (path.find(kStlEntrySeparator) == std::string_view::npos) return {};
  return "This STL file cannot be passed to the editor, since its name or folder holds \";\", "
         "which the editor reads as the end of a file name:\n\n" +
         std::string(path) + "\n\nRename the file or its folder, or choose another file.";
}

FittedStlReply FitStlReply(std::string_view reply, std::size_t limit) {
  if (reply.size() <= limit) return {std::string(reply), 0};
  // The separator that ends the last fitting entry sits at index `limit` at most.
  const std::size_t cut = reply.rfind(kStlEntrySeparator, limit);
  const std::string_view kept =
      cut == std::string_view::npos ? std::string_view() : reply.substr(0, cut);
  return {std::string(kept), CountEntries(reply) - CountEntries(kept)};
}

std::string JoinStlEntries(const std::vector<std::string>& entries) {
  std::string joined;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (i > 0) joined += kStlEntrySeparator;
    joined += entries[i];
  }
  return joined;
}

}  // namespace rigwright
