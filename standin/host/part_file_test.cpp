#include "standin/host/part_file.h"

#include <gtest/gtest.h>

#include "common/testing/test_folder.h"

namespace rigwright::standin {
namespace {

std::string ErrorOf(std::string_view json) {
  std::string error;
  EXPECT_FALSE(ParsePart(json, "part.json", &error)) << json;
  return error;
}

TEST(PartFileTest, SamplePartLoads) {
  std::string error;
  const auto part = LoadPartFile(RIGWRIGHT_SOURCE_DIR "/data/sample-part.json", &error);
  ASSERT_TRUE(part) << error;
  EXPECT_TRUE(part->metric);
  ASSERT_EQ(part->levels.size(), 8u);
  EXPECT_EQ(part->levels[0].number, 10) << "levels keep the file's order";
  EXPECT_FALSE(part->levels[6].active);
  ASSERT_EQ(part->entities.size(), 16u);
  EXPECT_FALSE(part->entities[4]) << "null is a node without an entity";
  ASSERT_TRUE(part->entities[5]);
  EXPECT_EQ(part->entities[5]->kind, 0x10000u);
  const auto* cylinder = std::get_if<CylinderShape>(&part->entities[5]->shape);
  ASSERT_NE(cylinder, nullptr);
  EXPECT_EQ(cylinder->radius, 60);
  EXPECT_EQ((*part->colors)[12], ColorValue(255, 0, 0));
  EXPECT_EQ((*part->colors)[1], DefaultColorTable()[1]) << "unlisted colours keep the palette";
}

TEST(PartFileTest, ErrorsNameTheFileAndTheField) {
  std::string error;
  EXPECT_FALSE(LoadPartFile("/nonexistent/part.json", &error));
  EXPECT_NE(error.find("/nonexistent/part.json"), std::string::npos) << error;

  EXPECT_NE(ErrorOf("{\"levels\": [").find("part.json: not valid JSON"), std::string::npos);
  EXPECT_EQ(ErrorOf(R"({"units": "cubits"})"), "part.json: units: expected \"mm\" or \"inch\"");
  EXPECT_EQ(ErrorOf(R"({"entities": [null, {"id": 1, "kind": 256, "level": "one"}]})"),
            "part.json: entities[1].level: expected an integer");
  EXPECT_EQ(ErrorOf(R"({"entities": [{"id": 1, "level": 1}]})"),
            "part.json: entities[0].kind: missing");
  EXPECT_EQ(ErrorOf(R"({"entities": [{"id": 1, "kind": "solid", "level": 1}]})"),
            "part.json: entities[0].kind: expected a kind code such as \"0x100\", got \"solid\"");
  EXPECT_EQ(ErrorOf(R"({"entities": [{"id": 1, "kind": 256, "level": 1, "color": 300}]})"),
            "part.json: entities[0].color: must lie from 0 to 255");
  EXPECT_EQ(ErrorOf(R"({"levels": [{"number": 2}, {"number": 2}]})"),
            "part.json: levels[1].number: level number used twice");
  EXPECT_EQ(ErrorOf(R"({"colors": {"12": "red"}})"),
            "part.json: colors.12: expected a colour such as \"#b70000\"");
}

TEST(PartFileTest, ShapesAreChecked) {
  EXPECT_EQ(ErrorOf(R"({"entities": [{"id": 1, "kind": 256, "level": 1,
      "mesh": {"vertices": [[0,0,0], [1,0,0], [0,1,0]], "triangles": [[0, 1, 3]]}}]})"),
            "part.json: entities[0].mesh.triangles[0]: must lie from 0 to 2");
  EXPECT_EQ(ErrorOf(R"({"entities": [{"id": 1, "kind": 256, "level": 1,
      "box": {"min": [0,0,0], "max": [1,0,1]}}]})"),
            "part.json: entities[0].box: min must lie below max on every axis");
  EXPECT_EQ(ErrorOf(R"({"entities": [{"id": 1, "kind": 256, "level": 1,
      "cylinder": {"base": [0,0,0], "radius": -1, "height": 1}}]})"),
            "part.json: entities[0].cylinder.radius: must be positive");
  EXPECT_EQ(ErrorOf(R"({"entities": [{"id": 1, "kind": 256, "level": 1,
      "box": {"min": [0,0,0], "max": [1,1,1]}, "cylinder": {}}]})"),
            "part.json: entities[0]: has more than one of box, cylinder and mesh");
}

}  // namespace
}  // namespace rigwright::standin
