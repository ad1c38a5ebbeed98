// Test support for the tests that run the real RigwrightWrapper program with a recording engine
// and a stand-in add-in that listens on the pipe.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <iterator>
#include <map>
#include <thread>

#include "common/pipe_protocol.h"
#include "common/testing/scoped_environment.h"
#include "common/testing/test_folder.h"
#include "platform/log_file.h"
#include "platform/message_pipe.h"
#include "wrapper/startup/testing/wrapper_test_system.h"

namespace rigwright {

inline constexpr std::string_view kTestPipe = R"(\\.\pipe\0A1B2C3D0E0F1A2B3C4D5E6F708192A3)";

inline std::string ReadText(const std::filesystem::path& path) {
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
  // Waits up to ten seconds until `count` messages have arrived; a client may have written and
  // gone while the add-in was still busy with another connection.
  void AwaitMessages(std::size_t count) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (received_ < count && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  // Whether the working folder announced first existed while the editor asked for solids.
  bool folderExistedDuringRequest() const { return folderExistedDuringRequest_; }

 private:
  void Serve() {
    while (auto connection = server_->Accept()) {
      std::string message;
      if (connection->Read(kMaxMessageBytes, &message) != PipeReadResult::kMessage) continue;
      messages_.push_back(message);
      ++received_;
      if (message != kStlRequest) continue;
      folderExistedDuringRequest_ = std::filesystem::is_directory(PathFromUtf8(messages_.front()));
      connection->Write(reply_);
    }
  }

  std::string reply_;
  std::unique_ptr<PipeServer> server_;
  std::thread thread_;
  std::vector<std::string> messages_;
  std::atomic<std::size_t> received_{0};  // messages_.size(), for other threads
  bool folderExistedDuringRequest_ = false;
};

class WrapperProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* folder : {"appdata", "no-engine", "tmp ü"}) {
      std::filesystem::create_directory(root_.path() / PathFromUtf8(folder));
    }
    temp_ = Utf8FromPath((root_.path() / PathFromUtf8("tmp ü")).make_preferred()) + separator_;
    system_.SetTemporaryFolder(temp_);
    environment_.Set("APPDATA", root_.text() + "appdata");
    // The wrapper's support log goes there, except on Windows, where the system names its place.
    environment_.Set("XDG_STATE_HOME", root_.text() + "state");
    environment_.Set("RIGWRIGHT_TEST_ENGINE_RECORD", record_);
    environment_.Set("RIGWRIGHT_TEST_ENGINE_STL_REQUESTS", "0");
    UseEngineFolder(WrapperTestSystem::SystemPath(RIGWRIGHT_RECORDING_ENGINE_DIR));
  }

  void UseEngineFolder(const std::string& folder) { system_.SetInstallFolder(folder + separator_); }

  // Runs the wrapper to its end and returns its exit code; its stderr lands in stderr_.
  int RunWrapper(const std::vector<std::string>& options) {
    return system_.RunWrapper(options, &stderr_);
  }

  // This user's support log, which on Windows other tests write to as well.
  static std::string SupportLog() { return ReadText(SupportLogFolder() / "rigwright.log"); }

  // What the recording engine was given, key by key.
  std::map<std::string, std::string> Record() const {
    std::map<std::string, std::string> values;
    std::ifstream in(PathFromUtf8(record_));
    for (std::string line; std::getline(in, line);) {
      const std::size_t equals = line.find('=');
      values[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return values;
  }

  TestFolder root_;
  ScopedEnvironment environment_;
  WrapperTestSystem system_{root_, environment_};
  const char separator_ = WrapperTestSystem::Separator();
  std::string temp_;  // the wrapper's temporary folder, ending in the system's separator
  std::string record_ = root_.text() + "record";
  std::string stderr_;
};

}  // namespace rigwright
