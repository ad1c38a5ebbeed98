// Runs the launch against a test install folder whose "wrapper" records the arguments it was
// started with.
#include "addin/editor_launch.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <mutex>
#include <regex>
#include <system_error>

#include "addin/testing/test_install.h"
#include "common/pipe_protocol.h"
#include "common/testing/captured_support_log.h"
#include "platform/child_process.h"
#include "platform/native_paths.h"

namespace rigwright {
namespace {

using testing::WaitFor;
using StartList = std::vector<std::vector<std::string>>;

class FixedReplyHandler final : public StlRequestHandler {
 public:
  explicit FixedReplyHandler(std::string reply) : reply_(std::move(reply)) {}
  std::string RequestStlPath() override { return reply_; }
  void SetStlFolder(const std::string&) override {}
  void CancelRequest() override {}

 private:
  const std::string reply_;
};

class FakeLaunchHost final : public LaunchHost {
 public:
  bool IsMetric() override { return metric; }
  std::shared_ptr<StlRequestHandler> MakeHandler() override {
    auto handler = std::make_shared<FixedReplyHandler>(reply);
    handlers.push_back(handler);
    return handler;
  }
  void Tell(const std::string& text, MessageIcon icon) override {
    std::lock_guard lock(toldMutex_);
    told_.emplace_back(text, icon);
  }
  // TellLater comes from the pipe link's thread.
  void TellLater(const std::string& text, MessageIcon icon) override { Tell(text, icon); }
  std::vector<std::pair<std::string, MessageIcon>> Told() {
    std::lock_guard lock(toldMutex_);
    return told_;
  }

  bool metric = true;
  std::string reply;  // what every handler answers
  std::vector<std::weak_ptr<StlRequestHandler>> handlers;

 private:
  std::mutex toldMutex_;
  std::vector<std::pair<std::string, MessageIcon>> told_;
};

class EditorLaunchTest : public ::testing::Test {
 protected:
  std::vector<std::string> Expected(const std::string& machineFolder, const std::string& unit) {
    return install_.Expected(machineFolder, unit, launcher_.link()->pipeName());
  }

  testing::TestInstall install_;
  const std::string& defaultFolder_ = install_.defaultFolder;
  FakeLaunchHost host_;
  EditorLauncher launcher_{host_};
};

TEST(AddinVersionTest, TakesTheHostsVersionFrom2400To2499Only) {
  EXPECT_EQ(AddinVersionFor(2399), 2400);
  EXPECT_EQ(AddinVersionFor(2400), 2400);
  EXPECT_EQ(AddinVersionFor(2450), 2450);
  EXPECT_EQ(AddinVersionFor(2499), 2499);
  EXPECT_EQ(AddinVersionFor(2500), 2400);
  EXPECT_EQ(AddinVersionFor(-1), 2400);
  EXPECT_EQ(AddinVersionFor(INT32_MIN), 2400);
  EXPECT_EQ(AddinVersionFor(INT32_MAX), 2400);
}

TEST_F(EditorLaunchTest, InMetricUnitsTheWrapperStartsWithTheDescribedArguments) {
  launcher_.LaunchEditor();

  ASSERT_TRUE(launcher_.link());
  EXPECT_TRUE(launcher_.link()->serving()) << launcher_.link()->pipeError();
  EXPECT_TRUE(
      std::regex_match(launcher_.link()->pipeName(), std::regex(R"(\\\\\.\\pipe\\[0-9A-F]{32})")));
  EXPECT_EQ(install_.Starts(1), StartList{Expected(defaultFolder_, "0")}) << "path stands unquoted";
  EXPECT_TRUE(std::filesystem::exists(PathFromUtf8(defaultFolder_ + "Mill.mcfg"))) << "seeded";
  EXPECT_TRUE(std::filesystem::exists(PathFromUtf8(defaultFolder_ + "Mill/config.json")));
  EXPECT_TRUE(host_.Told().empty());
  EXPECT_EQ(host_.handlers.size(), 1u);
}

TEST_F(EditorLaunchTest, InInchUnitsTheUnitIsOne) {
  host_.metric = false;

  launcher_.LaunchEditor();

  EXPECT_EQ(install_.Starts(1), StartList{Expected(defaultFolder_, "1")});
}

TEST_F(EditorLaunchTest, WhileTheWrapperRunsNothingStartsAndAfterItTheFirstValuesAreReused) {
  launcher_.LaunchEditor();
  ASSERT_EQ(install_.Starts(1).size(), 1u);
  ChildProcess* first = launcher_.link()->wrapper();

  launcher_.LaunchEditor();
  EXPECT_EQ(launcher_.link()->wrapper(), first);
  EXPECT_EQ(host_.handlers.size(), 1u) << "no start, no new handler";

  // The machine folder found now would be a suite folder; the captured one is used all the same.
  install_.root.Write("appdata/Orvane 2026/Quennet/MachineCfg/A.mcfg", "{}");
  install_.ReleaseWrappers();
  ASSERT_TRUE(WaitFor([&] { return !launcher_.WrapperRunning(); }));
  launcher_.LaunchEditor();

  const auto starts = install_.Starts(2);
  ASSERT_EQ(starts.size(), 2u);
  EXPECT_EQ(starts[0], Expected(defaultFolder_, "0"));
  EXPECT_EQ(starts[1], starts[0]) << "same pipe name and machine folder";
  EXPECT_EQ(host_.handlers.size(), 2u);
  EXPECT_TRUE(host_.handlers[0].expired()) << "the first wrapper's handler is released";
}

enum class SeedingProblem { kNoGenericMachines, kFolderNamedLikeAMachineFile, kNoKelmoraFolder };

class SeedingProblemTest : public EditorLaunchTest,
                           public ::testing::WithParamInterface<SeedingProblem> {};

TEST_P(SeedingProblemTest, IsToldOnceWithItsCauseAndTheEditorStartsAllTheSame) {
  const std::string generic = install_.install + "Generic Machines";
  const std::string kelmora = NativeSeparators(install_.root.text() + "appdata/Kelmora");
  std::vector<std::string> cause;  // what the message must say besides the library's path
  switch (GetParam()) {
    case SeedingProblem::kNoGenericMachines:
      std::filesystem::remove_all(PathFromUtf8(generic));
      cause = {generic, std::make_error_code(std::errc::no_such_file_or_directory).message()};
      break;
    case SeedingProblem::kFolderNamedLikeAMachineFile:
      std::filesystem::create_directories(PathFromUtf8(generic + "/x.mcfg"));
      cause = {generic + NativeSeparators("/x.mcfg") + ": it is a folder"};
      break;
    case SeedingProblem::kNoKelmoraFolder:
      std::filesystem::remove_all(PathFromUtf8(kelmora));
      cause = {"Kelmora's folder " + kelmora + " is missing",
               "Is Kelmora installed for this user?"};
      break;
  }

  CapturedSupportLog log;
  launcher_.LaunchEditor();
  launcher_.LaunchEditor();

  EXPECT_EQ(install_.Starts(1), StartList{Expected(defaultFolder_, "0")});
  EXPECT_THAT(log.Text(),
              ::testing::HasSubstr("warning: The generic machines could not be copied"));
  const auto told = host_.Told();
  ASSERT_EQ(told.size(), 1u);
  const auto& [text, icon] = told[0];
  EXPECT_EQ(icon, MessageIcon::kNone) << "a failure";
  EXPECT_NE(text.find(defaultFolder_), std::string::npos) << text;
  for (const std::string& part : cause) EXPECT_NE(text.find(part), std::string::npos) << text;
}

std::string SeedingProblemName(const ::testing::TestParamInfo<SeedingProblem>& info) {
  constexpr const char* kNames[] = {"NoGenericMachines", "FolderNamedLikeAMachineFile",
                                    "NoKelmoraFolder"};
  return kNames[static_cast<int>(info.param)];
}

INSTANTIATE_TEST_SUITE_P(Seeding, SeedingProblemTest,
                         ::testing::Values(SeedingProblem::kNoGenericMachines,
                                           SeedingProblem::kFolderNamedLikeAMachineFile,
                                           SeedingProblem::kNoKelmoraFolder),
                         SeedingProblemName);

TEST_F(EditorLaunchTest, FilesLeftOutOfATooLongReplyAreToldAsAFailure) {
  std::vector<std::string> entries(30, "/w/" + std::string(396, 'a') + ".stl");
  host_.reply = JoinStlEntries(entries);
  launcher_.LaunchEditor();

  const auto connection = ConnectToPipe(launcher_.link()->pipeName());
  ASSERT_TRUE(connection);
  ASSERT_TRUE(connection->Write(kStlRequest));
  std::string reply;
  ASSERT_EQ(connection->Read(kStlBufferSize, &reply), PipeReadResult::kMessage);

  ASSERT_TRUE(WaitFor([&] { return !host_.Told().empty(); }));
  const auto told = host_.Told();
  const auto& [text, icon] = told[0];
  EXPECT_NE(text.find("5 files were left out"), std::string::npos) << text;
  EXPECT_EQ(icon, MessageIcon::kNone);
}

TEST_F(EditorLaunchTest, ASuiteFolderWithMachinesIsUsedInPlaceWithoutSeeding) {
  install_.root.Write("appdata/Orvane 2025/Quennet/MachineCfg/Lathe.mcfg", "{}");

  launcher_.LaunchEditor();

  const std::string suite =
      NativeSeparators(install_.root.text() + "appdata/Orvane 2025/Quennet/MachineCfg/");
  EXPECT_EQ(install_.Starts(1), StartList{Expected(suite, "0")});
  EXPECT_FALSE(std::filesystem::exists(PathFromUtf8(suite + "Mill.mcfg")));
}

TEST_F(EditorLaunchTest, AWrapperThatCannotStartIsTriedAgainAtTheNextCommand) {
  std::filesystem::remove(PathFromUtf8(install_.wrapperPath));
  CapturedSupportLog log;

  launcher_.LaunchEditor();
  EXPECT_FALSE(launcher_.link()->wrapper());
  EXPECT_TRUE(host_.Told().empty()) << "the start fails silently";
  // Only support hears of it, with the launch values and what the system said.
  std::string systemSaid;
  ASSERT_FALSE(StartProcess(install_.wrapperPath, {}, &systemSaid));
  for (const std::string& part :
       {install_.install, defaultFolder_, launcher_.link()->pipeName(),
        "error: the wrapper " + install_.wrapperPath + " cannot be started: " + systemSaid}) {
    EXPECT_THAT(log.Text(), ::testing::HasSubstr(part));
  }
  EXPECT_EQ(host_.handlers.size(), 1u) << "the handler is replaced all the same";

  install_.PlaceWrapper();
  launcher_.LaunchEditor();
  EXPECT_EQ(install_.Starts(1), StartList{Expected(defaultFolder_, "0")});
}

}  // namespace
}  // namespace rigwright
