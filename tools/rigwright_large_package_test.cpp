// The rigwright tool on a package whose content passes 4 GiB: made of zeros, so it is small on
// disk, but reading it inflates 4.6 GB, which takes seconds, hence a test of its own.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "common/testing/test_folder.h"
#include "wrapper/package/package_test_util.h"

namespace rigwright {
namespace {

using namespace rigwright::testing;

// A machine of two models of 2.3 GB (each within a record's 4 GiB) holds over 4 GiB of content,
// which the gzip trailer states modulo 2^32. It is valid, and so is the configuration package
// beside it in the bundle, read with its own allowance. verify reads the same way with the key.
TEST(LargePackageTest, ContentOver4GiBIsValidAndEachNestedPackageIsReadOnItsOwn) {
  constexpr std::uint64_t kModel = 2'300'000'000;
  const Bytes machine = Sign(GzipOfPieces({{RecordHead("a.stl", kModel), kModel},
                                           {RecordHead("b.stl", kModel), kModel},
                                           {RecordHead("config.json", 0), 0}}));
  const Bytes bundle =
      MakePackage({{"Mill.OrvaneSim", machine},
                   {"Mill.OrvaneSimCfg", MakePackage({{"config.json", ToBytes("{}")}})}});
  TestFolder dir;
  const std::string file = dir.Write("Mill.OrvaneSimBundle", ToText(bundle)).string();
  const std::string out = (dir.path() / "out.txt").string();
  const std::string command =
      std::string(RIGWRIGHT_CLI) + " list '" + file + "' >'" + out + "' 2>&1";
  EXPECT_EQ(std::system(command.c_str()), 0);
  const std::string listed = ReadTextFile(out);
  EXPECT_NE(listed.find("  2300000000  b.stl\n"), std::string::npos) << listed;
  EXPECT_NE(listed.find("             2  config.json\n"), std::string::npos) << listed;
}

}  // namespace
}  // namespace rigwright
