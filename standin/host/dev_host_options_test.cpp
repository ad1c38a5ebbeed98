#include "standin/host/dev_host_options.h"

#include <gtest/gtest.h>

namespace rigwright::standin {
namespace {

TEST(DevHostOptionsTest, ReadsEveryOption) {
  DevHostOptions options;
  std::string error;
  ASSERT_TRUE(
      ParseDevHostOptions({"--part", "/p/a part.json", "--addin", "/l/lib.so", "--host-version",
                           "2399", "--selection-script", "/s", "--run-rigwright"},
                          &options, &error))
      << error;
  EXPECT_EQ(options.partFile, "/p/a part.json");
  EXPECT_EQ(options.addinLibrary, "/l/lib.so");
  EXPECT_EQ(options.hostVersion, 2399);
  EXPECT_EQ(options.selectionScript, "/s");
  EXPECT_TRUE(options.runRigwright);
}

TEST(DevHostOptionsTest, WithoutOptionsTheHostWaitsForTheUser) {
  DevHostOptions options;
  std::string error;
  ASSERT_TRUE(ParseDevHostOptions({}, &options, &error));
  EXPECT_EQ(options.hostVersion, kDevHostVersion);
  EXPECT_FALSE(options.runRigwright);
  EXPECT_TRUE(options.partFile.empty());
}

TEST(DevHostOptionsTest, HelpAsksForTheUsageThatNamesEveryOption) {
  DevHostOptions options;
  std::string error;
  ASSERT_TRUE(ParseDevHostOptions({"--part", "p.json", "--help"}, &options, &error)) << error;
  EXPECT_TRUE(options.showHelp);
  for (const char* option : {"--part <file>", "--addin <library>", "--host-version <n>",
                             "--selection-script <file>", "--run-rigwright", "--help"}) {
    EXPECT_NE(DevHostUsage().find(option), std::string::npos) << option;
  }
}

TEST(DevHostOptionsTest, NamesTheOptionAtFault) {
  DevHostOptions options;
  std::string error;
  EXPECT_FALSE(ParseDevHostOptions({"--parts", "x"}, &options, &error));
  EXPECT_EQ(error, "unknown option --parts");
  EXPECT_FALSE(ParseDevHostOptions({"--part"}, &options, &error));
  EXPECT_EQ(error, "--part needs a value");
  EXPECT_FALSE(ParseDevHostOptions({"--host-version", "24x"}, &options, &error));
  EXPECT_EQ(error, "--host-version needs a whole number, not \"24x\"");
}

}  // namespace
}  // namespace rigwright::standin
