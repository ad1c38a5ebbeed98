#include "standin/host/selection_script.h"

#include <gtest/gtest.h>

#include "common/testing/test_folder.h"
#include "standin/host/part_view.h"

namespace rigwright::standin {
namespace {

using Ids = std::vector<std::int32_t>;

TEST(SelectionScriptTest, AnswersOneLinePerSelectionThenNothing) {
  std::string error;
  auto script = SelectionScript::Parse("# the table\n101 102,103\n\n  301\r\n", &error);
  ASSERT_TRUE(script) << error;
  EXPECT_EQ(script->Next(), (Ids{101, 102, 103}));
  EXPECT_EQ(script->Next(), Ids{}) << "an empty line picks nothing";
  EXPECT_EQ(script->Next(), Ids{301});
  EXPECT_EQ(script->Next(), Ids{});
}

TEST(SelectionScriptTest, NamesTheLineThatIsNotAPick) {
  std::string error;
  EXPECT_FALSE(SelectionScript::Parse("101\n10x2\n", &error));
  EXPECT_EQ(error, "line 2 is not a list of entity identifiers");
  TestFolder folder;
  EXPECT_FALSE(SelectionScript::Load(folder.path() / "missing", &error));
  EXPECT_NE(error.find("missing"), std::string::npos) << error;
}

TEST(PartViewTest, OffersTheEntitiesOfTheMasksKindsInListOrder) {
  PartData part;
  part.entities.push_back(PartEntity{7, 0x100, 3, 1, BoxShape{}});
  part.entities.push_back(std::nullopt);
  part.entities.push_back(PartEntity{8, 0x1, 3, 2, {}});
  part.entities.push_back(PartEntity{9, 0x10000, 4, 5, CylinderShape{}});

  const auto rows = EntityRows(part, 0x10100);

  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].identifier, 7);
  EXPECT_EQ(rows[0].kind, "0x100");
  EXPECT_EQ(rows[0].shape, "box");
  EXPECT_EQ(rows[1].identifier, 9);
  EXPECT_EQ(rows[1].shape, "cylinder");
  EXPECT_EQ(EntityRows(part).size(), 3u);
  EXPECT_EQ(EntityRows(part)[1].shape, "-");
}

}  // namespace
}  // namespace rigwright::standin
