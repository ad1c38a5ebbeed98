// The texts the editor engine reads and writes. The engine takes 8-bit texts and opens the paths
// it is given with the system's 8-bit file functions; Rigwright holds UTF-8. On Windows the 8-bit
// functions read the system code page, so a path such as C:\Users\Jürgen\... given in UTF-8 names
// nothing there. Elsewhere the 8-bit texts are UTF-8 and pass unchanged.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rigwright {

// What the system can say about one path, for choosing its 8-bit form.
struct EngineTextForms {
  // The path's short form (every part in its 8.3 name where it has one), in UTF-8; nothing when
  // the path does not exist or the system keeps no short names.
  std::function<std::optional<std::string>(std::string_view utf8Path)> shortForm;
  // The text in the system's 8-bit encoding; nothing when that encoding cannot hold all of it.
  std::function<std::optional<std::string>(std::string_view utf8)> inCodePage;
  // The text in the system's 8-bit encoding with what it cannot hold replaced.
  std::function<std::string(std::string_view utf8)> lossy;
};

// This system's answers.
const EngineTextForms& SystemEngineTextForms();

struct EngineText {
  std::string text;   // what the engine is given
  bool exact = true;  // false when no form names the file for certain
};

// The 8-bit form of `utf8Path` for the engine: plain ASCII as it is; otherwise its short form when
// that is plain ASCII (the engine then opens it whatever encoding it assumes); otherwise the text
// in the system's encoding when that holds it; otherwise the best that is left, marked inexact.
EngineText EngineTextOfPath(std::string_view utf8Path, const EngineTextForms& forms);

// The same for every path of an STL reply ("path" or "path@0xrrggbb", joined by ';'); the
// colours and separators are kept. `inexact` (when given) receives the paths with no exact form.
std::string EngineTextOfStlReply(std::string_view reply, const EngineTextForms& forms,
                                 std::vector<std::string>* inexact = nullptr);

// A path the engine hands back, as UTF-8: taken as UTF-8 when it is valid UTF-8 and names an
// existing file, else read in the system's 8-bit encoding.
std::string Utf8FromEnginePath(std::string_view text);

}  // namespace rigwright
