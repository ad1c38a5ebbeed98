#include "common/machine_library_seed.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "common/testing/test_folder.h"

namespace rigwright {
namespace {

namespace fs = std::filesystem;

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// A generic folder with the machines Mill (nested companion folder) and Lathe.
class SeedTest : public ::testing::Test {
 protected:
  void SetUp() override {
    generic.Write("Mill.mcfg", "{\"mill\": 1}");
    generic.Write("Mill/config.json", "mill config");
    generic.Write("Mill/models/spindle.stl", "mill spindle");
    generic.Write("Lathe.mcfg", "{\"lathe\": 1}");
    generic.Write("Lathe/config.json", "lathe config");
    generic.Write("Lathe/chuck.stl", "lathe chuck");
    generic.Write("readme.txt", "not a machine");
  }
  std::string Library() const { return library.text(); }

  TestFolder generic;
  TestFolder library;
  std::string error;
};

TEST(ListMachineFilesTest, ListsEntriesWithTheExactMachineExtension) {
  TestFolder dir;
  dir.Write("B.mcfg", "");
  dir.Write("A.mcfg", "");
  dir.Write("x.mcfg/inside.txt", "");
  dir.Write("C.MCFG", "");
  dir.Write("notes.txt", "");
  dir.Write(".mcfg", "");
  dir.Write("Mill/Mill.mcfg", "");
  std::string error;
  const auto names = ListMachineFiles(dir.text(), &error);
  ASSERT_TRUE(names) << error;
  EXPECT_EQ(*names, (std::set<std::string>{"A.mcfg", "B.mcfg", "x.mcfg"}))
      << "a folder named x.mcfg counts; C.MCFG, a bare .mcfg and subfolders do not";

  EXPECT_FALSE(ListMachineFiles((dir.path() / "missing").string(), &error));
  EXPECT_NE(error.find(Utf8FromPath(dir.path() / "missing")), std::string::npos) << error;
}

TEST_F(SeedTest, CopiesMissingMachinesWithTheirCompanionFolders) {
  ASSERT_TRUE(SeedMachineFolder(generic.text(), Library(), &error)) << error;
  EXPECT_EQ(library.Names(),
            (std::vector<std::string>{"Lathe", "Lathe.mcfg", "Mill", "Mill.mcfg"}));
  EXPECT_EQ(ReadText(library.path() / "Mill.mcfg"), "{\"mill\": 1}");
  EXPECT_EQ(ReadText(library.path() / "Mill/models/spindle.stl"), "mill spindle");
  EXPECT_EQ(ReadText(library.path() / "Lathe/chuck.stl"), "lathe chuck");

  ASSERT_TRUE(SeedMachineFolder(generic.text(), Library(), &error)) << "a second run: " << error;
}

TEST_F(SeedTest, ExistingMachineFileKeepsTheGenericMachineOut) {
  library.Write("Mill.mcfg", "my own mill");
  ASSERT_TRUE(SeedMachineFolder(generic.text(), Library(), &error)) << error;
  EXPECT_EQ(ReadText(library.path() / "Mill.mcfg"), "my own mill");
  EXPECT_FALSE(fs::exists(library.path() / "Mill")) << "the generic Mill folder is not copied";
  EXPECT_TRUE(fs::exists(library.path() / "Lathe.mcfg"));
}

// The user's "mill.mcfg" with its folder "mill" against the generic "Mill.mcfg" and "Mill": by
// Windows' rule they are one machine, and the user's folder gets none of the generic files. By
// the byte rule they are two, unless the file system itself finds "Mill.mcfg" already there.
TEST_F(SeedTest, AMachineFileInOtherLettersKeepsTheGenericMachineOut) {
  library.Write("mill.mcfg", "my own mill");
  library.Write("mill/mine.json", "mine");
  const bool ignoresCase = fs::exists(library.path() / "MILL.MCFG");
  const FileNameKeyRule byBytes = [](std::string_view path, std::string&) {
    return std::optional<std::string>(path);
  };
  for (const FileNameKeyRule rule : {&WindowsFileNameKey, byBytes}) {
    const bool twoMachines = rule == byBytes && !ignoresCase;
    ASSERT_TRUE(SeedMachineFolder(generic.text(), Library(), &error, rule)) << error;
    EXPECT_EQ(fs::exists(library.path() / "Mill/config.json"), twoMachines);
    EXPECT_FALSE(fs::exists(library.path() / "mill/config.json"));
    EXPECT_EQ(ReadText(library.path() / "mill.mcfg"), "my own mill");
    EXPECT_TRUE(fs::exists(library.path() / "Lathe/chuck.stl"));
  }
}

TEST_F(SeedTest, FilesAlreadyInTheTargetAreKeptAndSkipped) {
  library.Write("Lathe/config.json", "user's lathe config");
  ASSERT_TRUE(SeedMachineFolder(generic.text(), Library(), &error)) << error;
  EXPECT_EQ(ReadText(library.path() / "Lathe/config.json"), "user's lathe config");
  EXPECT_EQ(ReadText(library.path() / "Lathe/chuck.stl"), "lathe chuck")
      << "the missing file is added";
  EXPECT_EQ(ReadText(library.path() / "Lathe.mcfg"), "{\"lathe\": 1}");
  EXPECT_TRUE(fs::exists(library.path() / "Mill/models/spindle.stl"));

  library.Write("copy/Lathe/chuck.stl", "mine");
  ASSERT_TRUE(CopyFolderTree(generic.text() + "Lathe/", library.text() + "copy/Lathe/", &error));
  EXPECT_EQ(ReadText(library.path() / "copy/Lathe/chuck.stl"), "mine");
  EXPECT_EQ(ReadText(library.path() / "copy/Lathe/config.json"), "lathe config");
}

TEST_F(SeedTest, MachineWithoutCompanionFolderIsCopiedAlone) {
  generic.Write("Drill.mcfg", "{\"drill\": 1}");
  ASSERT_TRUE(SeedMachineFolder(generic.text(), Library(), &error)) << error;
  EXPECT_TRUE(fs::is_regular_file(library.path() / "Drill.mcfg"));
  EXPECT_FALSE(fs::exists(library.path() / "Drill")) << "no empty folder is made for it";
  EXPECT_TRUE(fs::exists(library.path() / "Mill/config.json")) << "later machines still come";
}

TEST_F(SeedTest, MissingLibraryParentIsReportedWithThePath) {
  const std::string target = library.text() + "Kelmora/Rigwright/";
  EXPECT_FALSE(SeedMachineFolder(generic.text(), target, &error));
  EXPECT_NE(error.find(target), std::string::npos) << error;
  EXPECT_NE(error.find("No such file or directory"), std::string::npos) << error;
  EXPECT_TRUE(library.Names().empty()) << "nothing is created on the way";
}

TEST_F(SeedTest, FailureStopsWithThePathAndKeepsWhatWasCopied) {
  library.Write("Mill", "a file where the Mill folder belongs");
  EXPECT_FALSE(SeedMachineFolder(generic.text(), Library(), &error));
  EXPECT_NE(error.find(library.text() + "Mill"), std::string::npos) << error;
  EXPECT_EQ(ReadText(library.path() / "Mill"), "a file where the Mill folder belongs");
  EXPECT_TRUE(fs::exists(library.path() / "Lathe/chuck.stl")) << "Lathe came first and stays";
  EXPECT_TRUE(fs::exists(library.path() / "Mill.mcfg"));

  EXPECT_FALSE(SeedMachineFolder(library.text() + "nowhere/", Library(), &error));
  EXPECT_NE(error.find("nowhere"), std::string::npos) << error;
}

// Whatever keeps an entry from being copied ends the seeding with a failure naming it, never with
// an exception: Saw's model is a link to a file whose reads fail, "x.mcfg" a folder.
TEST_F(SeedTest, AnEntryThatCannotBeReadIsAFailureNamingIt) {
  generic.Write("x.mcfg/inside.txt", "");
  generic.Write("Saw.mcfg", "{}");
  const fs::path blade = generic.path() / "Saw" / "blade.stl";
  std::error_code noLink;
  fs::create_directories(blade.parent_path());
  fs::create_symlink("/proc/self/mem", blade, noLink);
  std::vector<std::pair<fs::path, std::string>> cases;
  if (!noLink && fs::exists(blade)) cases.emplace_back(blade, "Input/output error");
  cases.emplace_back(generic.path() / "x.mcfg", "it is a folder");
  for (const auto& [entry, reason] : cases) {
    EXPECT_FALSE(SeedMachineFolder(generic.text(), Library(), &error));
    // The message joins folder and name with '/', whatever separator the system's paths use.
    EXPECT_NE(error.find(generic.text()), std::string::npos) << error;
    EXPECT_NE(error.find(Utf8FromPath(entry.filename()) + ": " + reason), std::string::npos)
        << error;
    fs::remove_all(entry);
  }
  EXPECT_TRUE(SeedMachineFolder(generic.text(), Library(), &error)) << error;
}

}  // namespace
}  // namespace rigwright
