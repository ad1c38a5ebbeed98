// The development editor's machines: a machine file "<folder><name>.mcfg" (JSON) and its machine
// data folder "<folder><name>/" with "config.json" and the component solids. Folder texts end
// in '/'. The sample layout:
//   {"MachineDefinition": {"Header": {"GUID", "Name", "Orientation"},
//                          "Components": [{"GUID", "Name",
//                                          "Geometry": {"Path", "Color"}}]}}
// where "Path" is relative to the machine data folder and "Color" is "0xrrggbb" when known.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rigwright::editor {

// Names (without ".mcfg") of the machine files directly in `folder`, sorted.
std::vector<std::string> ListMachines(std::string_view folder);

// Creates machine `name` in `folder`: its machine file and its data folder with an empty user
// configuration. Refuses names that are not plain file names or that are taken.
bool CreateMachine(std::string_view folder, std::string_view name, std::string* error);

struct StlEntry {
  std::string path;
  std::optional<std::string> color;  // "0xrrggbb"
};

// The entries of an STL reply: joined by ';', each "path" or "path@0xrrggbb". Empty entries are
// skipped; an '@' not followed by a colour is part of the path.
std::vector<StlEntry> ParseStlReply(std::string_view reply);

struct Component {
  std::string name;
  std::string path;   // relative to the machine data folder
  std::string color;  // empty when none
};

// The components of machine `name`; empty (with `error` set) when the file cannot be read.
std::vector<Component> ListComponents(std::string_view folder, std::string_view name,
                                      std::string* error);

struct SolidsAdded {
  int added = 0;
  std::vector<std::string> problems;  // one per entry that could not be added, naming it
};

// Copies each entry's STL file into the machine's data folder (a name already there gets
// " (2)", " (3)", ...) and adds a component for it. The machine file is rewritten once, as a
// whole, when at least one solid was added.
SolidsAdded AddSolids(std::string_view folder, std::string_view name,
                      const std::vector<StlEntry>& entries);

// Rewrites the machine file from what it holds, as the editor's "save" does.
bool SaveMachine(std::string_view folder, std::string_view name, std::string* error);

}  // namespace rigwright::editor
