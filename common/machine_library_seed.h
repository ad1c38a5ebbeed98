// Filling the machine library folder with the generic machines installed with the add-in. A
// machine is a file "<name>.mcfg" directly in a folder plus its companion folder "<name>" beside
// it. Seeding only ever adds: nothing in the target is deleted, replaced or overwritten.
//
// Folders are UTF-8 text; a trailing separator is allowed but not needed. Failures return false
// with `error` naming the path and what the system reported; nothing is thrown. What was copied
// before a failure stays. Only regular files are copied: a folder or FIFO where a file is
// expected (a folder named "x.mcfg", say) is a failure.
#pragma once

#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "platform/file_names.h"

namespace rigwright {

// File names of the entries directly in `folder` whose extension is exactly ".mcfg" (case
// matters; an entry's type does not: a folder named "x.mcfg" counts), in byte order. Empty when
// the folder cannot be listed.
std::optional<std::set<std::string>> ListMachineFiles(std::string_view folder, std::string* error);

// Copies `source` with everything in it into `target`, creating `target` and its missing parents.
// Files already present in the target are left as they are and skipped.
bool CopyFolderTree(std::string_view source, std::string_view target, std::string* error);

// Copies every machine of `source` whose ".mcfg" file `target` lacks, with its companion folder
// (merged into one the target may already hold). A machine whose ".mcfg" the target holds is
// skipped whole: names are compared by `sameName`, the file system's rule (on Windows letter case
// does not count), and a machine file the file system finds already there keeps its machine's
// companion folder untouched whatever its name's letters. A machine without a companion folder
// is copied alone. `target` must exist.
bool SeedMachineFolder(std::string_view source, std::string_view target, std::string* error,
                       FileNameKeyRule sameName = FileNameKey);

}  // namespace rigwright
