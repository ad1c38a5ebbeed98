#include "addin/stl_picker_state.h"

#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "addin/testing/host_part_builder.h"
#include "common/testing/test_folder.h"

namespace rigwright {
namespace {

using namespace rigwright::testing;
using standin::ColorValue;

class RecordedMessages final : public UserMessages {
 public:
  void Tell(std::string_view text, MessageIcon) override { shown.emplace_back(text); }
  bool AskYesNo(std::string_view text) override {
    shown.emplace_back(text);
    return yes;
  }
  bool yes = false;
  std::vector<std::string> shown;
};

std::vector<std::int32_t> RowNumbers(const StlPickerState& state) {
  std::vector<std::int32_t> numbers;
  for (const StlLevelRow& row : state.rows()) numbers.push_back(row.number);
  return numbers;
}

TEST(StlPickerLayoutTest, ToleranceFieldStartsAtOneTenthWithFourDecimals) {
  EXPECT_EQ(kInitialToleranceText, "0.1000");
  EXPECT_EQ(FormatTolerance(0.05), "0.0500");
  EXPECT_EQ(FormatTolerance(2.0), "2.0000");
}

TEST(StlPickerLayoutTest, ColumnWidthsStayWithinTheClientWidth) {
  EXPECT_EQ(LevelColumnWidth(-150, 400, 0), 400) << "percentages above 100 count as 100";
  EXPECT_EQ(LevelColumnWidth(-1, 999, 0), 9) << "a percentage is truncated";
  EXPECT_EQ(LevelColumnWidth(0, 300, 350), 0) << "nothing left gives 0, not a negative width";
  EXPECT_EQ(LevelColumnWidth(25, 300, 100), 200) << "a positive width takes what is left";
  EXPECT_EQ(FittedLastColumnWidth(380, 450, 500), 330) << "a narrower list narrows the last";
  EXPECT_EQ(FittedLastColumnWidth(30, 100, 500), 0) << "never a negative width";
}

TEST(StlPickerStateTest, FirstRequestOffersUncheckedLevelsInNumberOrderAndNothingToGenerate) {
  StlPickerState state;
  state.BeginRequest({{5, "Table"}, {1, "Base"}, {3, "Column"}});

  EXPECT_EQ(RowNumbers(state), (std::vector<std::int32_t>{1, 3, 5}));
  EXPECT_EQ(state.rows()[0].name, "Base");
  for (const StlLevelRow& row : state.rows()) EXPECT_FALSE(row.checked);
  EXPECT_TRUE(state.LevelListEnabled());
  EXPECT_FALSE(state.ToleranceEnabled());
  EXPECT_FALSE(state.NameEnabled());
  EXPECT_EQ(state.StatusText(), "");
}

TEST(StlPickerStateTest, EmptyCatalogueLeavesTheListDisabled) {
  StlPickerState state;
  state.BeginRequest({});
  EXPECT_FALSE(state.LevelListEnabled());
  EXPECT_TRUE(state.rows().empty());
}

TEST(StlPickerStateTest, CheckingALevelTogglesTheTolerance) {
  StlPickerState state;
  state.BeginRequest({{1, "Base"}, {2, "Column"}});

  state.SetLevelChecked(1, true);
  EXPECT_TRUE(state.ToleranceEnabled());
  state.SetLevelChecked(0, true);
  state.SetLevelChecked(1, false);
  EXPECT_TRUE(state.ToleranceEnabled()) << "one level is still checked";
  state.SetLevelChecked(0, false);
  EXPECT_FALSE(state.ToleranceEnabled());
  state.SetLevelChecked(7, true);  // no such row
  EXPECT_FALSE(state.ToleranceEnabled());
}

TEST(StlPickerStateTest, PickOfThreeAsksForANameAndAPickOfNothingDropsIt) {
  StlPickerState state;
  state.BeginRequest({{1, "Base"}});

  state.SetPick({21, 22, 23});
  EXPECT_EQ(state.StatusText(), "3 entities selected");
  EXPECT_TRUE(state.NameEnabled());
  EXPECT_TRUE(state.ToleranceEnabled());

  state.SetPick({});
  EXPECT_EQ(state.StatusText(), "");
  EXPECT_FALSE(state.NameEnabled());
  EXPECT_FALSE(state.ToleranceEnabled());
  EXPECT_TRUE(state.selectedIds().empty());
}

TEST(StlPickerStateTest, NewRequestStartsAfreshWhateverThePreviousOneLeft) {
  StlPickerState state;
  state.BeginRequest({{1, "Base"}, {2, "Column"}});
  state.SetLevelChecked(0, true);
  state.SetPick({21});

  state.BeginRequest({{2, "Column"}, {4, "Table"}});
  EXPECT_EQ(RowNumbers(state), (std::vector<std::int32_t>{2, 4}));
  for (const StlLevelRow& row : state.rows()) EXPECT_FALSE(row.checked);
  EXPECT_TRUE(state.selectedIds().empty());
  EXPECT_FALSE(state.ToleranceEnabled());
}

// OK runs the accept procedure on the state's rows and pick, in the working folder.
class StlPickerAcceptTest : public ::testing::Test {
 protected:
  void SetUp() override {
    PartData part;
    part.levels = {{1, "Base", true}, {2, "Column", true}};
    part.entities = {Box(11, 1, 12), Cylinder(12, 2, 12), Box(21, 9, 12)};
    (*part.colors)[12] = ColorValue(255, 0, 0);
    standin::InstallPart(part);
    stlFolder = folder.text();
    state.BeginRequest(GetStlLevels());
    texts.tolerance = kInitialToleranceText;
  }
  void TearDown() override { standin::ClosePart(); }

  std::optional<std::string> Accept() { return state.Accept(texts, stlFolder, messages); }

  TestFolder folder;
  std::string stlFolder;
  StlPickerState state;
  PickerTexts texts;
  RecordedMessages messages;
};

TEST_F(StlPickerAcceptTest, CheckedLevelsAndNamedPickBecomeFilesInTheWorkingFolder) {
  state.SetLevelChecked(1, true);
  state.SetPick({21});
  texts.name = "Spindle";

  const std::optional<std::string> reply = Accept();

  ASSERT_TRUE(reply.has_value());
  EXPECT_EQ(*reply, stlFolder + "Spindle.stl@0xb70000;" + stlFolder + "Column.stl@0xb70000");
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(StlPickerAcceptTest, NothingChosenClosesOnlyWhenTheUserAgrees) {
  EXPECT_FALSE(Accept().has_value()) << "No keeps the picker open";
  messages.yes = true;
  const std::optional<std::string> reply = Accept();
  ASSERT_TRUE(reply.has_value());
  EXPECT_EQ(*reply, "");
}

TEST(PickerRequestHandOffTest, WaitReturnsTheReplyGivenOnAnotherThread) {
  PickerRequestHandOff handOff;
  ASSERT_TRUE(handOff.Open());
  EXPECT_TRUE(handOff.IsOpen());
  EXPECT_FALSE(handOff.Open()) << "requests never overlap";

  auto waiter = std::async(std::launch::async, [&] { return handOff.Wait(); });
  EXPECT_TRUE(handOff.Finish("a.stl@0x000000"));
  EXPECT_EQ(waiter.get(), "a.stl@0x000000");
  EXPECT_FALSE(handOff.IsOpen());
  EXPECT_FALSE(handOff.Finish("late")) << "no request is open any more";
}

TEST(PickerRequestHandOffTest, ReplyGivenBeforeTheWaitStartsIsNotLost) {
  PickerRequestHandOff handOff;
  ASSERT_TRUE(handOff.Open());
  handOff.Finish("b.stl");
  EXPECT_EQ(handOff.Wait(), "b.stl");
  ASSERT_TRUE(handOff.Open());
  handOff.Finish("");
  EXPECT_EQ(handOff.Wait(), "") << "a new request never sees the previous reply";
}

TEST(PickerRequestHandOffTest, RetiringReleasesTheWaiterAndRefusesLaterRequests) {
  PickerRequestHandOff handOff;
  ASSERT_TRUE(handOff.Open());
  auto waiter = std::async(std::launch::async, [&] { return handOff.Wait(); });
  handOff.Retire();
  EXPECT_EQ(waiter.get(), "");
  EXPECT_FALSE(handOff.Open());
  EXPECT_EQ(handOff.Wait(), "");
}

}  // namespace
}  // namespace rigwright
