#include "standin/editor/editor_machine.h"

#include <json/json.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/path_text.h"
#include "platform/random_guid.h"
#include "platform/staged_files.h"

namespace rigwright::editor {
namespace {

namespace fs = std::filesystem;

std::string MachineFile(std::string_view folder, std::string_view name) {
  return std::string(folder) + std::string(name) + ".mcfg";
}

std::string DataFolder(std::string_view folder, std::string_view name) {
  return std::string(folder) + std::string(name) + "/";
}

std::string NewGuidText() {
  Guid guid;
  NewRandomGuid(&guid);
  char text[40];
  std::snprintf(text, sizeof(text), "%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X", guid.data1,
                guid.data2, guid.data3, guid.data4[0], guid.data4[1], guid.data4[2], guid.data4[3],
                guid.data4[4], guid.data4[5], guid.data4[6], guid.data4[7]);
  return text;
}

bool WriteJson(const std::string& path, const Json::Value& value, std::string* error) {
  Json::StreamWriterBuilder builder;
  builder["indentation"] = "  ";
  const std::string text = Json::writeString(builder, value) + "\n";
  StagedFiles files;
  if (!files.Stage(PathFromUtf8(path),
                   {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}) ||
      !files.Commit()) {
    *error = files.error();
    return false;
  }
  return true;
}

bool ReadJson(const std::string& path, Json::Value* value, std::string* error) {
  std::ifstream in(PathFromUtf8(path), std::ios::binary);
  if (!in) {
    *error = "cannot open " + path;
    return false;
  }
  Json::CharReaderBuilder builder;
  std::string parseError;
  if (!Json::parseFromStream(builder, in, value, &parseError) || !value->isObject()) {
    *error = path + " is not a machine file: " + parseError;
    return false;
  }
  return true;
}

bool IsPlainName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of("/\\") == std::string_view::npos;
}

bool IsColor(std::string_view text) {
  return text.size() == 8 && text.starts_with("0x") &&
         std::all_of(text.begin() + 2, text.end(),
                     [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); });
}

// A name for `fileName` that nothing in `dataFolder` has yet.
std::string FreeNameIn(const std::string& dataFolder, std::string_view fileName) {
  const std::string stem(StemOf(fileName));
  const std::string extension(fileName.substr(stem.size()));
  std::string candidate(fileName);
  for (int n = 2; fs::exists(PathFromUtf8(dataFolder + candidate)); ++n) {
    candidate = stem + " (" + std::to_string(n) + ")" + extension;
  }
  return candidate;
}

}  // namespace

std::vector<std::string> ListMachines(std::string_view folder) {
  std::vector<std::string> names;
  std::error_code error;
  for (fs::directory_iterator it(PathFromUtf8(folder), error), end; !error && it != end;
       it.increment(error)) {
    const std::string file = Utf8FromPath(it->path().filename());
    if (file.size() > 5 && file.ends_with(".mcfg") && it->is_regular_file(error)) {
      names.push_back(file.substr(0, file.size() - 5));
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

bool CreateMachine(std::string_view folder, std::string_view name, std::string* error) {
  if (!IsPlainName(name)) {
    *error = "\"" + std::string(name) + "\" cannot name a machine file";
    return false;
  }
  const std::string file = MachineFile(folder, name), data = DataFolder(folder, name);
  if (fs::exists(PathFromUtf8(file)) || fs::exists(PathFromUtf8(data))) {
    *error = "a machine named \"" + std::string(name) + "\" is already in " + std::string(folder);
    return false;
  }
  std::error_code fsError;
  fs::create_directories(PathFromUtf8(data), fsError);
  if (fsError) {
    *error = "cannot create " + data + ": " + fsError.message();
    return false;
  }
  Json::Value configuration;
  configuration["UserConfiguration"]["Models"] = Json::Value(Json::arrayValue);
  Json::Value machine;
  Json::Value& header = machine["MachineDefinition"]["Header"];
  header["GUID"] = NewGuidText();
  header["Name"] = std::string(name);
  header["Orientation"] = "Vertical";
  machine["MachineDefinition"]["Components"] = Json::Value(Json::arrayValue);
  return WriteJson(data + "config.json", configuration, error) && WriteJson(file, machine, error);
}

std::vector<StlEntry> ParseStlReply(std::string_view reply) {
  std::vector<StlEntry> entries;
  while (!reply.empty()) {
    const std::size_t end = reply.find(';');
    std::string_view entry = reply.substr(0, end);
    reply = end == std::string_view::npos ? std::string_view() : reply.substr(end + 1);
    if (entry.empty()) continue;
    const std::size_t at = entry.rfind('@');
    if (at != std::string_view::npos && IsColor(entry.substr(at + 1))) {
      entries.push_back({std::string(entry.substr(0, at)), std::string(entry.substr(at + 1))});
    } else {
      entries.push_back({std::string(entry), std::nullopt});
    }
  }
  return entries;
}

std::vector<Component> ListComponents(std::string_view folder, std::string_view name,
                                      std::string* error) {
  Json::Value machine;
  if (!ReadJson(MachineFile(folder, name), &machine, error)) return {};
  std::vector<Component> components;
  for (const Json::Value& item : machine["MachineDefinition"]["Components"]) {
    if (!item.isObject()) continue;
    const Json::Value& geometry = item["Geometry"];
    components.push_back({item.get("Name", "").asString(),
                          geometry.isObject() ? geometry.get("Path", "").asString() : "",
                          geometry.isObject() ? geometry.get("Color", "").asString() : ""});
  }
  return components;
}

SolidsAdded AddSolids(std::string_view folder, std::string_view name,
                      const std::vector<StlEntry>& entries) {
  SolidsAdded result;
  Json::Value machine;
  std::string error;
  if (!ReadJson(MachineFile(folder, name), &machine, &error)) {
    result.problems.push_back(error);
    return result;
  }
  Json::Value& components = machine["MachineDefinition"]["Components"];
  const std::string data = DataFolder(folder, name);
  for (const StlEntry& entry : entries) {
    const std::string copyName = FreeNameIn(data, FileNameOf(entry.path));
    std::error_code copyError;
    fs::copy_file(PathFromUtf8(entry.path), PathFromUtf8(data + copyName), copyError);
    if (copyError) {
      result.problems.push_back("cannot copy " + entry.path + ": " + copyError.message());
      continue;
    }
    Json::Value component;
    component["GUID"] = NewGuidText();
    component["Name"] = std::string(StemOf(copyName));
    component["Geometry"]["Path"] = copyName;
    if (entry.color) component["Geometry"]["Color"] = *entry.color;
    components.append(component);
    ++result.added;
  }
  if (result.added > 0 && !WriteJson(MachineFile(folder, name), machine, &error)) {
    result.problems.push_back(error);
    result.added = 0;
  }
  return result;
}

bool SaveMachine(std::string_view folder, std::string_view name, std::string* error) {
  Json::Value machine;
  return ReadJson(MachineFile(folder, name), &machine, error) &&
         WriteJson(MachineFile(folder, name), machine, error);
}

}  // namespace rigwright::editor
