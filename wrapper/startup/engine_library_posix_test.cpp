#include <gtest/gtest.h>

#include "wrapper/startup/engine_binding.h"

namespace rigwright {
namespace {

TEST(PrepareEngineSearchTest, InstallFolderThenSearchThenDefaultFolder) {
  EXPECT_EQ(PrepareEngineSearch("/srv/rig"),
            (std::vector<std::string>{"/srv/rig/libMavriloDll.so", "libMavriloDll.so",
                                      "/opt/Orvane AS/Orvane Rigwright for Mastercam/"
                                      "libMavriloDll.so"}));
  EXPECT_EQ(PrepareEngineSearch("/srv/rig/").front(), "/srv/rig/libMavriloDll.so");
}

}  // namespace
}  // namespace rigwright
