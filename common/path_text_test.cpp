#include "common/path_text.h"

#include <gtest/gtest.h>

namespace rigwright {
namespace {

TEST(PathTextTest, TakesNamesApartAtEitherSeparator) {
  EXPECT_EQ(FileNameOf("C:\\m\\Mill.Big.mcfg"), "Mill.Big.mcfg");
  EXPECT_EQ(FileNameOf("/home/u/a\\b/c.mcfg"), "c.mcfg");
  EXPECT_EQ(FileNameOf("plain"), "plain");
  EXPECT_EQ(DirectoryPrefixOf("C:\\m\\Mill.mcfg"), "C:\\m\\");
  EXPECT_EQ(DirectoryPrefixOf("/srv/m/Mill.mcfg"), "/srv/m/");
  EXPECT_EQ(DirectoryPrefixOf("Mill.mcfg"), "");
}

TEST(PathTextTest, StemEndsAtTheLastDotOfTheFileNameOnly) {
  EXPECT_EQ(StemOf("C:\\m\\Mill.Big.mcfg"), "Mill.Big");
  EXPECT_EQ(StemOf("/a.b/Lathe"), "Lathe");
  EXPECT_EQ(StemOf("noseparatornodot"), "noseparatornodot");
  EXPECT_EQ(StemOf("/m/.hidden"), "");
}

TEST(PathTextTest, TrailingSeparatorIsAddedOnlyWhenMissing) {
  EXPECT_EQ(WithTrailingSeparator("/out"), "/out/");
  EXPECT_EQ(WithTrailingSeparator("/out/"), "/out/");
  EXPECT_EQ(WithTrailingSeparator("C:\\out\\"), "C:\\out\\");
  EXPECT_EQ(WithTrailingSeparator(""), "");
}

TEST(PathTextTest, NonAsciiTextSurvivesTheRoundTrip) {
  const std::string text = "/tmp/Fr\xC3\xA4smaschine/\xE6\x9C\xBA.mcfg";
  EXPECT_EQ(Utf8FromPath(PathFromUtf8(text)), text);
}

TEST(PathTextTest, TextThatIsNotUtf8GivesAPathWithoutThrowing) {
  const std::string text =
      "a\xFF"
      "b\xED\xA0\x80\xC3\xA4";  // a stray byte, a surrogate, an a-umlaut
  constexpr bool kUtf16 = sizeof(std::filesystem::path::value_type) == 2;
  const std::string replaced =
      "a\xEF\xBF\xBD"
      "b\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xC3\xA4";
  EXPECT_EQ(Utf8FromPath(PathFromUtf8(text)), kUtf16 ? replaced : text);
}

// Windows file names may hold a surrogate without its pair; such a name still gives text.
TEST(PathTextTest, AnUnpairedSurrogateBecomesAReplacementCharacter) {
  const std::u16string units =
      u"a\xD800"
      u"b\xDC00"
      u"\xD83D\xDE00";
  EXPECT_EQ(Utf8FromUtf16(units),
            "a\xEF\xBF\xBD"
            "b\xEF\xBF\xBD"
            "\xF0\x9F\x98\x80");
  if constexpr (sizeof(std::filesystem::path::value_type) == 2) {
    const std::filesystem::path path(std::wstring(units.begin(), units.end()));
    EXPECT_EQ(Utf8FromPath(path), Utf8FromUtf16(units));
  }
}

}  // namespace
}  // namespace rigwright
