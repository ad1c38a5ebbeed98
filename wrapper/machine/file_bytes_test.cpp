#include "wrapper/machine/file_bytes.h"

#include <gtest/gtest.h>

#include "common/testing/test_folder.h"

namespace rigwright {
namespace {

TEST(FileBytesTest, ReadsAWholeFileIncludingNulBytes) {
  TestFolder dir;
  const auto file = dir.Write("a.bin", std::string("ab\0cd", 5));
  Bytes bytes;
  ASSERT_EQ(ReadFileBytes(file, bytes), kFileRead);
  EXPECT_EQ(bytes, (Bytes{'a', 'b', 0, 'c', 'd'}));
}

TEST(FileBytesTest, FailuresLeaveTheVectorAsItWas) {
  TestFolder dir;
  const Bytes before = {1, 2, 3};
  Bytes bytes = before;
  EXPECT_EQ(ReadFileBytes(dir.path() / "missing", bytes), kFileCannotBeOpened);
  EXPECT_EQ(ReadFileBytes(dir.path(), bytes), kFileCannotBeOpened) << "a folder is not a file";
  EXPECT_EQ(ReadFileBytes(dir.Write("empty", ""), bytes), kFileEmpty);

  const auto huge = dir.Write("huge", "");
  std::filesystem::resize_file(huge, std::uint64_t{1} << 32);  // sparse: no disk space used
  EXPECT_EQ(ReadFileBytes(huge, bytes), kFileTooLarge);
  EXPECT_EQ(bytes, before);
}

TEST(FileBytesTest, FoldersCannotBeOpenedAsFiles) {
  TestFolder dir;
  EXPECT_FALSE(FileCanBeOpened(dir.path()));
  EXPECT_FALSE(FileCanBeOpened(dir.path() / "missing"));
  EXPECT_TRUE(FileCanBeOpened(dir.Write("x", "1")));
}

TEST(FileBytesTest, DevicesAreNotFilesThatCanBeRead) {
  Bytes bytes;
  EXPECT_FALSE(FileCanBeOpened("/dev/null"));
  EXPECT_EQ(ReadFileBytes("/dev/zero", bytes), kFileCannotBeOpened);
  EXPECT_TRUE(bytes.empty());
}

}  // namespace
}  // namespace rigwright
