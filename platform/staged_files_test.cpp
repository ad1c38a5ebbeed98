#include "platform/staged_files.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "common/testing/test_folder.h"

namespace rigwright {
namespace {

std::string ReadText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::span<const std::uint8_t> Bytes(const std::string& text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

TEST(StagedFilesTest, CommitReplacesEveryTargetAndLeavesNoTemporaryFile) {
  TestFolder dir;
  dir.Write("a.bin", "old a");
  StagedFiles files;
  ASSERT_TRUE(files.Stage(dir.path() / "a.bin", Bytes("new a")));
  ASSERT_TRUE(files.Stage(dir.path() / "b.bin", Bytes("")));
  EXPECT_EQ(ReadText(dir.path() / "a.bin"), "old a") << "nothing changes before the commit";
  ASSERT_TRUE(files.Commit()) << files.error();
  EXPECT_EQ(ReadText(dir.path() / "a.bin"), "new a");
  EXPECT_TRUE(std::filesystem::is_regular_file(dir.path() / "b.bin"));
  EXPECT_EQ(dir.Names(), (std::vector<std::string>{"a.bin", "b.bin"}));
}

TEST(StagedFilesTest, AbandonedStagingKeepsTargetsAndCleansUp) {
  TestFolder dir;
  dir.Write("a.bin", "old a");
  {
    StagedFiles files;
    ASSERT_TRUE(files.Stage(dir.path() / "a.bin", Bytes("new a")));
    EXPECT_FALSE(files.Stage(dir.path() / "missing" / "b.bin", Bytes("b")));
    EXPECT_NE(files.error().find("missing"), std::string::npos) << files.error();
  }
  EXPECT_EQ(ReadText(dir.path() / "a.bin"), "old a");
  EXPECT_EQ(dir.Names(), (std::vector<std::string>{"a.bin"}));
}

TEST(StagedFilesTest, CommitOntoAFolderFailsAndRemovesTheRest) {
  TestFolder dir;
  std::filesystem::create_directories(dir.path() / "taken" / "inner");
  StagedFiles files;
  ASSERT_TRUE(files.Stage(dir.path() / "taken", Bytes("x")));
  EXPECT_FALSE(files.Commit());
  EXPECT_NE(files.error().find("taken"), std::string::npos) << files.error();
  EXPECT_EQ(dir.Names(), (std::vector<std::string>{"taken"}));
}

}  // namespace
}  // namespace rigwright
