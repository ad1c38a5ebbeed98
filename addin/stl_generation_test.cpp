#include "addin/stl_generation.h"

#include <gtest/gtest.h>

#include "addin/testing/host_part_builder.h"
#include "common/testing/test_folder.h"
#include "standin/host/part_file.h"
#include "standin/host/tessellation.h"

namespace rigwright {
namespace {

using namespace rigwright::testing;
using standin::ColorValue;

class StlGenerationTest : public ::testing::Test {
 protected:
  void TearDown() override {
    standin::SetInteractiveSelector({});
    standin::ClosePart();
  }
  std::string PathOf(const std::string& name) const { return dir.text() + name; }

  TestFolder dir;
};

TEST_F(StlGenerationTest, CatalogueIsSortedAndLeavesOutReservedAndInactiveLevels) {
  std::string error;
  auto sample = standin::LoadPartFile(RIGWRIGHT_SOURCE_DIR "/data/sample-part.json", &error);
  ASSERT_TRUE(sample) << error;
  standin::InstallPart(*sample);
  EXPECT_EQ(GetStlLevels(),
            (LevelCatalogue{{1, "Base"}, {3, "Fixture"}, {4, "Table"}, {10, "Spindle"}, {12, ""}}));

  PartData part;
  part.levels = {{9, "Orvane", true},  {2, "orvane", true},  {6, "Orvane", false},
                 {3, "KELMORA", true}, {4, "Kelmora", true}, {5, "Base", true}};
  standin::InstallPart(part);
  EXPECT_EQ(GetStlLevels(), (LevelCatalogue{{2, "orvane"}, {4, "Kelmora"}, {5, "Base"}}))
      << "only the exact reserved names are left out";

  part.levels = {{1, "Hidden", false}};
  standin::InstallPart(part);
  EXPECT_TRUE(GetStlLevels().empty());
}

TEST_F(StlGenerationTest, PickStartsFromNoSelectionAndReturnsPickedSolidsInListOrder) {
  PartData part;
  part.entities = {
      Box(1, 1, 0), Line(2, 1, 0), Box(3, 1, 0, 0x20000), std::nullopt, Cylinder(4, 2, 0, 0x100000),
      Box(5, 1, 0)};
  standin::InstallPart(part);
  sel_bit_turn_on(FindEntity(5), 4);
  std::vector<std::int32_t> markedDuringPick{-1};
  standin::SetInteractiveSelector([&](std::string_view prompt, long mask) {
    markedDuringPick = MarkedIds();
    EXPECT_EQ(prompt, "*");
    EXPECT_EQ(mask, 0x110100);
    return std::vector<std::int32_t>{4, 2, 3, 1, 99};
  });
  EXPECT_EQ(PickEntitiesInHost(), (std::vector<std::int32_t>{1, 4}))
      << "lines and the 0x20000 kind are not offered by the pick";
  EXPECT_TRUE(markedDuringPick.empty()) << "the earlier selection is cleared before the pick";
  EXPECT_TRUE(MarkedIds().empty());

  standin::SetInteractiveSelector(
      [](std::string_view, long) { return std::vector<std::int32_t>{}; });
  EXPECT_TRUE(PickEntitiesInHost().empty());
}

TEST_F(StlGenerationTest, LevelFileHoldsTheLevelsSolidsInTheColourOfItsLargestColourNumber) {
  PartData part;
  part.entities = {Box(1, 7, 3),  Box(2, 7, 3),  Line(3, 7, 200),
                   Box(4, 8, 50), Box(5, 7, 12), Cylinder(6, 7, 3, 0x200000)};
  (*part.colors)[3] = ColorValue(1, 2, 3);
  (*part.colors)[12] = ColorValue(10, 20, 30);
  standin::InstallPart(part);
  sel_bit_turn_on(FindEntity(4), 4);
  sel_bit_turn_on(FindEntity(3), 4);

  StlColor color = 0;
  ASSERT_TRUE(WriteLevelStl(7, PathOf("Base.stl"), 1.0, &color));
  EXPECT_EQ(color, ColorValue(10, 20, 30)) << "colour 12 is the largest, though 3 is more frequent";
  const long cylinder = 4 * standin::CircleSegments(10, 1.0) - 4;
  EXPECT_EQ(TriangleCount(dir.path() / "Base.stl"), 3 * 12 + cylinder)
      << "entities marked on another level are cleared first, not written";
  EXPECT_TRUE(MarkedIds().empty());
}

TEST_F(StlGenerationTest, LevelWithoutSolidsOrUnwritablePathWritesNothing) {
  PartData part;
  part.entities = {Line(1, 1, 4), Box(2, 2, 4)};
  standin::InstallPart(part);
  const auto existing = dir.Write("Lines.stl", "keep me");
  StlColor color = 77;
  EXPECT_FALSE(WriteLevelStl(1, existing.string(), 0.1, &color));
  EXPECT_FALSE(WriteLevelStl(3, PathOf("Unknown.stl"), 0.1, &color));
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"Lines.stl"});
  EXPECT_EQ(TriangleCount(existing), -1) << "the existing file is not touched";

  EXPECT_FALSE(WriteLevelStl(2, PathOf("missing/Box.stl"), 0.1, &color));
  EXPECT_EQ(color, 77u);
  EXPECT_TRUE(MarkedIds().empty());

  part.colors.reset();
  standin::InstallPart(part);
  EXPECT_TRUE(WriteLevelStl(2, PathOf("Box.stl"), 0.1, &color));
  EXPECT_EQ(color, 77u) << "without a colour table the colour is left as it was";
  EXPECT_TRUE(WriteLevelStl(2, PathOf("Box.stl"), 0.1, nullptr));
}

TEST_F(StlGenerationTest, EntityFileHoldsThePickedSolidsFoundByIdentifier) {
  PartData part;
  part.entities = {Box(1, 1, 9),       Line(2, 1, 250), std::nullopt,
                   Cylinder(3, 2, 40), Box(4, 1, 5),    Box(3, 5, 60)};
  (*part.colors)[40] = ColorValue(0, 128, 255);
  standin::InstallPart(part);
  sel_bit_turn_on(FindEntity(4), 4);  // selected in the host after the pick
  StlColor color = 0;
  ASSERT_TRUE(WriteEntitiesStl({3, 2, 1, 404, 3}, PathOf("Picked.stl"), 1.0, &color));
  EXPECT_EQ(TriangleCount(dir.path() / "Picked.stl"), 12 + 4 * standin::CircleSegments(10, 1.0) - 4)
      << "the first entity of identifier 3 only; the line, the selected box 4 and the unknown 404 "
         "left out";
  EXPECT_EQ(color, ColorValue(0, 128, 255)) << "the line's larger colour number does not count";
  EXPECT_TRUE(MarkedIds().empty());

  ASSERT_TRUE(WriteEntitiesStl({3}, PathOf("fine.stl"), 0.01, nullptr));
  EXPECT_GT(TriangleCount(dir.path() / "fine.stl"), TriangleCount(dir.path() / "Picked.stl") - 12)
      << "a smaller tolerance gives more facets";
}

TEST_F(StlGenerationTest, EntityFileIsNotWrittenWhenNoPickedEntityCanBe) {
  PartData part;
  part.entities = {Line(1, 1, 9), Box(2, 1, 9)};
  standin::InstallPart(part);
  const auto existing = dir.Write("Gone.stl", "keep me");
  EXPECT_FALSE(WriteEntitiesStl({1, 404}, existing.string(), 0.1, nullptr));
  EXPECT_FALSE(WriteEntitiesStl({}, PathOf("None.stl"), 0.1, nullptr));
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"Gone.stl"});
  EXPECT_EQ(TriangleCount(existing), -1) << "the existing file is not touched";

  EXPECT_FALSE(WriteEntitiesStl({2}, PathOf("missing/Box.stl"), 0.1, nullptr));
  EXPECT_TRUE(MarkedIds().empty()) << "marks are cleared when the file cannot be opened";
}

TEST(StlColorTest, DarkenedColoursAreFormattedRedGreenBlue) {
  struct Case {
    StlColor host;
    const char* text;
  };
  const Case cases[] = {
      {ColorValue(255, 0, 0), "0xb70000"},     {ColorValue(0, 128, 255), "0x005cb7"},
      {ColorValue(255, 255, 255), "0xb7b7b7"}, {ColorValue(200, 100, 1), "0x904800"},
      {ColorValue(0, 0, 0), "0x000000"},
  };
  for (const Case& c : cases) EXPECT_EQ(FormatStlColor(DarkenStlColor(c.host)), c.text);
  EXPECT_EQ(FormatStlColor(ColorValue(183, 0, 0)), "0xb70000");
  EXPECT_EQ(FormatStlColor(ColorValue(0x12, 0x34, 0x56)), "0x123456");
  EXPECT_EQ(DarkenStlColor(0xFF000000u | ColorValue(1, 2, 3)), ColorValue(0, 1, 2))
      << "channels stay in place and bits 24 to 31 end up 0";
}

}  // namespace
}  // namespace rigwright
