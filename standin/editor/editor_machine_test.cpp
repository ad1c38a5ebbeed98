#include "standin/editor/editor_machine.h"

#include <gtest/gtest.h>
#include <json/json.h>

#include <fstream>

#include "common/testing/test_folder.h"

namespace rigwright::editor {
namespace {

Json::Value ReadJsonFile(const std::filesystem::path& path) {
  std::ifstream in(path);
  Json::Value value;
  Json::CharReaderBuilder builder;
  std::string error;
  EXPECT_TRUE(Json::parseFromStream(builder, in, &value, &error)) << path << ": " << error;
  return value;
}

TEST(EditorMachineTest, ANewMachineHasItsFileAndDataFolderWithAnEmptyConfiguration) {
  TestFolder library;
  std::string error;
  ASSERT_TRUE(CreateMachine(library.text(), "Mill 3X", &error)) << error;
  EXPECT_EQ(library.Names(), (std::vector<std::string>{"Mill 3X", "Mill 3X.mcfg"}));

  const Json::Value machine = ReadJsonFile(library.path() / "Mill 3X.mcfg");
  const Json::Value& header = machine["MachineDefinition"]["Header"];
  EXPECT_EQ(header["Name"].asString(), "Mill 3X");
  EXPECT_EQ(header["GUID"].asString().size(), 36u);
  EXPECT_TRUE(machine["MachineDefinition"]["Components"].isArray());
  const Json::Value configuration = ReadJsonFile(library.path() / "Mill 3X" / "config.json");
  EXPECT_TRUE(configuration["UserConfiguration"]["Models"].isArray());
  EXPECT_EQ(ListMachines(library.text()), std::vector<std::string>{"Mill 3X"});
}

TEST(EditorMachineTest, NamesThatAreTakenOrNotPlainFileNamesAreRefused) {
  TestFolder library;
  library.Write("Lathe.mcfg", "{}");
  std::filesystem::create_directory(library.path() / "Old");
  for (const char* name : {"Lathe", "Old", "", ".", "..", "a/b", "a\\b"}) {
    std::string error;
    EXPECT_FALSE(CreateMachine(library.text(), name, &error)) << name;
    EXPECT_FALSE(error.empty()) << name;
  }
  EXPECT_EQ(ReadJsonFile(library.path() / "Lathe.mcfg"), Json::Value(Json::objectValue))
      << "an existing machine is left alone";
}

TEST(EditorMachineTest, OnlyMachineFilesAreListedInNameOrder) {
  TestFolder library;
  library.Write("b.mcfg", "{}");
  library.Write("A.mcfg", "{}");
  library.Write("notes.txt", "");
  library.Write(".mcfg", "");
  std::filesystem::create_directory(library.path() / "dir.mcfg");
  EXPECT_EQ(ListMachines(library.text()), (std::vector<std::string>{"A", "b"}));
  EXPECT_TRUE(ListMachines("/nonexistent/").empty());
}

TEST(ParseStlReplyTest, EntriesArePathsWithAnOptionalColour) {
  const auto entries =
      ParseStlReply("/w/Base.stl@0x1a2b3c;;/p/me@home.stl;/p/x.stl@0x12345;/p/ü.stl");
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(entries[0].path, "/w/Base.stl");
  EXPECT_EQ(entries[0].color, "0x1a2b3c");
  EXPECT_EQ(entries[1].path, "/p/me@home.stl");
  EXPECT_EQ(entries[1].color, std::nullopt);
  EXPECT_EQ(entries[2].path, "/p/x.stl@0x12345") << "five digits are no colour";
  EXPECT_EQ(entries[3].path, "/p/ü.stl");
  EXPECT_TRUE(ParseStlReply("").empty());
}

TEST(AddSolidsTest, EachSolidIsCopiedInAndReferencedRelativelyWithItsColour) {
  TestFolder library, parts;
  std::string error;
  ASSERT_TRUE(CreateMachine(library.text(), "Mill", &error)) << error;
  const auto base = parts.Write("Base.stl", "solid base");
  const auto other = parts.Write("other/Base.stl", "solid other base");

  const SolidsAdded result = AddSolids(library.text(), "Mill",
                                       {{base.string(), "0x102030"},
                                        {other.string(), std::nullopt},
                                        {parts.text() + "gone.stl", {}}});

  EXPECT_EQ(result.added, 2);
  ASSERT_EQ(result.problems.size(), 1u);
  EXPECT_NE(result.problems[0].find("gone.stl"), std::string::npos);
  EXPECT_EQ(library.Names("Mill"),
            (std::vector<std::string>{"Base (2).stl", "Base.stl", "config.json"}));
  const auto components = ListComponents(library.text(), "Mill", &error);
  ASSERT_EQ(components.size(), 2u);
  EXPECT_EQ(components[0].name, "Base");
  EXPECT_EQ(components[0].path, "Base.stl");
  EXPECT_EQ(components[0].color, "0x102030");
  EXPECT_EQ(components[1].path, "Base (2).stl");
  EXPECT_EQ(components[1].color, "");
}

TEST(AddSolidsTest, AMachineFileThatCannotBeReadTakesNothing) {
  TestFolder library, parts;
  library.Write("Broken.mcfg", "{ not json");
  std::filesystem::create_directory(library.path() / "Broken");
  const SolidsAdded result =
      AddSolids(library.text(), "Broken", {{parts.Write("a.stl", "solid").string(), {}}});
  EXPECT_EQ(result.added, 0);
  ASSERT_EQ(result.problems.size(), 1u);
  EXPECT_NE(result.problems[0].find("Broken.mcfg"), std::string::npos) << result.problems[0];
  EXPECT_TRUE(library.Names("Broken").empty());
}

}  // namespace
}  // namespace rigwright::editor
