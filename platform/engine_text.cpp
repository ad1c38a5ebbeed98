#include "platform/engine_text.h"

#include <algorithm>
#include <cctype>

namespace rigwright {
namespace {

bool IsAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// The length of an entry's path: the entry without its "@0xrrggbb" colour, when it has one.
std::size_t PathLength(std::string_view entry) {
  constexpr std::size_t kColour = 9;  // "@0x" and six hex digits
  if (entry.size() < kColour) return entry.size();
  const std::string_view colour = entry.substr(entry.size() - kColour);
  const bool isColour = colour.substr(0, 3) == "@0x" &&
                        std::all_of(colour.begin() + 3, colour.end(), [](char c) {
                          return std::isxdigit(static_cast<unsigned char>(c)) != 0;
                        });
  return isColour ? entry.size() - kColour : entry.size();
}

}  // namespace

EngineText EngineTextOfPath(std::string_view utf8Path, const EngineTextForms& forms) {
  if (IsAscii(utf8Path)) return {std::string(utf8Path), true};
  const std::optional<std::string> shortForm = forms.shortForm(utf8Path);
  if (shortForm && IsAscii(*shortForm)) return {*shortForm, true};
  if (std::optional<std::string> local = forms.inCodePage(utf8Path)) return {*local, true};
  // The short form may still be in the code page where the whole path is not: a part without a
  // short name next to one whose long name the code page cannot hold.
  if (shortForm) {
    if (std::optional<std::string> local = forms.inCodePage(*shortForm)) return {*local, true};
  }
  return {forms.lossy(shortForm ? *shortForm : utf8Path), false};
}

std::string EngineTextOfStlReply(std::string_view reply, const EngineTextForms& forms,
                                 std::vector<std::string>* inexact) {
  std::string result;
  result.reserve(reply.size());
  for (std::size_t start = 0;;) {
    const std::size_t end = std::min(reply.find(';', start), reply.size());
    const std::string_view entry = reply.substr(start, end - start);
    const std::string_view path = entry.substr(0, PathLength(entry));
    if (!path.empty()) {
      EngineText text = EngineTextOfPath(path, forms);
      if (!text.exact && inexact) inexact->emplace_back(path);
      result += text.text;
    }
    result += entry.substr(path.size());
    if (end == reply.size()) break;
    result += ';';
    start = end + 1;
  }
  return result;
}

}  // namespace rigwright
