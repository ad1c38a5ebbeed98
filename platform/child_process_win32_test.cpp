#include <windows.h>
// after windows.h
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "common/path_text.h"
#include "common/testing/test_folder.h"
#include "platform/child_process.h"
#include "platform/testing/peer_win32.h"
#include "platform/text_win32.h"

namespace rigwright {
namespace {

std::unique_ptr<ChildProcess> StartPeer(const std::vector<std::string>& arguments,
                                        const std::string& program = PeerProgram()) {
  std::string error;
  auto child = StartProcess(program, arguments, &error);
  EXPECT_TRUE(child) << error;
  return child;
}

// Whether `child` is seen to end within ten seconds by asking it, as the add-in does.
bool EndsWhileAsked(ChildProcess& child) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (child.IsRunning()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

TEST(ChildProcessWin32Test, RunsUntilItEndsAndKeepsItsExitCode) {
  TestFolder dir;
  const auto gate = dir.path() / "gate";
  auto child = StartPeer({"gate", gate.string(), "7"});
  ASSERT_TRUE(child);
  EXPECT_GT(child->id(), 0);
  EXPECT_TRUE(child->IsRunning());
  dir.Write("gate", "");
  EXPECT_TRUE(EndsWhileAsked(*child));
  EXPECT_EQ(child->WaitForExit(), 7);
  EXPECT_EQ(child->WaitForExit(), 7);
}

TEST(ChildProcessWin32Test, AProgramThatEndsWithTheStillActiveCodeHasEnded) {
  TestFolder dir;
  const auto gate = dir.Write("gate", "");
  auto child = StartPeer({"gate", gate.string(), std::to_string(STILL_ACTIVE)});
  ASSERT_TRUE(child);
  EXPECT_TRUE(EndsWhileAsked(*child)) << "exit code 259 was taken for a running program";
  EXPECT_EQ(child->WaitForExit(), static_cast<int>(STILL_ACTIVE));
}

// The command line the child received, from a copy of the peer at `program`; it is written to
// `out`.
std::string CommandLineSeenBy(const std::string& program, const std::string& out,
                              const std::vector<std::string>& extra) {
  std::vector<std::string> arguments = {"commandline", out};
  arguments.insert(arguments.end(), extra.begin(), extra.end());
  auto child = StartPeer(arguments, program);
  if (!child || child->WaitForExit() != 0) return "the program failed";
  return ReadText(PathFromUtf8(out));
}

TEST(ChildProcessWin32Test, TheCommandLineIsTheUnquotedPathAndEachArgumentAsItIs) {
  TestFolder dir;
  // An install folder with spaces and a letter outside ASCII.
  const std::string folder = Utf8FromPath(dir.path()) + "\\Orvane AS\\R\xC3\xBCstzeug\\";
  std::filesystem::create_directories(PathFromUtf8(folder));
  const std::string program = folder + "Rigwright Wrapper.exe";
  std::filesystem::copy_file(PathFromUtf8(PeerProgram()), PathFromUtf8(program));
  const std::vector<std::string> options = {
      "--language=\"en-US\"", "--machineDirectory=\"C:\\Users\\M\xC3\xA4x\\My Machines\\\"",
      "--defaultUnit=1", "--pipeName=\"\\\\.\\pipe\\0A1B2C3D0E0F1A2B3C4D5E6F708192A3\""};

  const std::string out = Utf8FromPath(dir.path()) + "\\line";
  const std::string line = CommandLineSeenBy(program, out, options);

  std::string expected = program + " commandline " + out;
  for (const std::string& option : options) expected += " " + option;
  EXPECT_EQ(line, expected);
}

TEST(ChildProcessWin32Test, AProgramThatCannotBeStartedIsAnErrorNamingIt) {
  std::string error;
  EXPECT_EQ(StartProcess("C:\\nonexistent\\RigwrightWrapper.exe", {}, &error), nullptr);
  EXPECT_NE(error.find("C:\\nonexistent\\RigwrightWrapper.exe"), std::string::npos) << error;
}

}  // namespace
}  // namespace rigwright
