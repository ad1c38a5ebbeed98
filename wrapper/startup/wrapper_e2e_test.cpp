// Runs the real RigwrightWrapper program with a recording engine and a stand-in add-in that
// listens on the pipe, and checks what each of them sees.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <iterator>
#include <map>
#include <thread>

#include "common/pipe_protocol.h"
#include "common/testing/scoped_environment.h"
#include "common/testing/test_folder.h"
#include "platform/child_process.h"
#include "platform/message_pipe.h"

namespace rigwright {
namespace {

constexpr std::string_view kPipe = R"(\\.\pipe\0A1B2C3D0E0F1A2B3C4D5E6F708192A3)";

std::string ReadText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The add-in's end of the pipe: keeps every message and answers STL requests with `reply`.
class TestAddin {
 public:
  TestAddin(std::string_view pipeName, std::string reply) : reply_(std::move(reply)) {
    std::string error;
    server_ = ListenOnPipe(pipeName, &error);
    EXPECT_TRUE(server_) << error;
    if (server_) thread_ = std::thread([this] { Serve(); });
  }
  ~TestAddin() { Stop(); }

  // Ends listening; the messages can be read from now on.
  const std::vector<std::string>& Stop() {
    if (thread_.joinable()) {
      server_->Wake();
      thread_.join();
    }
    return messages_;
  }
  // Whether the working folder announced first existed while the editor asked for solids.
  bool folderExistedDuringRequest() const { return folderExistedDuringRequest_; }

 private:
  void Serve() {
    while (auto connection = server_->Accept()) {
      std::string message;
      if (connection->Read(kMaxMessageBytes, &message) != PipeReadResult::kMessage) continue;
      messages_.push_back(message);
      if (message != kStlRequest) continue;
      folderExistedDuringRequest_ = std::filesystem::is_directory(messages_.front());
      connection->Write(reply_);
    }
  }

  std::string reply_;
  std::unique_ptr<PipeServer> server_;
  std::thread thread_;
  std::vector<std::string> messages_;
  bool folderExistedDuringRequest_ = false;
};

class WrapperProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* folder : {"runtime", "appdata", "config", "no-engine", "tmp ü"}) {
      std::filesystem::create_directory(root_.path() / folder);
    }
    ::chmod((root_.path() / "runtime").c_str(), 0700);
    temp_ = root_.text() + "tmp ü/";
    environment_.Set("XDG_RUNTIME_DIR", root_.text() + "runtime");
    environment_.Set("APPDATA", root_.text() + "appdata");
    environment_.Set("TMPDIR", temp_);
    environment_.Set("XDG_CONFIG_DIRS", root_.text() + "config");
    environment_.Set("RIGWRIGHT_TEST_ENGINE_RECORD", record_);
    environment_.Set("RIGWRIGHT_TEST_ENGINE_STL_REQUESTS", "0");
    UseEngineFolder(RIGWRIGHT_RECORDING_ENGINE_DIR);
  }

  void UseEngineFolder(const std::string& folder) {
    root_.Write("config/Orvane/Orvane Rigwright for Mastercam.conf", "Directory=" + folder + "/\n");
  }

  // Runs the wrapper to its end and returns its exit code; its stderr lands in stderr_.
  int RunWrapper(const std::vector<std::string>& options) {
    const std::string errors = root_.text() + "stderr";
    std::vector<std::string> arguments = {
        "-c", "err=$1; shift; exec timeout -k 5 120 \"$0\" \"$@\" 2>\"$err\"",
        RIGWRIGHT_DEV_INSTALL_DIR "/RigwrightWrapper", errors};
    arguments.insert(arguments.end(), options.begin(), options.end());
    std::string error;
    auto wrapper = StartProcess("/bin/sh", arguments, &error);
    if (!wrapper) {
      ADD_FAILURE() << error;
      return -1;
    }
    const int exitCode = wrapper->WaitForExit();
    stderr_ = ReadText(errors);
    return exitCode;
  }

  // What the recording engine was given, key by key.
  std::map<std::string, std::string> Record() const {
    std::map<std::string, std::string> values;
    std::ifstream in(record_);
    for (std::string line; std::getline(in, line);) {
      const std::size_t equals = line.find('=');
      values[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return values;
  }

  TestFolder root_;
  ScopedEnvironment environment_;
  std::string temp_;
  std::string record_ = root_.text() + "record";
  std::string stderr_;
};

TEST_F(WrapperProcessTest, AnnouncesItsFolderRunsTheEngineServesStlRequestsAndCleansUp) {
  if (!std::getenv("DISPLAY")) GTEST_SKIP() << "the wrapper needs a display (xvfb-run)";
  std::filesystem::create_directory(temp_ + "Rigwright");
  std::filesystem::create_directory(temp_ + "Rigwright1");
  environment_.Set("RIGWRIGHT_TEST_ENGINE_STL_REQUESTS", "1");
  const std::string reply = temp_ + "Rigwright2/Base.stl@0x102030;/parts/ö.stl";
  TestAddin addin(kPipe, reply);

  EXPECT_EQ(RunWrapper({"--language=\"de-DE\"", "--machineDirectory=\"/home/u/M y/\"",
                        "--defaultUnit=1", "--pipeName=\"" + std::string(kPipe) + "\""}),
            0)
      << stderr_;

  const std::vector<std::string> messages = addin.Stop();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0], temp_ + "Rigwright2/") << "the first free name, in UTF-8, ending in /";
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
  EXPECT_EQ(record["reply"], reply);

  EXPECT_FALSE(std::filesystem::exists(temp_ + "Rigwright2"));
  EXPECT_TRUE(std::filesystem::is_directory(temp_ + "Rigwright1")) << "not ours to delete";
  EXPECT_EQ(stderr_, "");
}

TEST_F(WrapperProcessTest, WithoutOptionsItUsesTheDefaultsAndTheFallbackMachineFolder) {
  if (!std::getenv("DISPLAY")) GTEST_SKIP() << "the wrapper needs a display (xvfb-run)";
  root_.Write("appdata/Orvane 2026/Quennet/MachineCfg/readme.txt", "");
  root_.Write("appdata/Orvane 2025/Quennet/MachineCfg/A.MCFG", "{}");
  TestAddin addin(kDefaultPipeName, "");

  EXPECT_EQ(RunWrapper({}), 0) << stderr_;

  EXPECT_EQ(addin.Stop(), std::vector<std::string>{temp_ + "Rigwright/"});
  auto record = Record();
  EXPECT_EQ(record["folder"], root_.text() + "appdata/Orvane 2025/Quennet/MachineCfg/");
  EXPECT_EQ(record["language"], "en-US");
  EXPECT_EQ(record["unit"], "0");
}

TEST_F(WrapperProcessTest, WithoutAnEngineItEndsQuietlyWithExitCodeZero) {
  if (!std::getenv("DISPLAY")) GTEST_SKIP() << "the wrapper needs a display (xvfb-run)";
  UseEngineFolder(root_.text() + "no-engine");
  TestAddin addin(kPipe, "");

  EXPECT_EQ(RunWrapper({"--pipeName=\"" + std::string(kPipe) + "\""}), 0);

  EXPECT_EQ(stderr_, "");
  EXPECT_FALSE(std::filesystem::exists(record_)) << "no engine ran";
  EXPECT_EQ(addin.Stop(), std::vector<std::string>{temp_ + "Rigwright/"});
  EXPECT_FALSE(std::filesystem::exists(temp_ + "Rigwright"));
}

TEST_F(WrapperProcessTest, WithoutAWorkingFolderItSaysSoAndStillRunsTheEditor) {
  if (!std::getenv("DISPLAY")) GTEST_SKIP() << "the wrapper needs a display (xvfb-run)";
  environment_.Set("TMPDIR", "/proc");
  environment_.Set("RIGWRIGHT_TEST_ENGINE_STL_REQUESTS", "1");
  TestAddin addin(kPipe, "/parts/a.stl");

  EXPECT_EQ(RunWrapper({"--pipeName=\"" + std::string(kPipe) + "\""}), 0);

  EXPECT_NE(stderr_.find("working folder /proc/Rigwright"), std::string::npos) << stderr_;
  EXPECT_EQ(addin.Stop(), std::vector<std::string>{"Need stl path"}) << "no folder message";
  EXPECT_EQ(Record()["reply"], "/parts/a.stl");
}

TEST_F(WrapperProcessTest, TheStagedEditorAddsASolidFromTheAddinToANewMachine) {
  if (!std::getenv("DISPLAY")) GTEST_SKIP() << "the wrapper needs a display (xvfb-run)";
  UseEngineFolder(RIGWRIGHT_DEV_INSTALL_DIR);
  const auto script = root_.Write("script", "new Mill\nadd-solid\n");
  environment_.Set("MAVRILO_SCRIPT", script.string());
  const auto solid = root_.Write("parts/Table.stl", "solid table");
  TestAddin addin(kPipe, solid.string() + "@0x808080");
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
  environment_.Set("DISPLAY", nullptr);
  environment_.Set("WAYLAND_DISPLAY", nullptr);
  TestAddin addin(kPipe, "");

  EXPECT_EQ(RunWrapper({"--pipeName=\"" + std::string(kPipe) + "\""}), 1);

  EXPECT_NE(stderr_.find("Failed to initialize MFC!"), std::string::npos) << stderr_;
  EXPECT_TRUE(addin.Stop().empty()) << "nothing else happens";
  EXPECT_TRUE(std::filesystem::is_empty(temp_));
}

}  // namespace
}  // namespace rigwright
