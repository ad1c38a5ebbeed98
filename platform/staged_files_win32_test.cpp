#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "common/testing/test_folder.h"
#include "platform/staged_files.h"

namespace rigwright {
namespace {

// Kelmora holding an installed package open without sharing its deletion (any handle, in any
// process, holds it so): the install stops before anything is renamed, says so, and leaves the
// earlier files as they were with nothing beside them.
TEST(StagedFilesWin32Test, AFileHeldWithoutSharingItsDeletionStopsTheCommitWithNothingChanged) {
  TestFolder dir;
  dir.Write("Mill.OrvaneSim", "old sim");
  dir.Write("Mill.OrvaneSimCfg", "old cfg");
  const std::filesystem::path held = dir.path() / "Mill.OrvaneSimCfg";
  const HANDLE holder =
      ::CreateFileW(held.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  std::string error;
  {
    StagedFiles files;
    const std::uint8_t bytes[] = {'n', 'e', 'w'};
    ASSERT_TRUE(files.Stage(dir.path() / "Mill.OrvaneSim", bytes)) << files.error();
    ASSERT_TRUE(files.Stage(held, bytes)) << files.error();
    EXPECT_FALSE(files.Commit());
    error = files.error();
  }
  ::CloseHandle(holder);
  EXPECT_NE(error.find("Mill.OrvaneSimCfg: another program is using it"), std::string::npos)
      << error;
  EXPECT_EQ(error.find("kept as"), std::string::npos) << error;
  std::ifstream sim(dir.path() / "Mill.OrvaneSim", std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(sim), {}), "old sim");
  EXPECT_EQ(dir.Names(), (std::vector<std::string>{"Mill.OrvaneSim", "Mill.OrvaneSimCfg"}));
}

}  // namespace
}  // namespace rigwright
