// The picker's accept procedure: writes every STL file the user asked for into the working
// folder and composes the STL reply that goes back to the editor.
//
// The reply lists entries joined by ";": a generated file as its full path, "@" and its colour
// (FormatStlColor of DarkenStlColor), a chosen file as its path alone. First the file of the
// picked entities, then one file per checked level in list order, then the chosen file. Empty
// means nothing was chosen.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "addin/user_messages.h"

namespace rigwright {

// One row of the picker's level list.
struct StlLevelRow {
  std::int32_t number = 0;
  std::string name;
  bool checked = false;
};

// What the picker holds when the user presses OK. Texts are UTF-8.
struct StlAcceptInput {
  std::string toleranceText;
  std::string nameText;    // name for the file of the picked entities
  std::string chosenFile;  // path of an existing STL file, as typed or browsed
  std::vector<std::int32_t> pickedIds;
  std::string stlFolder;  // the wrapper's working folder, ending in a separator
  std::vector<StlLevelRow> rows;
};

struct StlAcceptResult {
  bool close = false;  // false keeps the picker open and the request waiting
  std::string reply;
};

// Runs the accept procedure. Input problems (a chosen file whose path holds ";", among others)
// are told through `messages` and keep the picker open before anything is written; files written
// before a later "keep open" stay on disk.
StlAcceptResult BuildStlReply(const StlAcceptInput& input, UserMessages& messages);

// The tolerance the user typed: leading white space is skipped and the longest prefix that reads
// as a number counts ("0.05mm" gives 0.05); text without such a prefix gives 0. The decimal point
// is always '.', whatever the locale.
double ReadTolerance(std::string_view text);

// The file name for geometry the user named: the last '.' and what follows it are cut off and
// ".stl" is appended ("part.v2" gives "part.stl", ".x" gives ".stl").
std::string StlFileNameForTypedName(std::string_view name);

// The file name for a level: its name, unchanged but for unsafe characters, and ".stl".
std::string StlFileNameForLevel(std::string_view levelName);

// `text` with every character that could lead out of the working folder, that a file system
// refuses in a file name, or that the reply format reserves (";" and "@"), replaced by "_"; and
// "_" put before a name whose part before the first '.' names a device on Windows ("CON", "nul",
// "COM1", "LPT9", "aux.part", "CON  "), on every system.
std::string SafeFileNameText(std::string_view text);

}  // namespace rigwright
