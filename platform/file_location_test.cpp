#include "platform/file_location.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "common/testing/test_folder.h"

namespace rigwright {
namespace {

// Tests run as root, whom no permission is ever refused: the system's words for a refusal are
// checked through the translation that every failed open goes through.
TEST(FileLocationTest, ARefusedOpenIsUnreadableInTheSystemsWordsNotMissing) {
  std::string text;
  EXPECT_EQ(OpenFailureOf(EACCES, &text), FileForReading::Failure::kUnreadable);
  EXPECT_EQ(text, "Permission denied");
  EXPECT_EQ(OpenFailureOf(ENOENT, &text), FileForReading::Failure::kMissing);
  EXPECT_EQ(text, "No such file or directory");
}

// The location is the open file's own: moving the file and putting a link to another file in
// its place changes what the path names, not what was opened.
TEST(FileLocationTest, TheLocationIsThatOfTheFileOpenedNotOfItsPath) {
  TestFolder dir;
  const auto model = dir.Write("in/a.stl", "model");
  const auto secret = dir.Write("out/secret", "secret");
  FileForReading file;
  ASSERT_TRUE(file.Open(model)) << file.error();
  std::filesystem::rename(model, dir.path() / "in" / "b.stl");
  std::filesystem::create_symlink(secret, model);

  const std::filesystem::path folder = ResolvedLocation(dir.path() / "in", nullptr);
  EXPECT_EQ(file.Location(), folder / "b.stl");
  EXPECT_TRUE(LiesWithin(file.Location(), folder));
  EXPECT_FALSE(LiesWithin(ResolvedLocation(model, nullptr), folder));
  EXPECT_FALSE(file.Open(dir.path() / "in")) << "a folder is not a file";
  EXPECT_EQ(file.error(), "is a folder");
}

}  // namespace
}  // namespace rigwright
