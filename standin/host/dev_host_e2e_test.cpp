// Runs the staged development host as a user would: it loads the part and the add-in, presses
// "Rigwright", the real wrapper starts from the development install folder and runs the scripted
// editor, whose STL request the add-in's picker answers over the pipe (a scripted user checks a
// level); then the host is told to end and unloads the add-in.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <thread>

#include "common/testing/scoped_environment.h"
#include "common/testing/test_folder.h"
#include "platform/child_process.h"

namespace rigwright {
namespace {

std::string ReadText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

template <typename Condition>
bool WaitFor(Condition condition) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

class DevHostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "the host needs a display (xvfb-run)";
    for (const char* folder : {"appdata/Kelmora", "tmp", "runtime"}) {
      std::filesystem::create_directories(root_.path() / folder);
    }
    environment_.Set("XDG_CONFIG_DIRS", RIGWRIGHT_DEV_CONFIG_DIR);
    environment_.Set("APPDATA", root_.text() + "appdata");
    environment_.Set("TMPDIR", root_.text() + "tmp");
    environment_.Set("XDG_RUNTIME_DIR", root_.text() + "runtime");
    environment_.Set("MAVRILO_SCRIPT", root_.Write("script", "new Mill\nadd-solid\n").string());
    // The user answers the picker with the level "Base".
    environment_.Set("RIGWRIGHT_UI_SCRIPT",
                     root_.Write("ui", "window \"STL picker\" check 1001 \"Base\"\n"
                                       "window \"STL picker\" click 1\n").string());
  }

  // Starts the staged host with `options`; its output lands in out_ and err_.
  std::unique_ptr<ChildProcess> StartHost(const std::vector<std::string>& options) {
    std::vector<std::string> arguments = {
        "-c", "out=$1; err=$2; shift 2; exec timeout --foreground -k 5 120 \"$0\" \"$@\" >\"$out\" 2>\"$err\"",
        RIGWRIGHT_DEV_INSTALL_DIR "/RigwrightDevHost", out_.string(), err_.string()};
    arguments.insert(arguments.end(), options.begin(), options.end());
    std::string error;
    auto host = StartProcess("/bin/sh", arguments, &error);
    EXPECT_TRUE(host) << error;
    return host;
  }

  std::vector<std::string> PipeSockets() const {
    const auto folder = root_.path() / "runtime" / "rigwright";
    return std::filesystem::exists(folder) ? root_.Names("runtime/rigwright")
                                           : std::vector<std::string>{};
  }

  TestFolder root_;
  ScopedEnvironment environment_;
  const std::filesystem::path out_ = root_.path() / "out";
  const std::filesystem::path err_ = root_.path() / "err";
  const std::string library_ = root_.text() + "appdata/Kelmora/Rigwright/";
};

TEST_F(DevHostTest, TheRigwrightCommandRunsTheEditorAndTheAddinLeavesCleanly) {
  auto host =
      StartHost({"--part", RIGWRIGHT_SOURCE_DIR "/data/sample-part.json", "--run-rigwright"});
  ASSERT_TRUE(host);

  const bool editorDone = WaitFor([&] {
    return ReadText(err_).find("mavrilo: add-solid done") != std::string::npos ||
           !host->IsRunning();
  });
  ASSERT_TRUE(editorDone && host->IsRunning()) << ReadText(out_) << ReadText(err_);
  EXPECT_NE(ReadText(err_).find("mavrilo: add-solid done: added 1 solid(s) to Mill"),
            std::string::npos)
      << "the picker answered the request with the level's solid:\n"
      << ReadText(err_);
  EXPECT_TRUE(std::filesystem::exists(library_ + "Mill.mcfg")) << "the wrapper got the library";
  EXPECT_TRUE(std::filesystem::exists(library_ + "Generic 3-Axis VMC.mcfg")) << "seeded";
  EXPECT_TRUE(WaitFor([&] { return std::filesystem::is_empty(root_.path() / "tmp"); }))
      << "the wrapper ended and removed its working folder";
  EXPECT_EQ(PipeSockets().size(), 1u) << "the add-in's pipe stays while it is loaded";

  ASSERT_EQ(::kill(static_cast<pid_t>(host->id()), SIGTERM), 0);
  EXPECT_EQ(host->WaitForExit(), 0) << ReadText(err_);

  const std::string out = ReadText(out_);
  EXPECT_NE(out.find("add-in loaded: " RIGWRIGHT_DEV_INSTALL_DIR "/libRigwrightAddin.so "
                     "(version 2450)"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("add-in unloaded"), std::string::npos) << out;
  EXPECT_TRUE(PipeSockets().empty()) << "socket removed at unload";
}

TEST_F(DevHostTest, ASignalEndsTheHostAlsoBeforeTheAddinRan) {
  auto host = StartHost({"--part", RIGWRIGHT_SOURCE_DIR "/data/sample-part.json"});
  ASSERT_TRUE(host);
  ASSERT_TRUE(WaitFor([&] { return ReadText(out_).find("add-in loaded") != std::string::npos; }))
      << ReadText(err_);
  ASSERT_EQ(::kill(static_cast<pid_t>(host->id()), SIGTERM), 0);
  EXPECT_EQ(host->WaitForExit(), 0) << ReadText(err_);
  EXPECT_NE(ReadText(out_).find("add-in unloaded"), std::string::npos) << ReadText(out_);
}

TEST_F(DevHostTest, AnAddinOfAnotherSeriesIsRefused) {
  auto host = StartHost({"--addin", RIGWRIGHT_OUTDATED_ADDIN, "--run-rigwright"});
  ASSERT_TRUE(host);

  EXPECT_NE(host->WaitForExit(), 0);

  EXPECT_NE(ReadText(err_).find("add-in refused: " RIGWRIGHT_OUTDATED_ADDIN " is for version 2300"),
            std::string::npos)
      << ReadText(err_);
  EXPECT_EQ(ReadText(out_), "");
}

TEST(DevHostHelpTest, HelpListsTheOptionsWithoutADisplay) {
  TestFolder folder;
  ScopedEnvironment environment;
  environment.Set("DISPLAY", nullptr);
  environment.Set("WAYLAND_DISPLAY", nullptr);
  const auto out = folder.path() / "out";
  std::string error;
  auto host = StartProcess("/bin/sh",
                           {"-c", "exec \"$0\" --help >\"$1\" 2>&1",
                            RIGWRIGHT_DEV_INSTALL_DIR "/RigwrightDevHost", out.string()},
                           &error);
  ASSERT_TRUE(host) << error;
  EXPECT_EQ(host->WaitForExit(), 0) << ReadText(out);
  const std::string help = ReadText(out);
  EXPECT_TRUE(help.starts_with("Usage: RigwrightDevHost")) << help;
  for (const char* option :
       {"--part", "--addin", "--host-version", "--selection-script", "--run-rigwright", "--help"}) {
    EXPECT_NE(help.find(option), std::string::npos) << option << " in:\n" << help;
  }
}

}  // namespace
}  // namespace rigwright
