#include "standin/host/part_file.h"

#include <json/json.h>

#include <fstream>
#include <iterator>
#include <limits>
#include <memory>
#include <set>
#include <stdexcept>

namespace rigwright::standin {
namespace {

// A field that is missing or wrong; `what` starts with the field's place in the document.
struct FieldError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

[[noreturn]] void Fail(const std::string& field, const std::string& problem) {
  throw FieldError(field + ": " + problem);
}

const Json::Value& Member(const Json::Value& object, const std::string& field, const char* name) {
  const Json::Value& value = object[name];
  if (value.isNull()) Fail(field + "." + name, "missing");
  return value;
}

std::int64_t ReadInteger(const Json::Value& value, const std::string& field, std::int64_t lowest,
                         std::int64_t highest) {
  if (!value.isIntegral()) Fail(field, "expected an integer");
  const std::int64_t number = value.asInt64();
  if (number < lowest || number > highest) {
    Fail(field, "must lie from " + std::to_string(lowest) + " to " + std::to_string(highest));
  }
  return number;
}

double ReadNumber(const Json::Value& value, const std::string& field) {
  if (!value.isNumeric()) Fail(field, "expected a number");
  return value.asDouble();
}

Vec3 ReadPoint(const Json::Value& value, const std::string& field) {
  if (!value.isArray() || value.size() != 3) Fail(field, "expected [x, y, z]");
  return {ReadNumber(value[0], field + "[0]"), ReadNumber(value[1], field + "[1]"),
          ReadNumber(value[2], field + "[2]")};
}

// Kinds are written as integers or as "0x" hexadecimal text.
std::uint32_t ReadKind(const Json::Value& value, const std::string& field) {
  if (value.isString()) {
    const std::string text = value.asString();
    std::size_t used = 0;
    unsigned long kind = 0;
    try {
      kind = std::stoul(text, &used, 0);
    } catch (const std::exception&) {
      used = 0;
    }
    if (used == 0 || used != text.size() || kind > std::numeric_limits<std::uint32_t>::max()) {
      Fail(field, "expected a kind code such as \"0x100\", got \"" + text + "\"");
    }
    return static_cast<std::uint32_t>(kind);
  }
  return static_cast<std::uint32_t>(ReadInteger(value, field, 0, 0xFFFFFFFF));
}

BoxShape ReadBox(const Json::Value& value, const std::string& field) {
  const BoxShape box{ReadPoint(Member(value, field, "min"), field + ".min"),
                     ReadPoint(Member(value, field, "max"), field + ".max")};
  if (!(box.min.x < box.max.x && box.min.y < box.max.y && box.min.z < box.max.z)) {
    Fail(field, "min must lie below max on every axis");
  }
  return box;
}

CylinderShape ReadCylinder(const Json::Value& value, const std::string& field) {
  CylinderShape cylinder;
  cylinder.base = ReadPoint(Member(value, field, "base"), field + ".base");
  if (value.isMember("axis")) cylinder.axis = ReadPoint(value["axis"], field + ".axis");
  if (cylinder.axis.x == 0 && cylinder.axis.y == 0 && cylinder.axis.z == 0) {
    Fail(field + ".axis", "must not be zero");
  }
  cylinder.radius = ReadNumber(Member(value, field, "radius"), field + ".radius");
  cylinder.height = ReadNumber(Member(value, field, "height"), field + ".height");
  if (!(cylinder.radius > 0)) Fail(field + ".radius", "must be positive");
  if (!(cylinder.height > 0)) Fail(field + ".height", "must be positive");
  return cylinder;
}

MeshShape ReadMesh(const Json::Value& value, const std::string& field) {
  MeshShape mesh;
  const Json::Value& vertices = Member(value, field, "vertices");
  const Json::Value& triangles = Member(value, field, "triangles");
  if (!vertices.isArray()) Fail(field + ".vertices", "expected a list of points");
  if (!triangles.isArray()) Fail(field + ".triangles", "expected a list of index triples");
  for (Json::ArrayIndex i = 0; i < vertices.size(); ++i) {
    mesh.vertices.push_back(ReadPoint(vertices[i], field + ".vertices[" + std::to_string(i) + "]"));
  }
  const auto last = static_cast<std::int64_t>(mesh.vertices.size()) - 1;
  for (Json::ArrayIndex i = 0; i < triangles.size(); ++i) {
    const std::string place = field + ".triangles[" + std::to_string(i) + "]";
    const Json::Value& t = triangles[i];
    if (!t.isArray() || t.size() != 3) Fail(place, "expected three vertex indices");
    std::array<std::uint32_t, 3> corners{};
    for (Json::ArrayIndex c = 0; c < 3; ++c) {
      corners[c] = static_cast<std::uint32_t>(ReadInteger(t[c], place, 0, last));
    }
    mesh.triangles.push_back(corners);
  }
  return mesh;
}

Shape ReadShape(const Json::Value& entity, const std::string& field) {
  const int shapes = entity.isMember("box") + entity.isMember("cylinder") + entity.isMember("mesh");
  if (shapes > 1) Fail(field, "has more than one of box, cylinder and mesh");
  if (entity.isMember("box")) return ReadBox(entity["box"], field + ".box");
  if (entity.isMember("cylinder")) return ReadCylinder(entity["cylinder"], field + ".cylinder");
  if (entity.isMember("mesh")) return ReadMesh(entity["mesh"], field + ".mesh");
  return std::monostate{};
}

std::optional<PartEntity> ReadEntity(const Json::Value& value, const std::string& field) {
  if (value.isNull()) return std::nullopt;
  if (!value.isObject()) Fail(field, "expected an entity object or null");
  PartEntity entity;
  entity.identifier = static_cast<std::int32_t>(
      ReadInteger(Member(value, field, "id"), field + ".id", INT32_MIN, INT32_MAX));
  entity.kind = ReadKind(Member(value, field, "kind"), field + ".kind");
  entity.level = static_cast<std::int32_t>(
      ReadInteger(Member(value, field, "level"), field + ".level", INT32_MIN, INT32_MAX));
  if (value.isMember("color")) {
    entity.colorNumber =
        static_cast<std::uint8_t>(ReadInteger(value["color"], field + ".color", 0, 255));
  }
  entity.shape = ReadShape(value, field);
  return entity;
}

PartLevel ReadLevel(const Json::Value& value, const std::string& field) {
  if (!value.isObject()) Fail(field, "expected a level object");
  PartLevel level;
  level.number = static_cast<std::int32_t>(
      ReadInteger(Member(value, field, "number"), field + ".number", INT32_MIN, INT32_MAX));
  if (value.isMember("name")) {
    if (!value["name"].isString()) Fail(field + ".name", "expected text");
    level.name = value["name"].asString();
  }
  if (value.isMember("active")) {
    if (!value["active"].isBool()) Fail(field + ".active", "expected true or false");
    level.active = value["active"].asBool();
  }
  return level;
}

std::uint32_t ReadColor(const Json::Value& value, const std::string& field) {
  const std::string text = value.isString() ? value.asString() : std::string();
  std::size_t used = 0;
  unsigned long rgb = 0;
  if (text.size() == 7 && text[0] == '#') {
    try {
      rgb = std::stoul(text.substr(1), &used, 16);
    } catch (const std::exception&) {
      used = 0;
    }
  }
  if (used != 6) Fail(field, "expected a colour such as \"#b70000\"");
  return ColorValue(static_cast<std::uint8_t>(rgb >> 16), static_cast<std::uint8_t>(rgb >> 8),
                    static_cast<std::uint8_t>(rgb));
}

void ReadColors(const Json::Value& value, ColorTable& table) {
  if (!value.isObject()) Fail("colors", "expected an object of colour numbers");
  for (const std::string& key : value.getMemberNames()) {
    const std::string field = "colors." + key;
    std::size_t used = 0;
    int number = -1;
    try {
      number = std::stoi(key, &used);
    } catch (const std::exception&) {
      used = 0;
    }
    if (used != key.size() || number < 0 || number > 255)
      Fail(field, "not a colour number 0 to 255");
    table[static_cast<std::size_t>(number)] = ReadColor(value[key], field);
  }
}

bool ReadUnits(const Json::Value& root) {
  if (!root.isMember("units")) return true;
  const std::string units = root["units"].isString() ? root["units"].asString() : std::string();
  if (units != "mm" && units != "inch") Fail("units", "expected \"mm\" or \"inch\"");
  return units == "mm";
}

template <typename Item, typename ReadItem>
std::vector<Item> ReadList(const Json::Value& root, const char* name, ReadItem read) {
  std::vector<Item> items;
  if (!root.isMember(name)) return items;
  const Json::Value& list = root[name];
  if (!list.isArray()) Fail(name, "expected a list");
  for (Json::ArrayIndex i = 0; i < list.size(); ++i) {
    items.push_back(read(list[i], std::string(name) + "[" + std::to_string(i) + "]"));
  }
  return items;
}

PartData ReadPart(const Json::Value& root) {
  if (!root.isObject()) Fail("(document)", "expected a JSON object");
  PartData part;
  part.metric = ReadUnits(root);
  part.levels = ReadList<PartLevel>(root, "levels", ReadLevel);
  std::set<std::int32_t> numbers;
  for (std::size_t i = 0; i < part.levels.size(); ++i) {
    if (!numbers.insert(part.levels[i].number).second) {
      Fail("levels[" + std::to_string(i) + "].number", "level number used twice");
    }
  }
  part.entities = ReadList<std::optional<PartEntity>>(root, "entities", ReadEntity);
  if (root.isMember("colors")) ReadColors(root["colors"], *part.colors);
  return part;
}

}  // namespace

std::optional<PartData> ParsePart(std::string_view json, std::string_view origin,
                                  std::string* error) {
  Json::CharReaderBuilder builder;
  builder["collectComments"] = false;
  const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  Json::Value root;
  std::string syntax;
  if (!reader->parse(json.data(), json.data() + json.size(), &root, &syntax)) {
    *error = std::string(origin) + ": not valid JSON: " + syntax;
    return std::nullopt;
  }
  try {
    return ReadPart(root);
  } catch (const std::exception& e) {
    *error = std::string(origin) + ": " + e.what();
    return std::nullopt;
  }
}

std::optional<PartData> LoadPartFile(const std::filesystem::path& file, std::string* error) {
  std::ifstream in(file, std::ios::binary);
  if (!in.is_open()) {
    *error = "cannot open part file " + file.string();
    return std::nullopt;
  }
  const std::string text{std::istreambuf_iterator<char>(in), {}};
  if (in.bad()) {
    *error = "cannot read part file " + file.string();
    return std::nullopt;
  }
  return ParsePart(text, file.string(), error);
}

}  // namespace rigwright::standin
