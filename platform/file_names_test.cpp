// This system's file-name rule, as the add-in's seeding asks it about two names.
#include "platform/file_names.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace rigwright {
namespace {

TEST(FileNamesTest, TwoNamesAreOneFileByThisSystemsRule) {
  constexpr bool kWindows = sizeof(std::filesystem::path::value_type) == 2;
  EXPECT_EQ(SameFileName("Mill.mcfg", "mill.MCFG"), kWindows);
  EXPECT_EQ(SameFileName("Fr\xC3\xA4se", "FR\xC3\x84SE"), kWindows);
  EXPECT_EQ(SameFileName("Mill. ", "Mill"), kWindows);
  EXPECT_FALSE(SameFileName("Mill", "Mull"));
  EXPECT_FALSE(SameFileName("bad\xFF", "bad\xFE")) << "names that are not UTF-8 stay bytes";
}

}  // namespace
}  // namespace rigwright
