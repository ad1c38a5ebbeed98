#include "addin/stl_reply.h"

#include <gtest/gtest.h>

#include "addin/stl_generation.h"
#include "addin/testing/host_part_builder.h"
#include "common/testing/test_folder.h"
#include "standin/host/tessellation.h"

namespace rigwright {
namespace {

using namespace rigwright::testing;
using standin::ColorValue;

// Answers the accept procedure's messages and remembers what was shown.
class ScriptedMessages final : public UserMessages {
 public:
  struct Shown {
    std::string text;
    bool question;
    MessageIcon icon;
  };
  void Tell(std::string_view text, MessageIcon icon) override {
    shown.push_back({std::string(text), false, icon});
  }
  bool AskYesNo(std::string_view text) override {
    shown.push_back({std::string(text), true, MessageIcon::kNone});
    return yes;
  }

  bool yes = false;
  std::vector<Shown> shown;
};

constexpr const char* kNothingChosen = "Failed to select/export any STL file. Close STL picker?";

// Levels 1 "Base" (colours 3 and 12), 2 "Column", 3 "Lines" (no solid), 4 "Base" again;
// picked entities 21 (colour 5) and 22.
class StlReplyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    PartData part;
    part.entities = {Box(11, 1, 3),  Box(12, 1, 12), Cylinder(13, 2, 40), Line(14, 3, 7),
                     Box(15, 4, 12), Box(21, 9, 5),  Cylinder(22, 9, 1)};
    (*part.colors)[12] = ColorValue(255, 0, 0);
    (*part.colors)[40] = ColorValue(0, 128, 255);
    (*part.colors)[5] = ColorValue(200, 100, 1);
    standin::InstallPart(part);
    std::filesystem::create_directories(folder.path() / "stl");
    input.stlFolder = folder.text() + "stl/";
    input.toleranceText = "1.0";
  }
  void TearDown() override { standin::ClosePart(); }

  StlAcceptResult Accept() { return BuildStlReply(input, messages); }
  std::vector<std::string> StlFiles() const { return folder.Names("stl"); }
  long Triangles(const std::string& name) const {
    return TriangleCount(folder.path() / "stl" / name);
  }

  TestFolder folder;
  StlAcceptInput input;
  ScriptedMessages messages;
};

long CylinderTriangles(double tolerance) { return 4 * standin::CircleSegments(10, tolerance) - 4; }

TEST_F(StlReplyTest, ReplyListsPickedFileThenCheckedLevelsInListOrderThenChosenFile) {
  const auto chosen = folder.Write("models/spindle.stl", "solid spindle\nendsolid\n");
  input.pickedIds = {22, 21};
  input.nameText = "part.v2";
  input.rows = {{2, "Column", true}, {4, "Other", false}, {1, "Base", true}, {3, "Lines", true}};
  input.chosenFile = chosen.string();

  const StlAcceptResult result = Accept();
  ASSERT_TRUE(result.close);
  const std::string& f = input.stlFolder;
  EXPECT_EQ(result.reply, f + "part.stl@0x904800;" + f + "Column.stl@0x005cb7;" + f +
                              "Base.stl@0xb70000;" + chosen.string());
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_EQ(StlFiles(), (std::vector<std::string>{"Base.stl", "Column.stl", "part.stl"}))
      << "a level without solids gives no file and no entry";
  EXPECT_EQ(Triangles("part.stl"), 12 + CylinderTriangles(1.0));
  EXPECT_EQ(Triangles("Base.stl"), 24);
  EXPECT_TRUE(MarkedIds().empty());
}

TEST_F(StlReplyTest, ChosenFileAloneIsItsPathWhateverItsExtension) {
  input.chosenFile = folder.Write("notes.txt", "not a solid").string();
  input.toleranceText = "abc";  // nothing is generated, so the tolerance does not matter
  EXPECT_EQ(Accept().reply, input.chosenFile);
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(StlReplyTest, AChosenFileWhosePathHoldsTheSeparatorIsRefusedBeforeAnythingIsWritten) {
  input.chosenFile = folder.Write("a;b/spindle.stl", "solid\nendsolid\n").string();
  input.rows = {{1, "Base", true}};
  EXPECT_FALSE(Accept().close) << "the picker stays open for another choice";
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_NE(messages.shown[0].text.find(input.chosenFile), std::string::npos);
  EXPECT_EQ(messages.shown[0].icon, MessageIcon::kExclamation) << "an input problem";
  EXPECT_TRUE(StlFiles().empty());
}

TEST_F(StlReplyTest, NothingWrittenAsksWhetherToClose) {
  for (const std::string& chosen :
       std::vector<std::string>{"", (folder.path() / "missing.stl").string(), folder.text()}) {
    input.chosenFile = chosen;
    input.rows = {{3, "Lines", true}, {1, "Base", false}};
    messages.yes = false;
    EXPECT_FALSE(Accept().close) << "a missing path and a folder are no chosen file: " << chosen;
    messages.yes = true;
    const StlAcceptResult yes = Accept();
    EXPECT_TRUE(yes.close);
    EXPECT_EQ(yes.reply, "");
  }
  ASSERT_EQ(messages.shown.size(), 6u);
  EXPECT_EQ(messages.shown[0].text, kNothingChosen);
  EXPECT_TRUE(messages.shown[0].question);
  EXPECT_TRUE(StlFiles().empty());
}

TEST_F(StlReplyTest, PickedEntitiesWithoutANameWriteNothingAndKeepThePickerOpen) {
  input.pickedIds = {21};
  input.rows = {{1, "Base", true}};
  const StlAcceptResult result = Accept();
  EXPECT_FALSE(result.close);
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].text, "Please enter a name for the selected geometry");
  EXPECT_FALSE(messages.shown[0].question);
  EXPECT_EQ(messages.shown[0].icon, MessageIcon::kNone) << "shown without an icon, as designed";
  EXPECT_TRUE(StlFiles().empty()) << "not even the checked level is written";
}

TEST_F(StlReplyTest, GeneratingNeedsAPositiveTolerance) {
  input.rows = {{1, "Base", true}};
  for (const char* text : {"abc", "", "0", "-0.1", "nan", "inf"}) {
    input.toleranceText = text;
    messages.shown.clear();
    EXPECT_FALSE(Accept().close) << text;
    ASSERT_EQ(messages.shown.size(), 1u) << text;
    EXPECT_EQ(messages.shown[0].text, "Please enter a positive triangulation tolerance.");
    EXPECT_EQ(messages.shown[0].icon, MessageIcon::kExclamation);
  }
  EXPECT_TRUE(StlFiles().empty());

  input.rows.clear();
  input.pickedIds = {22};
  input.nameText = "fine";
  input.toleranceText = " 0.05mm";
  ASSERT_TRUE(Accept().close);
  EXPECT_EQ(Triangles("fine.stl"), CylinderTriangles(0.05));
  EXPECT_NE(CylinderTriangles(0.05), CylinderTriangles(0.1));
}

TEST_F(StlReplyTest, WithoutAWorkingFolderNothingIsGeneratedButAChosenFileStillGoes) {
  // The host's current folder, where file names joined onto no folder would land.
  std::filesystem::create_directories(folder.path() / "host");
  const std::filesystem::path hostFolder = std::filesystem::current_path();
  std::filesystem::current_path(folder.path() / "host");
  struct Restore {
    std::filesystem::path folder;
    ~Restore() { std::filesystem::current_path(folder); }
  } restore{hostFolder};
  const std::string chosen = folder.Write("models/spindle.stl", "solid\nendsolid\n").string();

  for (const char* stlFolder : {"", "stl/"}) {
    SCOPED_TRACE(stlFolder);
    input.stlFolder = stlFolder;
    input.pickedIds = {21};
    input.nameText = "part";
    input.rows = {{1, "Base", true}};
    input.chosenFile = chosen;
    messages.shown.clear();

    EXPECT_FALSE(Accept().close) << "the picker stays open";
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_NE(messages.shown[0].text.find("cannot be generated"), std::string::npos)
        << messages.shown[0].text;
    EXPECT_EQ(messages.shown[0].icon, MessageIcon::kNone) << "a failure, not an input problem";

    input.pickedIds.clear();
    input.rows[0].checked = false;
    const StlAcceptResult chosenOnly = Accept();
    EXPECT_TRUE(chosenOnly.close);
    EXPECT_EQ(chosenOnly.reply, chosen);
  }
  EXPECT_TRUE(folder.Names("host").empty()) << "nothing written into the host's folder";
  EXPECT_TRUE(StlFiles().empty());
  EXPECT_TRUE(MarkedIds().empty());
}

TEST_F(StlReplyTest, GeneratedFilesStayInsideTheStlFolder) {
  PartData part;
  part.levels = {};
  part.entities = {Box(1, 1, 0), Box(2, 2, 0), Box(3, 3, 0)};
  standin::InstallPart(part);
  input.pickedIds = {1};
  input.nameText = "../../x";
  input.rows = {{2, "../../evil", true}, {3, "a/b\\c;d@e", true}};
  const StlAcceptResult result = Accept();
  ASSERT_TRUE(result.close);
  EXPECT_EQ(StlFiles(), (std::vector<std::string>{".._.._evil.stl", ".._..stl", "a_b_c_d_e.stl"}));
  EXPECT_EQ(folder.Names(), std::vector<std::string>{"stl"}) << "nothing written beside the folder";
  EXPECT_EQ(std::count(result.reply.begin(), result.reply.end(), ';'), 2);
}

TEST_F(StlReplyTest, FilesOfOneReplyNeverShareAPath) {
  input.pickedIds = {21};
  input.nameText = "Base.v1";
  input.rows = {{1, "Base", true}, {4, "BASE", true}, {2, "Base (2)", true}};
  const StlAcceptResult result = Accept();
  ASSERT_TRUE(result.close);
  const std::string& f = input.stlFolder;
  EXPECT_EQ(result.reply, f + "Base.stl@0x904800;" + f + "Base (2).stl@0xb70000;" + f +
                              "BASE (3).stl@0xb70000;" + f + "Base (2) (2).stl@0x005cb7");
  EXPECT_EQ(Triangles("Base.stl"), 12) << "the picked box, not replaced by a level's solid";
  EXPECT_EQ(Triangles("Base (2).stl"), 24);
  EXPECT_EQ(Triangles("BASE (3).stl"), 12);
  EXPECT_EQ(Triangles("Base (2) (2).stl"), CylinderTriangles(1.0));
}

TEST_F(StlReplyTest, UnwritableFilesAndVanishedEntitiesGiveNoEntry) {
  input.pickedIds = {404};
  input.nameText = "gone";
  input.rows = {{1, "Base", true}};
  input.stlFolder = folder.text() + "missing/";
  messages.yes = true;
  EXPECT_EQ(Accept().reply, "");
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].text, kNothingChosen);
  EXPECT_EQ(folder.Names(), std::vector<std::string>{"stl"});
  EXPECT_TRUE(MarkedIds().empty());
}

TEST(StlNamingTest, TypedNamesLoseTheirLastExtensionAndLevelNamesKeepTheirDots) {
  EXPECT_EQ(StlFileNameForTypedName("part.v2"), "part.stl");
  EXPECT_EQ(StlFileNameForTypedName("a.b.c"), "a.b.stl");
  EXPECT_EQ(StlFileNameForTypedName(".x"), ".stl");
  EXPECT_EQ(StlFileNameForTypedName("plain"), "plain.stl");
  EXPECT_EQ(StlFileNameForTypedName("dir.d/name"), "dir.stl");
  EXPECT_EQ(StlFileNameForLevel(""), ".stl");
  EXPECT_EQ(StlFileNameForLevel("v1.2 Tür"), "v1.2 Tür.stl") << "non-ASCII text stays";
  EXPECT_EQ(SafeFileNameText("a<b>c:d\"e|f?g*h\ti"), "a_b_c_d_e_f_g_h_i");
}

// Windows opens a device for these base names whatever follows the first '.', whatever the case
// and with trailing spaces; every system gives the same names so replies are alike everywhere.
TEST(StlNamingTest, DeviceNamesAreMadeSafe) {
  const struct {
    const char* typed;  // a typed name, or the level name when `level` is set
    bool level;
    const char* file;
  } cases[] = {
      {"CON", false, "_CON.stl"},         {"nul", true, "_nul.stl"},
      {"Aux.part", false, "_Aux.stl"},    {"prn.x", true, "_prn.x.stl"},
      {"COM1", true, "_COM1.stl"},        {"lpt9.a.b", false, "_lpt9.a.stl"},
      {"CON  ", true, "_CON  .stl"},      {"nul..", true, "_nul...stl"},
      {"com\xc2\xb9", true, "_com\xc2\xb9.stl"},  {"CONIN$", true, "_CONIN$.stl"},
      {"LPT0", true, "_LPT0.stl"},        {"COM10", true, "COM10.stl"},
      {"CONSOLE", true, "CONSOLE.stl"},   {"CON:", true, "CON_.stl"},
      {"my nul", true, "my nul.stl"},     {" CON", true, " CON.stl"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.level ? StlFileNameForLevel(c.typed) : StlFileNameForTypedName(c.typed), c.file)
        << c.typed;
  }
}

TEST(StlNamingTest, ToleranceReadsTheLongestNumericPrefix) {
  EXPECT_DOUBLE_EQ(ReadTolerance("0.05mm"), 0.05);
  EXPECT_DOUBLE_EQ(ReadTolerance(" \t2.5"), 2.5);
  EXPECT_DOUBLE_EQ(ReadTolerance(".5"), 0.5);
  EXPECT_DOUBLE_EQ(ReadTolerance("+0.2"), 0.2);
  EXPECT_DOUBLE_EQ(ReadTolerance("1e-3x"), 0.001);
  EXPECT_DOUBLE_EQ(ReadTolerance("1,5"), 1) << "the decimal point is '.' in every locale";
  EXPECT_DOUBLE_EQ(ReadTolerance("0x1p-3"), 0.125);
  EXPECT_DOUBLE_EQ(ReadTolerance("-0.1"), -0.1);
  EXPECT_EQ(ReadTolerance("abc"), 0);
  EXPECT_EQ(ReadTolerance(""), 0);
  EXPECT_EQ(ReadTolerance("+-1"), 0);
}

}  // namespace
}  // namespace rigwright
