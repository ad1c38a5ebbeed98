// Runs the real RigwrightWrapper program with a recording engine and a stand-in add-in that
// listens on the pipe, and checks what each of them sees.
#include "platform/engine_text.h"
#include "wrapper/startup/testing/wrapper_process_test.h"

#include <gmock/gmock.h>

#include <chrono>

#include "platform/native_paths.h"

namespace rigwright {
namespace {

constexpr std::string_view kPipe = kTestPipe;

TEST_F(WrapperProcessTest, AnnouncesItsFolderRunsTheEngineServesStlRequestsAndCleansUp) {
  if (!WrapperTestSystem::HasDisplay()) GTEST_SKIP() << "the wrapper needs a display (xvfb-run)";
  std::filesystem::create_directory(PathFromUtf8(temp_ + "Rigwright"));
  std::filesystem::create_directory(PathFromUtf8(temp_ + "Rigwright1"));
  environment_.Set("RIGWRIGHT_TEST_ENGINE_STL_REQUESTS", "1");
  const std::string reply = temp_ + "Rigwright2/Base.stl@0x102030;/parts/ö.stl";
  TestAddin addin(kPipe, reply);

  EXPECT_EQ(RunWrapper({"--language=\"de-DE\"", "--machineDirectory=\"/home/u/M y/\"",
                        "--defaultUnit=1", "--pipeName=\"" + std::string(kPipe) + "\""}),
            0)
      << stderr_;

  const std::vector<std::string> messages = addin.Stop();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0], temp_ + "Rigwright2" + separator_)
      << "the first free name, in UTF-8, ending in the separator";
  EXPECT_EQ(messages[1], "Need stl path");
  EXPECT_TRUE(addin.folderExistedDuringRequest());

  auto record = Record();
  EXPECT_EQ(record["folder"], "/home/u/M y/");
  EXPECT_EQ(record["folderLength"], "12");
  EXPECT_EQ(record["reserved"], "");
  EXPECT_EQ(record["reservedLength"], "0");
  EXPECT_EQ(record["unit"], "1");
  EXPECT_EQ(record["language"], "de-DE");
  EXPECT_EQ(record["languageLength"], "5");
  EXPECT_EQ(record["reserved64"], "0");
  EXPECT_EQ(record["stlCallback"], "yes");
  // In the 8-bit form the engine opens (on Windows the code page; its choice is tested apart).
  EXPECT_EQ(record["reply"], EngineTextOfStlReply(reply, SystemEngineTextForms()));
  EXPECT_THAT(SupportLog(), ::testing::HasSubstr("STL request answered by the add-in after "));

  EXPECT_FALSE(std::filesystem::exists(PathFromUtf8(temp_ + "Rigwright2")));
  EXPECT_TRUE(std::filesystem::is_directory(PathFromUtf8(temp_ + "Rigwright1")))
      << "not ours to delete";
  EXPECT_EQ(stderr_, "");
}

TEST_F(WrapperProcessTest, WithoutOptionsItUsesTheDefaultsAndTheFallbackMachineFolder) {
  if (!WrapperTestSystem::HasDisplay()) GTEST_SKIP() << "the wrapper needs a display (xvfb-run)";
  root_.Write("appdata/Orvane 2026/Quennet/MachineCfg/readme.txt", "");
  root_.Write("appdata/Orvane 2025/Quennet/MachineCfg/A.MCFG", "{}");
  TestAddin addin(kDefaultPipeName, "");

  EXPECT_EQ(RunWrapper({}), 0) << stderr_;

  EXPECT_EQ(addin.Stop(), std::vector<std::string>{temp_ + "Rigwright" + separator_});
  auto record = Record();
  EXPECT_EQ(record["folder"],
            NativeSeparators(root_.text() + "appdata/Orvane 2025/Quennet/MachineCfg/"))
      << "the engine gets the folder in the system's own spelling";
  EXPECT_EQ(record["language"], "en-US");
  EXPECT_EQ(record["unit"], "0");
}

TEST_F(WrapperProcessTest, WithoutAnEngineItEndsQuietlyWithExitCodeZero) {
  if (!WrapperTestSystem::HasDisplay()) GTEST_SKIP() << "the wrapper needs a display (xvfb-run)";
  UseEngineFolder(root_.text() + "no-engine");
  TestAddin addin(kPipe, "");

  EXPECT_EQ(RunWrapper({"--pipeName=\"" + std::string(kPipe) + "\""}), 0);

  EXPECT_EQ(stderr_, "");
  EXPECT_FALSE(std::filesystem::exists(record_)) << "no engine ran";
  // Only support can read why: each place tried, after this run's options and working folder.
  for (const std::string& part : std::vector<std::string>{
           "RigwrightWrapper ", "pipe " + std::string(kPipe),
           "working folder " + temp_ + "Rigwright", "warning: editor engine candidate ",
           "error: no editor engine could be loaded"}) {
    EXPECT_THAT(SupportLog(), ::testing::HasSubstr(part));
  }
  EXPECT_EQ(addin.Stop(), std::vector<std::string>{temp_ + "Rigwright" + separator_});
  EXPECT_FALSE(std::filesystem::exists(PathFromUtf8(temp_ + "Rigwright")));
}

TEST_F(WrapperProcessTest, WithoutAWorkingFolderItSaysSoAndStillRunsTheEditor) {
  if (!WrapperTestSystem::HasDisplay()) GTEST_SKIP() << "the wrapper needs a display (xvfb-run)";
  const std::string missing = system_.UnusableTemporaryFolder();
  system_.SetTemporaryFolder(missing);
  environment_.Set("RIGWRIGHT_TEST_ENGINE_STL_REQUESTS", "1");
  TestAddin addin(kPipe, "/parts/a.stl");

  EXPECT_EQ(RunWrapper({"--pipeName=\"" + std::string(kPipe) + "\""}), 0);

  EXPECT_NE(stderr_.find("working folder " + missing + "Rigwright"), std::string::npos) << stderr_;
  // Where a program without a console can tell it.
  EXPECT_THAT(SupportLog(), ::testing::HasSubstr("error: cannot create working folder " + missing));
  EXPECT_EQ(addin.Stop(), std::vector<std::string>{"Need stl path"}) << "no folder message";
  EXPECT_EQ(Record()["reply"], "/parts/a.stl");
}

TEST_F(WrapperProcessTest, TheStagedEditorAddsASolidFromTheAddinToANewMachine) {
  if (!WrapperTestSystem::HasDisplay()) GTEST_SKIP() << "the wrapper needs a display (xvfb-run)";
  UseEngineFolder(WrapperTestSystem::SystemPath(RIGWRIGHT_DEV_INSTALL_DIR));
  const auto script = root_.Write("script", "new Mill\nadd-solid\n");
  environment_.Set("MAVRILO_SCRIPT", Utf8FromPath(script));
  const auto solid = root_.Write("parts/Table.stl", "solid table");
  TestAddin addin(kPipe, Utf8FromPath(solid) + "@0x808080");
  std::filesystem::create_directory(root_.path() / "library");

  EXPECT_EQ(RunWrapper({"--machineDirectory=\"" + root_.text() + "library/\"",
                        "--pipeName=\"" + std::string(kPipe) + "\""}),
            0)
      << stderr_;

  EXPECT_EQ(addin.Stop().size(), 2u);
  EXPECT_EQ(ReadText(root_.path() / "library" / "Mill" / "Table.stl"), "solid table");
  EXPECT_NE(ReadText(root_.path() / "library" / "Mill.mcfg").find("0x808080"), std::string::npos);
}

TEST_F(WrapperProcessTest, WithoutADisplayItFailsWithExitCodeOneAndSaysWhy) {
  if (!WrapperTestSystem::ToolkitNeedsDisplay())
    GTEST_SKIP() << "the toolkit needs no display here";
  environment_.Set("DISPLAY", nullptr);
  environment_.Set("WAYLAND_DISPLAY", nullptr);
  TestAddin addin(kPipe, "");

  EXPECT_EQ(RunWrapper({"--pipeName=\"" + std::string(kPipe) + "\""}), 1);

  EXPECT_NE(stderr_.find("Failed to initialize MFC!"), std::string::npos) << stderr_;
  EXPECT_TRUE(addin.Stop().empty()) << "nothing else happens";
  EXPECT_TRUE(std::filesystem::is_empty(PathFromUtf8(temp_)));
}

TEST_F(WrapperProcessTest, AnAddinBusyWithAnotherConnectionStillHearsOfTheWorkingFolder) {
  if (!WrapperTestSystem::HasDisplay()) GTEST_SKIP() << "the wrapper needs a display (xvfb-run)";
  TestAddin addin(kPipe, "");
  // Another connection holds the add-in while the wrapper starts and ends a moment later.
  auto other = ConnectToPipe(kPipe);
  ASSERT_TRUE(other);
  std::thread release([&other] {
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    other->Write("the other connection");
    other.reset();
  });

  const int exitCode = RunWrapper({"--pipeName=\"" + std::string(kPipe) + "\""});
  release.join();
  addin.AwaitMessages(2);

  EXPECT_EQ(exitCode, 0) << stderr_;
  EXPECT_EQ(addin.Stop(),
            (std::vector<std::string>{"the other connection", temp_ + "Rigwright" + separator_}));
  EXPECT_EQ(Record()["stlCallback"], "yes") << "the editor ran";
}

}  // namespace
}  // namespace rigwright
