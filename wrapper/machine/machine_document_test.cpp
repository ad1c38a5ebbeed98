#include "wrapper/machine/machine_document.h"

#include <gtest/gtest.h>

#include <random>

#include "common/testing/test_folder.h"

namespace rigwright {
namespace {

using namespace std::string_literals;

Json::Value Parse(const std::string& text) {
  Json::Value root;
  Json::Reader reader;
  EXPECT_TRUE(reader.parse(text, root)) << text;
  return root;
}

class MachineDocumentTest : public ::testing::Test {
 protected:
  // Merges `config` (the text of a user configuration file) into `document`.
  bool Merge(Json::Value& document, const std::string& config, std::string* error = nullptr) {
    return MergeUserConfiguration(document, dir_.Write("config.json", config), error);
  }
  TestFolder dir_;
};

TEST_F(MachineDocumentTest, ReadingStopsAtTheFirstNulAndKeepsComments) {
  const auto file = dir_.Write("m.mcfg", "// shop floor 2\n{\"MachineDefinition\":{}}\0junk{"s);
  Json::Value root;
  std::string error;
  ASSERT_TRUE(ReadJsonDocument(file, root, &error)) << error;
  EXPECT_TRUE(root["MachineDefinition"].isObject());
  EXPECT_NE(WriteDocument(root).find("// shop floor 2"), std::string::npos) << WriteDocument(root);
}

// Editors on Windows start UTF-8 files with a byte-order mark.
TEST_F(MachineDocumentTest, AByteOrderMarkIsSkipped) {
  Json::Value root;
  std::string error;
  ASSERT_TRUE(ReadJsonDocument(dir_.Write("m.mcfg", "\xEF\xBB\xBF{\"MachineDefinition\":{}}"), root,
                               &error))
      << error;
  EXPECT_TRUE(root["MachineDefinition"].isObject());
}

TEST_F(MachineDocumentTest, ReadingFailuresNameTheFileAndSayWhy) {
  std::filesystem::create_directory(dir_.path() / "folder.mcfg");
  const std::pair<std::filesystem::path, std::string> cases[] = {
      {dir_.Write("bad.mcfg", "{\"a\": }"),
       ": not well-formed JSON: Line 1, Column 7: Syntax error: value, object or array expected."},
      {dir_.Write("empty.mcfg", ""), ": is empty"},
      // The system's own words follow ("No such file or directory" here).
      {dir_.path() / "gone.mcfg", ": cannot be opened: "},
      {dir_.path() / "folder.mcfg", ": cannot be opened: it is a folder"},
      // JsonCpp's reader refuses to nest deeper than it can recurse.
      {dir_.Write("deep.mcfg", std::string(5000, '[')), ": not well-formed JSON: "},
  };
  for (const auto& [file, expected] : cases) {
    Json::Value root;
    std::string error;
    EXPECT_FALSE(ReadJsonDocument(file, root, &error)) << file;
    EXPECT_EQ(error.substr(0, file.string().size() + expected.size()), file.string() + expected);
  }
}

TEST_F(MachineDocumentTest, LockedDefinitionIsPreferred) {
  Json::Value root = Parse(R"({"MachineDefinition":{"a":1},"MachineDefinitionLocked":{"b":2}})");
  ASSERT_NE(ChooseDefinition(root), nullptr);
  EXPECT_EQ((*ChooseDefinition(root))["b"].asInt(), 2);

  std::string error;
  Json::Value none = Parse(R"({"MachineDefinition":null})");
  EXPECT_EQ(ChooseDefinition(none, &error), nullptr);
  EXPECT_NE(error.find("no \"MachineDefinition\""), std::string::npos);
  Json::Value locked = Parse(R"({"MachineDefinition":{},"MachineDefinitionLocked":null})");
  EXPECT_EQ(ChooseDefinition(locked, &error), nullptr);
  EXPECT_EQ(error, "the document has no \"MachineDefinitionLocked\" (it is null)");
  Json::Value array = Parse("[1]");
  EXPECT_EQ(ChooseDefinition(array, &error), nullptr);
  EXPECT_NE(error.find("not a JSON object"), std::string::npos);
}

TEST_F(MachineDocumentTest, SearchFindsAnObjectsOwnMatchBeforeItsMembersInKeyOrder) {
  Json::Value root = Parse(R"({
    "B": {"GUID": "g", "where": "B"},
    "A": [{"x": {"GUID": "g", "where": "A0x"}}, {"GUID": "g", "where": "A1"}],
    "C": {"GUID": "h", "inner": {"GUID": "g", "where": "C.inner"}}
  })");
  ASSERT_NE(FindNodeByGuid(root, "g"), nullptr);
  EXPECT_EQ((*FindNodeByGuid(root, "g"))["where"].asString(), "A0x");
  EXPECT_EQ(FindNodeByGuid(root, "G"), nullptr) << "comparison is case-sensitive";
  root["GUID"] = "g";
  EXPECT_EQ(FindNodeByGuid(root, "g"), &root);
}

TEST_F(MachineDocumentTest, MergeReplacesGeometryAndLaterEntriesWin) {
  Json::Value document = Parse(R"({"MachineDefinition":{"Parts":[
      {"GUID":"p1","Geometry":{"Path":"old.stl"}},
      {"GUID":"p2","Geometry":{"Path":"keep.stl"}},
      {"GUID":"p3","Geometry":{"Path":"drop.stl"}}]}})");
  ASSERT_TRUE(Merge(document, R"({"UserConfiguration":{"Models":[
      {"GUID":"p1","Geometry":{"Path":"first.stl"}},
      {"GUID":"p1","Geometry":{"Path":"new.stl","Color":"0x102030"}},
      {"GUID":"p3"},
      {"GUID":"nobody","Geometry":1},
      {"Geometry":2},
      null]}})"));
  const Json::Value& parts = document["MachineDefinition"]["Parts"];
  EXPECT_EQ(parts[0]["Geometry"]["Path"].asString(), "new.stl");
  EXPECT_EQ(parts[1]["Geometry"]["Path"].asString(), "keep.stl");
  EXPECT_TRUE(parts[2]["Geometry"].isNull()) << "an entry without Geometry clears it";
  EXPECT_EQ(CollectModelPaths(document["MachineDefinition"]),
            (std::vector<std::string>{"new.stl", "keep.stl"}));
}

TEST_F(MachineDocumentTest, ConfigurationWithoutModelsMergesNothing) {
  const Json::Value original = Parse(R"({"MachineDefinition":{"GUID":"x","Geometry":1}})");
  for (const char* config :
       {"{}", "null", "// nothing configured yet\nnull", R"({"UserConfiguration":{}})",
        R"({"UserConfiguration":null})", R"({"UserConfiguration":{"Models":{"GUID":"x"}}})"}) {
    Json::Value document = original;
    EXPECT_TRUE(Merge(document, config)) << config;
    EXPECT_EQ(document, original) << config;
  }
}

// A "GUID" is read where the merge's search meets it: one holding an object or array fails the
// merge there, naming it; one that no search reaches, and the header's, pass through as they are.
TEST_F(MachineDocumentTest, OnlyAMisTypedGuidTheSearchMeetsFailsTheMerge) {
  const Json::Value original = Parse(R"({"MachineDefinition":{
      "Header":{"GUID":{"id":7}},"X":{"GUID":"x"},"Y":{"GUID":[1]}}})");
  const std::pair<const char*, const char*> cases[] = {
      {R"({"UserConfiguration":{"Models":[]}})", ""},
      {R"({"UserConfiguration":{"Models":[{"GUID":"x","Geometry":1}]}})", ""},
      {R"({"UserConfiguration":{"Models":[{"GUID":"y","Geometry":1}]}})",
       "MachineDefinition/Y/GUID is an array, not a string"},
  };
  for (const auto& [config, expected] : cases) {
    Json::Value document = original;
    std::string error;
    EXPECT_EQ(Merge(document, config, &error), *expected == '\0') << config;
    EXPECT_NE(error.find(expected), std::string::npos) << config << " gave: " << error;
    EXPECT_EQ(document["MachineDefinition"]["Header"], original["MachineDefinition"]["Header"]);
  }
}

// The merge as described: one whole search per entry, which stops at a "GUID" that holds an
// object or array (except the header's).
Json::Value* SearchEverything(Json::Value& value, const std::string& guid,
                              const Json::Value* header, bool& misTyped) {
  if (value.isObject() && value.isMember("GUID")) {
    const Json::Value& own = value["GUID"];
    if (own.isObject() || own.isArray()) {
      misTyped = &value != header;
      if (misTyped) return nullptr;
    } else if (own.asString() == guid) {
      return &value;
    }
  }
  for (Json::Value& element : value) {
    Json::Value* found = SearchEverything(element, guid, header, misTyped);
    if (found || misTyped) return found;
  }
  return nullptr;
}

// Nodes whose "GUID"s repeat, a few holding an array, nested in members and in "Geometry".
Json::Value RandomNode(std::mt19937& random, int depth) {
  const auto pick = [&](unsigned n) { return random() % n; };
  Json::Value node(Json::objectValue);
  if (pick(4) != 0) {
    node["GUID"] = pick(30) == 0 ? Json::Value(Json::arrayValue) : "g" + std::to_string(pick(12));
  }
  for (const char* name : {"Geometry", "Kids", "A"}) {
    if (depth == 0 || pick(2) == 0) continue;
    node[name] = RandomNode(random, depth - 1);
    if (pick(2) == 0) node[name] = Json::Value(Json::arrayValue).append(node[name]);
  }
  return node;
}

// Each "Models" entry's node is found where one whole search finds it, in the tree as the earlier
// entries left it, and the merge fails at the same entry.
TEST_F(MachineDocumentTest, IndexedMergeMatchesOneSearchPerEntry) {
  int failed = 0;
  for (unsigned seed = 0; seed < 200; ++seed) {
    std::mt19937 random(seed);
    Json::Value document;
    document["MachineDefinition"] = RandomNode(random, 5);
    document["MachineDefinition"]["Header"]["GUID"] = Json::Value(Json::arrayValue);
    Json::Value config;
    for (int i = 0; i < 30; ++i) {
      Json::Value entry = RandomNode(random, 2);
      entry["GUID"] = "g" + std::to_string(random() % 14);
      config["UserConfiguration"]["Models"].append(entry);
    }
    Json::Value expected = document;
    Json::Value& definition = expected["MachineDefinition"];
    bool expectedOk = true;
    for (const Json::Value& entry : config["UserConfiguration"]["Models"]) {
      bool misTyped = false;
      Json::Value* node =
          SearchEverything(definition, entry["GUID"].asString(), &definition["Header"], misTyped);
      expectedOk = !misTyped;
      if (misTyped) break;
      if (node) (*node)["Geometry"] = entry.get("Geometry", Json::Value());
    }
    EXPECT_EQ(Merge(document, Json::writeString(Json::StreamWriterBuilder(), config)), expectedOk)
        << seed;
    EXPECT_EQ(document, expected) << seed;
    failed += expectedOk ? 0 : 1;
  }
  EXPECT_GT(failed, 20);
  EXPECT_LT(failed, 180);
}

TEST_F(MachineDocumentTest, ConfigurationOfTheWrongShapeFailsWithAReason) {
  const Json::Value original = Parse(R"({"MachineDefinition":{"GUID":"x"}})");
  const std::pair<const char*, const char*> cases[] = {
      {"[1,2]", "not a JSON object"},
      {"\"text\"", "not a JSON object"},
      {"7", "not a JSON object"},
      {R"({"UserConfiguration":"yes"})", "\"UserConfiguration\" is a value"},
      {R"({"UserConfiguration":{"Models":["x"]}})", "Models/0 is a value, not an object"},
      {R"({"UserConfiguration":{"Models":[{"GUID":{"a":1}}]}})", "Models/0/GUID is an object"},
      {"{ not json", "not well-formed JSON"},
  };
  for (const auto& [config, expected] : cases) {
    Json::Value document = original;
    std::string error;
    EXPECT_FALSE(Merge(document, config, &error)) << config;
    EXPECT_NE(error.find(expected), std::string::npos) << config << " gave: " << error;
  }
}

TEST_F(MachineDocumentTest, PathsAreCollectedPreOrderInKeyOrderWithDuplicates) {
  const Json::Value definition = Parse(R"({
    "Z": {"Path": "z.stl"},
    "Path": "root.stl",
    "A": [{"Path": "a0.stl", "Kids": [{"Path": "a0k.stl"}]}, {"Path": "z.stl"}],
    "N": 5, "S": "Path"
  })");
  EXPECT_EQ(CollectModelPaths(definition),
            (std::vector<std::string>{"root.stl", "a0.stl", "a0k.stl", "z.stl", "z.stl"}));
}

TEST_F(MachineDocumentTest, MisTypedPathIsNamedByItsPlace) {
  EXPECT_EQ(FindMisTypedPath(Parse(R"({"A":[{"Path":"ok"},{"Path":{"x":1}}]})"), "Def"),
            "Def/A/1/Path is an object, not a string");
  EXPECT_EQ(FindMisTypedPath(Parse(R"({"B":{"Path":[1]}})"), "Def"),
            "Def/B/Path is an array, not a string");
  EXPECT_EQ(FindMisTypedPath(Parse(R"({"GUID":{"g":1},"Path":"p","N":[{"Path":3}]})"), "Def"), "");
}

TEST_F(MachineDocumentTest, HeaderAlwaysHoldsGuidAndOnlyExactOrientationsChangeIt) {
  Json::Value bare = Parse("{}");
  ASSERT_TRUE(SettleHeader(bare, "Don't change", nullptr));
  EXPECT_TRUE(bare["Header"].isObject());
  EXPECT_TRUE(bare["Header"].isMember("GUID"));
  EXPECT_TRUE(bare["Header"]["GUID"].isNull());
  EXPECT_FALSE(bare["Header"].isMember("Orientation"));

  Json::Value kept = Parse(R"({"Header":{"GUID":"m-1","Orientation":"Vertical"}})");
  ASSERT_TRUE(SettleHeader(kept, "lathe", nullptr));
  EXPECT_EQ(kept["Header"]["Orientation"].asString(), "Vertical");
  EXPECT_EQ(kept["Header"]["GUID"].asString(), "m-1");
  ASSERT_TRUE(SettleHeader(kept, "Lathe", nullptr));
  EXPECT_EQ(kept["Header"]["Orientation"].asString(), "Lathe");
  ASSERT_TRUE(SettleHeader(kept, "Horizontal", nullptr));
  EXPECT_EQ(kept["Header"]["Orientation"].asString(), "Horizontal");
}

TEST_F(MachineDocumentTest, HeaderOrDefinitionOfTheWrongTypeFails) {
  std::string error;
  Json::Value header = Parse(R"({"Header":"h"})");
  EXPECT_FALSE(SettleHeader(header, "Lathe", &error));
  EXPECT_NE(error.find("\"Header\" is a value"), std::string::npos) << error;
  Json::Value array = Parse("[]");
  EXPECT_FALSE(SettleHeader(array, "Lathe", &error));
  EXPECT_NE(error.find("definition is an array"), std::string::npos) << error;
}

}  // namespace
}  // namespace rigwright
