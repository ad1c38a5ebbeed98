#include "platform/file_write.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "common/path_text.h"
#include "common/testing/test_folder.h"

namespace rigwright {
namespace {

std::string ReadText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::span<const std::uint8_t> Bytes(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

TEST(FileWriteTest, ANewFileNeverTakesThePlaceOfAnExistingOne) {
  TestFolder dir;
  const std::filesystem::path existing = dir.Write("M\xC3\xBChle.bin", "kept");
  std::string error;
  EXPECT_FALSE(WriteNewFile(existing, Bytes("lost"), &error, dir.path() / "Shown.bin"));
  EXPECT_EQ(ReadText(existing), "kept");
  EXPECT_EQ(error.rfind("cannot create " + Utf8FromPath(dir.path() / "Shown.bin") + ": ", 0), 0u)
      << error;

  ASSERT_TRUE(WriteNewFile(dir.path() / PathFromUtf8("n\xC3\xA9w.bin"), Bytes("fresh"), &error))
      << error;
  EXPECT_EQ(dir.Names(), (std::vector<std::string>{"M\xC3\xBChle.bin", "n\xC3\xA9w.bin"}));
}

TEST(FileWriteTest, AReplacementTakesThePlaceOfAnExistingFileInOneStep) {
  TestFolder dir;
  const std::filesystem::path target = dir.Write("Mill \xC3\x98.OrvaneSim", "old content");
  const std::filesystem::path staged = dir.Write(".staged", "new content");
  std::string error;
  ASSERT_TRUE(ReplaceFileAtomically(staged, target, &error)) << error;
  EXPECT_EQ(ReadText(target), "new content");
  EXPECT_EQ(dir.Names(), (std::vector<std::string>{"Mill \xC3\x98.OrvaneSim"}));

  EXPECT_FALSE(ReplaceFileAtomically(dir.path() / "gone", target, &error));
  EXPECT_EQ(error.rfind("cannot replace " + Utf8FromPath(target) + ": ", 0), 0u) << error;
  EXPECT_EQ(ReadText(target), "new content");
}

TEST(FileWriteTest, KeepingAsideLeavesTheEarlierContentReachable) {
  TestFolder dir;
  bool kept = true;
  std::string error;
  ASSERT_TRUE(KeepAside(dir.path() / "missing", dir.path() / ".aside0", &kept, &error)) << error;
  EXPECT_FALSE(kept) << "nothing stood there";

  const std::filesystem::path target = dir.Write("a.bin", "earlier");
  ASSERT_TRUE(KeepAside(target, dir.path() / ".aside1", &kept, &error)) << error;
  EXPECT_TRUE(kept);
  EXPECT_EQ(ReadText(dir.path() / ".aside1"), "earlier");

  std::filesystem::create_directory(dir.path() / "folder");
  EXPECT_FALSE(KeepAside(dir.path() / "folder", dir.path() / ".aside2", &kept, &error));
  EXPECT_EQ(error, "cannot replace " + Utf8FromPath(dir.path() / "folder") + ": Is a directory");
  EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "folder"));
}

}  // namespace
}  // namespace rigwright
