// The real wrapper with the development editor: the editor exports a machine twice through the
// export callback, and a scripted user answers the real export dialog, once for a bundle and once
// for Kelmora's machine folder.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "common/testing/scoped_environment.h"
#include "common/testing/test_folder.h"

namespace rigwright {
namespace {

std::string ReadText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string Quote(const std::string& text) { return "'" + text + "'"; }

TEST(ExportFlowTest, TheEditorsExportsGoThroughTheRealDialogToVerifiedFiles) {
  TestFolder root;
  ScopedEnvironment environment;
  std::filesystem::create_directories(root.path() / "library");
  std::filesystem::create_directories(root.path() / "tmp");
  std::filesystem::create_directories(root.path() / "AppData" / "Kelmora" / "MachineCfg");
  environment.Set("XDG_CONFIG_DIRS", RIGWRIGHT_DEV_CONFIG_DIR);
  environment.Set("APPDATA", root.text() + "AppData");
  environment.Set("TMPDIR", root.text() + "tmp");
  environment.Set("MAVRILO_SCRIPT", root.Write("editor.txt", "new Mill\nexport\nexport\nclose\n").string());
  const std::string bundle = root.text() + "out/Mill.OrvaneSimBundle";
  environment.Set("RIGWRIGHT_UI_SCRIPT",
                  root.Write("ui.txt",
                             "window \"Export\" select 1001 \"Kelmora bundle (.OrvaneSimBundle)\"\n"
                             "window \"Export\" text 1002 \"" + bundle + "\"\n"
                             "window \"Export\" screenshot \"" + root.text() + "shots/bundle.png\"\n"
                             "window \"Export\" click 1\n"
                             "window \"Export\" screenshot \"" + root.text() + "shots/install.png\"\n"
                             "window \"Export\" click 1\n"
                             "messages \"" + root.text() + "messages.txt\"\n")
                      .string());

  const std::string command = "timeout -k 5 120 " + Quote(RIGWRIGHT_DEV_INSTALL_DIR "/RigwrightWrapper") +
                              " " + Quote("--machineDirectory=\"" + root.text() + "library/\"") +
                              " " + Quote("--pipeName=\"\\\\.\\pipe\\rigwright-e2e-nobody\"") +
                              " 2>" + Quote(root.text() + "stderr.txt");
  ASSERT_EQ(std::system(command.c_str()), 0) << ReadText(root.path() / "stderr.txt");

  EXPECT_EQ(ReadText(root.path() / "messages.txt"), "Success!\nSuccess!\n")
      << ReadText(root.path() / "stderr.txt");
  EXPECT_EQ(std::system(("'" RIGWRIGHT_CLI "' verify " + Quote(bundle) + " >/dev/null").c_str()), 0);
  const auto installed = root.path() / "AppData" / "Kelmora" / "MachineCfg" / "Mill";
  EXPECT_TRUE(std::filesystem::is_regular_file(installed / "Mill.OrvaneSim"));
  EXPECT_TRUE(std::filesystem::is_regular_file(installed / "Mill.OrvaneSimCfg"));
  EXPECT_TRUE(std::filesystem::is_regular_file(root.path() / "shots" / "bundle.png"));
  EXPECT_TRUE(std::filesystem::is_regular_file(root.path() / "shots" / "install.png"));
  EXPECT_TRUE(std::filesystem::is_empty(root.path() / "tmp")) << "the working folder is gone";
  std::filesystem::create_directories(RIGWRIGHT_BINARY_DIR "/screenshots");
  std::filesystem::copy_file(root.path() / "shots" / "bundle.png",
                             RIGWRIGHT_BINARY_DIR "/screenshots/export-flow-bundle.png",
                             std::filesystem::copy_options::overwrite_existing);
}

}  // namespace
}  // namespace rigwright
