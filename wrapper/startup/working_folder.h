// The wrapper's working folder: a fresh folder per run in the user's temporary folder, where the
// add-in writes the STL files it generates for this editing session.
#pragma once

#include <string>
#include <string_view>

namespace rigwright {

// "Rigwright" for index 0, then "Rigwright1", "Rigwright2", ...
std::string WorkingFolderName(int index);

struct WorkingFolder {
  std::string path;   // with the trailing separator; empty when no folder could be made
  std::string error;  // why not, naming the folder
};

// Creates the first of the working folder names that is free in `temporaryFolder` (which ends
// in a separator, '\' or '/'; the folder's path ends in the same one). Each name is claimed by
// creating it: a name taken by a file or folder, also one that appears while we try, just moves us
// on to the next.
WorkingFolder ClaimWorkingFolder(std::string_view temporaryFolder);

// Deletes the folder with everything in it; a link or junction inside is removed itself, never
// what it leads to. An empty text on success, else what went wrong.
std::string RemoveWorkingFolder(std::string_view path);

}  // namespace rigwright
