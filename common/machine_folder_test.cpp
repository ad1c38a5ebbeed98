#include "common/machine_folder.h"

#include <gtest/gtest.h>

#include "common/testing/test_folder.h"

namespace rigwright {
namespace {

std::string Suite(const TestFolder& appData, int year) {
  return appData.text() + "Orvane " + std::to_string(year) + "/Quennet/MachineCfg/";
}

TEST(FindMachineFolderTest, WithoutSuiteFoldersTheDefaultFolderIsCreated) {
  TestFolder appData;
  std::filesystem::create_directory(appData.path() / "Kelmora");
  const std::string folder = FindMachineFolder(appData.path().string());
  EXPECT_EQ(folder, appData.text() + "Kelmora/Rigwright/");
  EXPECT_TRUE(IsExistingFolder(folder));
}

TEST(FindMachineFolderTest, AMissingKelmoraFolderIsNotCreatedButThePathStands) {
  TestFolder appData;
  EXPECT_EQ(FindMachineFolder(appData.path().string()), appData.text() + "Kelmora/Rigwright/");
  EXPECT_TRUE(appData.Names().empty());
}

TEST(FindMachineFolderTest, TheNewestSuiteWithMachinesWinsAndNothingIsCreated) {
  TestFolder appData;
  appData.Write("Orvane 2024/Quennet/MachineCfg/Lathe.mcfg", "{}");
  appData.Write("Orvane 2026/Quennet/MachineCfg/Mill.mcfg", "{}");
  EXPECT_EQ(FindMachineFolder(appData.path().string()), Suite(appData, 2026));
  EXPECT_EQ(appData.Names(), (std::vector<std::string>{"Orvane 2024", "Orvane 2026"}));
}

TEST(FindMachineFolderTest, ASuiteWithoutMachineFilesIsPassedOver) {
  TestFolder appData;
  appData.Write("Orvane 2026/Quennet/MachineCfg/Mill/config.json", "{}");
  appData.Write("Orvane 2026/Quennet/MachineCfg/notes.txt", "");
  appData.Write("Orvane 2026/Quennet/MachineCfg/mcfg", "");
  appData.Write("Orvane 2025/Quennet/MachineCfg/A.MCFG", "{}");
  EXPECT_EQ(FindMachineFolder(appData.path().string()), Suite(appData, 2025))
      << "the extension is compared without regard to ASCII case";
}

TEST(FindMachineFolderTest, WithoutAnApplicationDataFolderThereIsNoChoice) {
  EXPECT_EQ(FindMachineFolder(""), "");
}

TEST(HasMachineFilesTest, OnlyRegularFilesDirectlyInTheFolderCount) {
  TestFolder dir;
  std::filesystem::create_directories(dir.path() / "x.mcfg");
  dir.Write("sub/Deep.mcfg", "{}");
  dir.Write("Mill.mcfgx", "");
  EXPECT_FALSE(HasMachineFiles(dir.path().string()));
  dir.Write("Mill.mCfG", "");
  EXPECT_TRUE(HasMachineFiles(dir.path().string()));
}

TEST(HasMachineFilesTest, AFolderThatCannotBeReadHoldsNothing) {
  EXPECT_FALSE(HasMachineFiles("/nonexistent/folder/"));
  TestFolder dir;
  dir.Write("file.mcfg", "");
  EXPECT_FALSE(HasMachineFiles((dir.path() / "file.mcfg").string())) << "a file, not a folder";
}

TEST(IsExistingFolderTest, OnlyFoldersExist) {
  TestFolder dir;
  dir.Write("file", "");
  EXPECT_TRUE(IsExistingFolder(dir.path().string()));
  EXPECT_TRUE(IsExistingFolder(dir.text()));
  EXPECT_FALSE(IsExistingFolder((dir.path() / "file").string()));
  EXPECT_FALSE(IsExistingFolder((dir.path() / "missing").string()));
  EXPECT_FALSE(IsExistingFolder((dir.path() / "file" / "below").string()));
}

}  // namespace
}  // namespace rigwright
