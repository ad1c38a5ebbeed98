#include "common/pipe_protocol.h"

#include <algorithm>

namespace rigwright {
namespace {

int CountEntries(std::string_view text) {
  if (text.empty()) return 0;
  return 1 + static_cast<int>(std::count(text.begin(), text.end(), kStlEntrySeparator));
}

}  // namespace

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
