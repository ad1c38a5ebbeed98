// The machine definition document: the `.mcfg` file the editor saves, merged with the user
// configuration of its machine data folder, with its header settled, and the model files it
// refers to. Members not named here pass through unchanged.
//
// None of these functions throws: a document of unexpected shape (a top level that is not an
// object, a "GUID" or "Path" that is an object, ...) is a failure whose message names the member.
#pragma once

#include <json/json.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace rigwright {

// Reads a whole JSON file (machine file or user configuration). The text ends at the file's
// first NUL byte; comments are collected so that they are written out again.
bool ReadJsonDocument(const std::filesystem::path& path, Json::Value& root, std::string* error);

// The definition: "MachineDefinitionLocked" when the root has it, else "MachineDefinition".
// Null when the root is not an object or the chosen member is absent or null; `error` says which.
Json::Value* ChooseDefinition(Json::Value& root, std::string* error = nullptr);

// Merges the user configuration at `configPath` into the definition of `document`: the
// "Geometry" of each node named by a "UserConfiguration"/"Models" entry's "GUID" is replaced by
// the entry's "Geometry" (later entries win). False when the document has no definition or the
// configuration cannot be read, is not well-formed, or has members of the wrong type, and when
// the search for an entry's node meets a "GUID" of the wrong type (other than the header's, which
// is kept as the file has it).
bool MergeUserConfiguration(Json::Value& document, const std::filesystem::path& configPath,
                            std::string* error = nullptr);

// Depth-first, first match wins: `value` itself, then array elements in index order and object
// members in key order. Null when nothing matches, and when the search meets a "GUID" that holds
// an object or array before a match: it cannot be compared (the merge fails there, naming it).
Json::Value* FindNodeByGuid(Json::Value& value, const std::string& guid);

// Every "Path" text of the definition, pre-order, members in key order, duplicates kept.
std::vector<std::string> CollectModelPaths(const Json::Value& definition);

// The first "Path" member in `value` that holds an object or array, named by its place (e.g.
// "MachineDefinition/Components/2/Path"); empty when there is none. Every "Path" is read, so any
// of them fails the export; a "GUID" is read only where the merge searches (see
// MergeUserConfiguration).
std::string FindMisTypedPath(const Json::Value& value, const std::string& place);

// Makes sure the definition has a "Header" object holding "GUID" (null when absent), and sets
// "Orientation" when `orientation` is exactly "Vertical", "Horizontal" or "Lathe".
bool SettleHeader(Json::Value& definition, std::string_view orientation, std::string* error);

// The whole document as the package's "config.json": styled, keys in key order, comments kept.
std::string WriteDocument(const Json::Value& root);

}  // namespace rigwright
