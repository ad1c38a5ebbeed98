#include "wrapper/machine/machine_document.h"

#include <algorithm>
#include <cstdint>
#include <exception>
#include <sstream>
#include <string_view>
#include <unordered_map>

#include "common/path_text.h"
#include "wrapper/machine/file_bytes.h"

namespace rigwright {
namespace {

void SetError(std::string* error, std::string text) {
  if (error) *error = std::move(text);
}

bool IsContainer(const Json::Value& value) { return value.isObject() || value.isArray(); }

const char* TypeName(const Json::Value& value) {
  return value.isObject() ? "an object" : value.isArray() ? "an array" : "a value";
}

// JsonCpp's "* Line 1, Column 7\n  Syntax error: ...\n" on one line, for a message that follows
// a file name: "Line 1, Column 7: Syntax error: ...". Several errors are joined with "; ".
std::string OnOneLine(const std::string& formatted) {
  std::string result;
  bool afterLocation = false;
  std::istringstream lines(formatted);
  for (std::string line; std::getline(lines, line);) {
    const size_t start = line.find_first_not_of(" *");
    if (start == std::string::npos) continue;
    const bool location = line.rfind("* ", 0) == 0;
    if (!result.empty()) result += location ? "; " : afterLocation ? ": " : " ";
    result += line.substr(start);
    afterLocation = location;
  }
  return result;
}

// What the search for a "GUID" meets in one object.
enum class GuidMeeting { kOther, kMatch, kMisTyped };

GuidMeeting Meet(const Json::Value& value, const std::string& guid, const Json::Value* exempt) {
  if (!value.isObject() || !value.isMember("GUID")) return GuidMeeting::kOther;
  const Json::Value& own = value["GUID"];
  if (IsContainer(own)) return &value == exempt ? GuidMeeting::kOther : GuidMeeting::kMisTyped;
  return own.asString() == guid ? GuidMeeting::kMatch : GuidMeeting::kOther;
}

struct GuidSearch {
  const std::string& guid;
  const Json::Value* exempt;              // an object whose "GUID" is never compared
  const Json::Value* misTyped = nullptr;  // the object whose "GUID" stopped the search
};

// FindNodeByGuid's search, which stops at the first "GUID" that holds an object or array.
Json::Value* Search(Json::Value& value, GuidSearch& search) {
  switch (Meet(value, search.guid, search.exempt)) {
    case GuidMeeting::kMatch:
      return &value;
    case GuidMeeting::kMisTyped:
      search.misTyped = &value;
      return nullptr;
    case GuidMeeting::kOther:
      break;
  }
  if (value.isArray()) {
    for (Json::Value& element : value) {
      if (Json::Value* found = Search(element, search)) return found;
      if (search.misTyped) return nullptr;
    }
  } else if (value.isObject()) {
    for (const std::string& name : value.getMemberNames()) {
      Json::Value& member = value[name];
      if (!IsContainer(member)) continue;
      if (Json::Value* found = Search(member, search)) return found;
      if (search.misTyped) return nullptr;
    }
  }
  return nullptr;
}

// The place of `target` inside `value` ("Parts/2"), found again only to name it in a message.
bool PlaceOf(const Json::Value& value, const Json::Value* target, std::string& place) {
  if (&value == target) return true;
  const std::size_t length = place.size();
  if (value.isArray()) {
    for (Json::ArrayIndex i = 0; i < value.size(); ++i) {
      place += "/" + std::to_string(i);
      if (PlaceOf(value[i], target, place)) return true;
      place.resize(length);
    }
  } else if (value.isObject()) {
    for (const std::string& name : value.getMemberNames()) {
      place += "/" + name;
      if (PlaceOf(value[name], target, place)) return true;
      place.resize(length);
    }
  }
  return false;
}

// Whether `value` is, or holds at any depth, an object with a "GUID" member.
bool HoldsGuid(const Json::Value& value) {
  if (value.isObject() && value.isMember("GUID")) return true;
  for (const Json::Value& element : value) {
    if (IsContainer(element) && HoldsGuid(element)) return true;
  }
  return false;
}

// What Search finds, for every "GUID" text at once: the definition is walked in search order
// once, not once per "Models" entry. For each text it keeps the first node that holds it, and it
// keeps the first "GUID" that cannot be compared; a search stops at whichever of the two comes
// first, so a mis-typed "GUID" after the match is not met and one before it is.
class GuidIndex {
 public:
  GuidIndex(Json::Value& definition, const Json::Value* exempt)
      : definition_(definition), exempt_(exempt) {}

  // As Search(definition, {guid, exempt}) would find it: the node, or null with `misTyped` set
  // when the search stops at a "GUID" of the wrong type first.
  Json::Value* Find(const std::string& guid, const Json::Value*& misTyped) {
    if (!built_) Build();
    const auto match = first_.find(guid);
    const std::size_t matchOrder = match == first_.end() ? SIZE_MAX : match->second.order;
    if (misTyped_.node && misTyped_.order < matchOrder) {
      misTyped = misTyped_.node;
      return nullptr;
    }
    return match == first_.end() ? nullptr : match->second.node;
  }

  // Called when the tree changed where a "GUID" was or now is (a merged "Geometry" that held
  // nodes or brings its own): later entries must find what the changed tree holds. Other changes
  // neither add nor remove an indexed node nor change their order, so the index stays.
  void Invalidate() { built_ = false; }

 private:
  struct Place {
    std::size_t order = 0;
    Json::Value* node = nullptr;
  };

  void Build() {
    first_.clear();
    misTyped_ = {};
    order_ = 0;
    Add(definition_);
    built_ = true;
  }

  void Add(Json::Value& value) {
    if (value.isObject() && value.isMember("GUID")) {
      const Json::Value& own = value["GUID"];
      const Place place{order_++, &value};
      if (!IsContainer(own)) {
        first_.try_emplace(own.asString(), place);
      } else if (&value != exempt_ && !misTyped_.node) {
        misTyped_ = place;
      }
    }
    for (Json::Value& element : value) {
      if (IsContainer(element)) Add(element);
    }
  }

  Json::Value& definition_;
  const Json::Value* exempt_;
  bool built_ = false;
  std::size_t order_ = 0;
  std::unordered_map<std::string, Place> first_;
  Place misTyped_;
};

// Applies one "Models" entry. False for an entry of the wrong shape, and for a "GUID" of the
// wrong shape that the search for the entry's node meets (named by its place below `key`). The
// header's "GUID" is kept as the file has it and never compared.
bool MergeEntry(Json::Value& definition, GuidIndex& index, const std::string& key,
                const Json::Value& entry, const std::string& place, std::string* error) {
  if (entry.isNull()) return true;
  if (!entry.isObject()) {
    SetError(error, place + " is " + TypeName(entry) + ", not an object");
    return false;
  }
  const Json::Value& guidValue = entry["GUID"];
  if (IsContainer(guidValue)) {
    SetError(error, place + "/GUID is " + TypeName(guidValue) + ", not a string");
    return false;
  }
  const std::string guid = guidValue.isNull() ? std::string() : guidValue.asString();
  if (guid.empty()) return true;
  const Json::Value* misTyped = nullptr;
  Json::Value* node = index.Find(guid, misTyped);
  if (misTyped) {
    std::string misTypedPlace = key;
    PlaceOf(definition, misTyped, misTypedPlace);
    SetError(error, misTypedPlace + "/GUID is " + TypeName((*misTyped)["GUID"]) + ", not a string");
    return false;
  }
  if (!node) return true;
  Json::Value& geometry = (*node)["Geometry"];
  Json::Value merged = entry.isMember("Geometry") ? entry["Geometry"] : Json::Value();
  const bool guidsChange = HoldsGuid(geometry) || HoldsGuid(merged);
  geometry = std::move(merged);
  if (guidsChange) index.Invalidate();
  return true;
}

void CollectPaths(const Json::Value& value, std::vector<std::string>& paths) {
  if (value.isObject()) {
    if (value.isMember("Path") && !IsContainer(value["Path"])) {
      paths.push_back(value["Path"].asString());
    }
    for (const std::string& name : value.getMemberNames()) CollectPaths(value[name], paths);
  } else if (value.isArray()) {
    for (const Json::Value& element : value) CollectPaths(element, paths);
  }
}

}  // namespace

bool ReadJsonDocument(const std::filesystem::path& path, Json::Value& root, std::string* error) {
  Bytes bytes;
  std::string why;
  const int result = ReadFileBytes(path, bytes, &why);
  if (result != kFileRead) {
    SetError(error, Utf8FromPath(path) + ": " + ReadFailureText(result, why));
    return false;
  }
  const char* begin = reinterpret_cast<const char*>(bytes.data());
  const char* end = std::find(begin, begin + bytes.size(), '\0');
  // Editors on Windows begin UTF-8 text with a byte-order mark, which is no JSON.
  constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  if (std::string_view(begin, static_cast<std::size_t>(end - begin)).starts_with(kByteOrderMark)) {
    begin += kByteOrderMark.size();
  }
  Json::Reader reader;
  try {
    if (!reader.parse(begin, end, root, /*collectComments=*/true)) {
      SetError(error, Utf8FromPath(path) + ": not well-formed JSON: " +
                          OnOneLine(reader.getFormattedErrorMessages()));
      return false;
    }
  } catch (const std::exception& e) {
    // The reader throws when the text nests deeper than it is willing to recurse.
    SetError(error, Utf8FromPath(path) + ": not well-formed JSON: " + e.what());
    return false;
  }
  return true;
}

Json::Value* ChooseDefinition(Json::Value& root, std::string* error) {
  if (!root.isObject()) {
    SetError(error, "the document is not a JSON object");
    return nullptr;
  }
  const char* key =
      root.isMember("MachineDefinitionLocked") ? "MachineDefinitionLocked" : "MachineDefinition";
  const bool present = root.isMember(key);
  if (!present || root[key].isNull()) {
    SetError(error,
             std::string("the document has no \"") + key + "\"" + (present ? " (it is null)" : ""));
    return nullptr;
  }
  return &root[key];
}

bool MergeUserConfiguration(Json::Value& document, const std::filesystem::path& configPath,
                            std::string* error) {
  Json::Value* definition = ChooseDefinition(document, error);
  if (!definition) return false;
  Json::Value config;
  if (!ReadJsonDocument(configPath, config, error)) return false;
  // A null document has no "UserConfiguration", so there is nothing to merge. Other values that
  // are not objects are refused: they cannot be a user configuration.
  if (config.isNull()) return true;
  const std::string file = Utf8FromPath(configPath) + ": ";
  if (!config.isObject()) {
    SetError(error, file + "the document is not a JSON object");
    return false;
  }
  const Json::Value& user = config["UserConfiguration"];
  if (!user.isNull() && !user.isObject()) {
    SetError(error, file + "\"UserConfiguration\" is " + TypeName(user) + ", not an object");
    return false;
  }
  const Json::Value& models = user["Models"];
  if (!models.isArray()) return true;
  const std::string key = document.isMember("MachineDefinitionLocked") ? "MachineDefinitionLocked"
                                                                       : "MachineDefinition";
  constexpr std::string_view kHeader = "Header";
  const Json::Value* header =
      definition->isObject() ? definition->find(kHeader.data(), kHeader.data() + kHeader.size())
                             : nullptr;
  GuidIndex index(*definition, header);
  std::string entryError;
  for (Json::ArrayIndex i = 0; i < models.size(); ++i) {
    const std::string place = "UserConfiguration/Models/" + std::to_string(i);
    if (!MergeEntry(*definition, index, key, models[i], place, &entryError)) {
      SetError(error, file + entryError);
      return false;
    }
  }
  return true;
}

Json::Value* FindNodeByGuid(Json::Value& value, const std::string& guid) {
  GuidSearch search{guid, nullptr};
  return Search(value, search);
}

std::vector<std::string> CollectModelPaths(const Json::Value& definition) {
  std::vector<std::string> paths;
  CollectPaths(definition, paths);
  return paths;
}

std::string FindMisTypedPath(const Json::Value& value, const std::string& place) {
  if (value.isObject()) {
    for (const std::string& name : value.getMemberNames()) {
      const Json::Value& member = value[name];
      const std::string memberPlace = place + "/" + name;
      if (name == "Path" && IsContainer(member)) {
        return memberPlace + " is " + TypeName(member) + ", not a string";
      }
      std::string found = FindMisTypedPath(member, memberPlace);
      if (!found.empty()) return found;
    }
  } else if (value.isArray()) {
    for (Json::ArrayIndex i = 0; i < value.size(); ++i) {
      std::string found = FindMisTypedPath(value[i], place + "/" + std::to_string(i));
      if (!found.empty()) return found;
    }
  }
  return {};
}

bool SettleHeader(Json::Value& definition, std::string_view orientation, std::string* error) {
  if (!definition.isObject()) {
    SetError(error,
             "the machine definition is " + std::string(TypeName(definition)) + ", not an object");
    return false;
  }
  Json::Value& header = definition["Header"];
  if (!header.isNull() && !header.isObject()) {
    SetError(error, "\"Header\" is " + std::string(TypeName(header)) + ", not an object");
    return false;
  }
  if (!header.isMember("GUID")) header["GUID"] = Json::Value();
  if (orientation == "Vertical" || orientation == "Horizontal" || orientation == "Lathe") {
    header["Orientation"] = std::string(orientation);
  }
  return true;
}

std::string WriteDocument(const Json::Value& root) {
  Json::StyledWriter writer;
  return writer.write(root);
}

}  // namespace rigwright
