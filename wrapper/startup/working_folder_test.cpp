#include "wrapper/startup/working_folder.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>

#include "common/testing/test_folder.h"

namespace rigwright {
namespace {

TEST(WorkingFolderTest, NamesCountUpFromThePlainName) {
  EXPECT_EQ(WorkingFolderName(0), "Rigwright");
  EXPECT_EQ(WorkingFolderName(1), "Rigwright1");
  EXPECT_EQ(WorkingFolderName(12), "Rigwright12");
}

TEST(WorkingFolderTest, TheFirstFreeNameIsTakenWhateverHoldsTheOthers) {
  TestFolder temp;
  std::filesystem::create_directory(temp.path() / "Rigwright");
  temp.Write("Rigwright1", "a file, not a folder");
  const WorkingFolder folder = ClaimWorkingFolder(temp.text());
  EXPECT_EQ(folder.path, temp.text() + "Rigwright2/");
  EXPECT_TRUE(std::filesystem::is_directory(folder.path));
  EXPECT_EQ(temp.Names(), (std::vector<std::string>{"Rigwright", "Rigwright1", "Rigwright2"}));
}

TEST(WorkingFolderTest, WrappersStartingTogetherNeverShareAFolder) {
  TestFolder temp;
  constexpr int kWrappers = 8;
  std::vector<std::string> paths(kWrappers);
  std::vector<std::thread> wrappers;
  for (int i = 0; i < kWrappers; ++i) {
    wrappers.emplace_back([&, i] { paths[i] = ClaimWorkingFolder(temp.text()).path; });
  }
  for (auto& wrapper : wrappers) wrapper.join();
  const std::set<std::string> distinct(paths.begin(), paths.end());
  EXPECT_EQ(distinct.size(), static_cast<std::size_t>(kWrappers));
  EXPECT_FALSE(distinct.contains(""));
}

TEST(WorkingFolderTest, AFolderThatCannotBeMadeIsAnErrorNamingIt) {
  TestFolder temp;
  const WorkingFolder folder = ClaimWorkingFolder(temp.text() + "missing/");
  EXPECT_EQ(folder.path, "");
  EXPECT_NE(folder.error.find(temp.text() + "missing/Rigwright"), std::string::npos)
      << folder.error;
  EXPECT_NE(ClaimWorkingFolder("").error, "");
}

TEST(WorkingFolderTest, RemovalTakesEverythingInside) {
  TestFolder temp;
  const WorkingFolder folder = ClaimWorkingFolder(temp.text());
  temp.Write("Rigwright/level 1.stl", "solid");
  temp.Write("Rigwright/sub/part.stl", "solid");
  EXPECT_EQ(RemoveWorkingFolder(folder.path), "");
  EXPECT_TRUE(temp.Names().empty());
}

}  // namespace
}  // namespace rigwright
