#include "platform/child_process.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "common/testing/scoped_environment.h"
#include "common/testing/test_folder.h"
#include "platform/message_pipe.h"

namespace rigwright {
namespace {

std::string ReadText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::unique_ptr<ChildProcess> Shell(const std::string& script,
                                    std::vector<std::string> extra = {}) {
  std::vector<std::string> arguments = {"-c", script, "sh"};
  arguments.insert(arguments.end(), extra.begin(), extra.end());
  std::string error;
  auto child = StartProcess("/bin/sh", arguments, &error);
  EXPECT_TRUE(child) << error;
  return child;
}

TEST(ChildProcessTest, RunsUntilItEndsAndKeepsItsExitCode) {
  TestFolder dir;
  const std::string gate = dir.text() + "gate";
  auto child = Shell("while [ ! -e \"$1\" ]; do sleep 0.02; done; exit 7", {gate});
  ASSERT_TRUE(child);
  EXPECT_GT(child->id(), 0);
  EXPECT_TRUE(child->IsRunning());
  dir.Write("gate", "");
  EXPECT_EQ(child->WaitForExit(), 7);
  EXPECT_FALSE(child->IsRunning());
  EXPECT_EQ(child->WaitForExit(), 7);
}

TEST(ChildProcessTest, EachArgumentArrivesAsItIsQuotesIncluded) {
  TestFolder dir;
  const std::string out = dir.text() + "args";
  auto child = Shell("out=$1; shift 2; printf '%s|' \"$@\" > \"$out\"",
                     {out, "skipped", "--machineDirectory=\"/home/u/M y/\"", ""});
  ASSERT_TRUE(child);
  EXPECT_EQ(child->WaitForExit(), 0);
  EXPECT_EQ(ReadText(out), "--machineDirectory=\"/home/u/M y/\"||");
}

TEST(ChildProcessTest, AProgramThatCannotBeStartedIsAnErrorNamingIt) {
  std::string error;
  EXPECT_EQ(StartProcess("/nonexistent/RigwrightWrapper", {}, &error), nullptr);
  EXPECT_NE(error.find("/nonexistent/RigwrightWrapper"), std::string::npos) << error;
}

// Descriptors the child sees; the test runner may hand down some of its own, which is why the
// test compares two children rather than expecting a fixed list.
std::string ChildDescriptors(const TestFolder& dir) {
  const std::string out = dir.text() + "fds";
  auto child = Shell("ls /proc/self/fd > \"$1\"", {out});
  EXPECT_TRUE(child && child->WaitForExit() == 0);
  return ReadText(out);
}

TEST(ChildProcessTest, TheChildInheritsNoDescriptorOfOurs) {
  TestFolder runtime, dir;
  ScopedEnvironment environment;
  environment.Set("XDG_RUNTIME_DIR", runtime.path().string());
  const std::string before = ChildDescriptors(dir);

  std::string error;
  auto server = ListenOnPipe("\\\\.\\pipe\\fds", &error);
  ASSERT_TRUE(server) << error;
  auto client = ConnectToPipe("\\\\.\\pipe\\fds");
  ASSERT_TRUE(client);
  auto connection = server->Accept();
  ASSERT_TRUE(connection);

  EXPECT_EQ(ChildDescriptors(dir), before);
}

}  // namespace
}  // namespace rigwright
