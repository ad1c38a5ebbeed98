// The real RigwrightWrapper under Windows: the command line the system hands it, and where it
// finds the editor engine.
#include <windows.h>

#include <fstream>

#include "wrapper/startup/testing/wrapper_process_test.h"

namespace rigwright {
namespace {

constexpr char kDefaultInstallFolder[] =
    "C:\\Program Files\\Orvane AS\\Orvane Rigwright for Mastercam\\";

// Puts a copy of the engine built to call itself "default" in the default install folder, and
// takes it out again (with the folders it had to make).
class EngineInDefaultFolder {
 public:
  EngineInDefaultFolder() {
    std::filesystem::path folder;
    for (const std::filesystem::path& part : std::filesystem::path(kDefaultInstallFolder)) {
      folder /= part;
      if (!std::filesystem::exists(folder)) made_.push_back(folder);
    }
    std::filesystem::create_directories(folder);
    engine_ = folder / "MavriloDll.dll";
    std::filesystem::copy_file(
        WrapperTestSystem::SystemPath(RIGWRIGHT_DEFAULT_RECORDING_ENGINE_DIR, "\\MavriloDll.dll"),
        engine_, std::filesystem::copy_options::overwrite_existing);
  }
  ~EngineInDefaultFolder() {
    std::error_code ignored;
    std::filesystem::remove(engine_, ignored);
    for (auto it = made_.rbegin(); it != made_.rend(); ++it) std::filesystem::remove(*it, ignored);
  }

 private:
  std::filesystem::path engine_;
  std::vector<std::filesystem::path> made_;  // outermost first
};

TEST_F(WrapperProcessTest, AQuotedFolderWithBlanksAndAFinalBackslashArrivesAsWritten) {
  environment_.Set("RIGWRIGHT_TEST_ENGINE_STL_REQUESTS", "1");
  TestAddin addin(kTestPipe, "");
  const std::string library = "C:\\Machines of \xC3\xB8rvane\\M y\\";

  EXPECT_EQ(RunWrapper({"--language=\"de-DE\"", "--machineDirectory=\"" + library + "\"",
                        "--defaultUnit=1", "--pipeName=\"" + std::string(kTestPipe) + "\""}),
            0)
      << stderr_;

  // The folder does not exist, so it has no short name: it is given in the code page (1252).
  const std::string inCodePage = "C:\\Machines of \xF8rvane\\M y\\";
  const auto record = Record();
  EXPECT_EQ(record.at("folder"), inCodePage) << "no escape rules: the final backslash stays";
  EXPECT_EQ(record.at("folderLength"), std::to_string(inCodePage.size()));
  EXPECT_EQ(record.at("language"), "de-DE");
  EXPECT_EQ(record.at("unit"), "1");
  EXPECT_EQ(addin.Stop(), (std::vector<std::string>{temp_ + "Rigwright\\", "Need stl path"}))
      << "the pipe name after the folder arrived too";
}

// The engine opens what it is given with the 8-bit file functions, which read the system code
// page (1252 here): ü is in it, Ł and ź are not, and every folder has a short name.
TEST_F(WrapperProcessTest, PathsOutsideAsciiReachTheEngineInFormsItsEightBitFunctionsOpen) {
  environment_.Set("RIGWRIGHT_TEST_ENGINE_STL_REQUESTS", "1");
  const char* const names[] = {"J\xC3\xBCrgen", "\xC5\x81\xC3\xB3" "d\xC5\xBA"};
  std::string reply;
  for (const char* name : names) {
    const std::filesystem::path folder = root_.path() / PathFromUtf8(name);
    std::filesystem::create_directory(folder);
    std::ofstream(folder / "probe.txt") << "probe";
    std::ofstream(folder / "part.stl") << "solid part\nendsolid part\n";
    reply += (reply.empty() ? "" : ";") + Utf8FromPath(folder / "part.stl") + "@0x102030";
  }
  for (const char* name : names) {
    std::filesystem::remove(PathFromUtf8(record_));
    TestAddin addin(kTestPipe, reply);
    EXPECT_EQ(RunWrapper({"--machineDirectory=\"" + root_.text() + name + "\"",
                          "--pipeName=\"" + std::string(kTestPipe) + "\""}),
              0)
        << stderr_;
    auto record = Record();
    EXPECT_EQ(record["folderOpens"], "yes") << name << " given as " << record["folder"];
    EXPECT_EQ(record["replyOpens"], "yesyes") << record["reply"];
  }
}

TEST_F(WrapperProcessTest, TheEngineInTheRegisteredInstallFolderComesBeforeTheDefaultFolders) {
  EngineInDefaultFolder defaultEngine;
  TestAddin addin(kTestPipe, "");

  EXPECT_EQ(RunWrapper({"--pipeName=\"" + std::string(kTestPipe) + "\""}), 0) << stderr_;
  EXPECT_EQ(Record()["engine"], "install folder");

  std::filesystem::remove(PathFromUtf8(record_));
  UseEngineFolder(root_.text() + "no-engine");
  EXPECT_EQ(RunWrapper({"--pipeName=\"" + std::string(kTestPipe) + "\""}), 0) << stderr_;
  EXPECT_EQ(Record()["engine"], "default") << "none in the install folder: the default one";
}

}  // namespace
}  // namespace rigwright
