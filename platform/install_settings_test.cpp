#include "platform/install_settings.h"

#include <gtest/gtest.h>

#include "common/testing/scoped_environment.h"
#include "common/testing/test_folder.h"
#include "platform/install_settings_posix.h"
#include "platform/temporary_folder.h"

namespace rigwright {
namespace {

TEST(InstallSettingsTest, TheFirstDirectoryLineGivesTheFolderAsStored) {
  EXPECT_EQ(DirectoryFromSettings("Directory=/srv/rig wright/\n"), "/srv/rig wright/");
  EXPECT_EQ(DirectoryFromSettings("# set by the installer\r\nDirectory=/a\r\nDirectory=/b\n"),
            "/a");
  EXPECT_EQ(DirectoryFromSettings("Directory=/no/final/newline"), "/no/final/newline");
  EXPECT_EQ(DirectoryFromSettings("Directory=relative"), "relative");
  EXPECT_EQ(DirectoryFromSettings(""), std::nullopt);
  EXPECT_EQ(DirectoryFromSettings("directory=/lower/case\n Directory=/indented\n"), std::nullopt);
  EXPECT_EQ(DirectoryFromSettings("Directory=\n"), std::nullopt);
}

TEST(InstallSettingsTest, TheFileIsReadFromTheFirstConfigurationFolder) {
  TestFolder first, second;
  ScopedEnvironment environment;
  environment.Set("XDG_CONFIG_DIRS", first.path().string() + ":" + second.path().string());
  second.Write("Orvane/Orvane Rigwright for Mastercam.conf", "Directory=/second/\n");
  EXPECT_EQ(InstallSettingsPath(), first.text() + "Orvane/Orvane Rigwright for Mastercam.conf");
  EXPECT_EQ(InstallFolder(), kDefaultInstallFolder) << "only the first folder counts";

  first.Write("Orvane/Orvane Rigwright for Mastercam.conf", "Directory=/first/\n");
  EXPECT_EQ(InstallFolder(), "/first/");

  environment.Set("XDG_CONFIG_DIRS", nullptr);
  EXPECT_EQ(InstallSettingsPath(), "/etc/xdg/Orvane/Orvane Rigwright for Mastercam.conf");
}

TEST(TemporaryFolderTest, HonoursTmpdirAndEndsInASeparator) {
  TestFolder temp;
  ScopedEnvironment environment;
  environment.Set("TMPDIR", temp.path().string());
  EXPECT_EQ(TemporaryFolder(), temp.text());
}

}  // namespace
}  // namespace rigwright
