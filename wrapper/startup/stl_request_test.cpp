#include "wrapper/startup/stl_request.h"

#include "platform/engine_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <thread>

#include "common/pipe_protocol.h"
#include "common/testing/scoped_environment.h"
#include "common/testing/test_folder.h"
#include "platform/message_pipe.h"

namespace rigwright {
namespace {

// Pipes are machine-wide on Windows, and the tests run side by side in several processes.
const std::string kPipe = [] {
  std::random_device random;
  return R"(\\.\pipe\StlRequestTest-)" + std::to_string(random());
}();

class FakeUser final : public StlRequestUser {
 public:
  std::vector<std::string> ChooseStlFiles() override {
    if (choices++ < static_cast<int>(firstChoices.size())) return firstChoices[choices - 1];
    return chosen;
  }
  void TellFilesLeftOut(int count) override { leftOut.push_back(count); }
  void TellFileRefused(const std::string& text) override { refusals.push_back(text); }

  std::vector<std::vector<std::string>> firstChoices;  // picked in the first dialogs, in turn
  std::vector<std::string> chosen;  // what the user picks in the file dialog after those
  std::vector<std::string> refusals;
  int choices = 0;                  // how often the dialog was shown
  std::vector<int> leftOut;         // every "files left out" message
};

// A one-request add-in: checks the request and answers it as `answer` says.
class StlRequestTest : public ::testing::Test {
 protected:
  StlRequestTest() { environment_.Set("XDG_RUNTIME_DIR", runtime_.path().string()); }
  ~StlRequestTest() override {
    if (addin_.joinable()) addin_.join();
  }

  void ServeOneRequest(std::function<void(PipeConnection&)> answer) {
    std::string error;
    server_ = ListenOnPipe(kPipe, &error);
    ASSERT_TRUE(server_) << error;
    addin_ = std::thread([this, answer] {
      auto connection = server_->Accept();
      std::string request;
      if (connection && connection->Read(kMaxMessageBytes, &request) == PipeReadResult::kMessage) {
        received_ = request;
        answer(*connection);
      }
    });
  }

  TestFolder runtime_;
  ScopedEnvironment environment_;
  std::unique_ptr<PipeServer> server_;
  std::thread addin_;
  std::string received_;
  FakeUser user_;
};

TEST_F(StlRequestTest, TheAddinsReplyIsTakenAsItIsAndNoDialogShows) {
  ServeOneRequest([](PipeConnection& c) { c.Write("/w/Rigwright/Base.stl@0x1a2b3c;/p/ü.stl"); });
  // In the 8-bit form the engine opens: on Linux UTF-8 as it came, on Windows the code page.
  EXPECT_EQ(RequestStlFiles(kPipe, user_),
            EngineTextOfStlReply("/w/Rigwright/Base.stl@0x1a2b3c;/p/ü.stl", SystemEngineTextForms()));
  addin_.join();
  EXPECT_EQ(received_, "Need stl path");
  EXPECT_EQ(user_.choices, 0);
}

TEST_F(StlRequestTest, AnEmptyReplyMeansNothingChosenWithoutADialog) {
  ServeOneRequest([](PipeConnection& c) { c.Write(""); });
  user_.chosen = {"/not/asked.stl"};
  EXPECT_EQ(RequestStlFiles(kPipe, user_), "");
  EXPECT_EQ(user_.choices, 0);
}

TEST_F(StlRequestTest, AReplyEndsAtItsFirstZeroByte) {
  ServeOneRequest([](PipeConnection& c) { c.Write(std::string("/a.stl\0/b.stl", 13)); });
  EXPECT_EQ(RequestStlFiles(kPipe, user_), "/a.stl");
}

TEST_F(StlRequestTest, WithoutAnAddinTheUserPicksFilesInADialog) {
  user_.chosen = {"/p/a.stl", "/p/b c.stl", "/q/d.STL"};
  EXPECT_EQ(RequestStlFiles(kPipe, user_), "/p/a.stl;/p/b c.stl;/q/d.STL");
  EXPECT_EQ(user_.choices, 1);
  user_.chosen.clear();
  EXPECT_EQ(RequestStlFiles(kPipe, user_), "") << "cancelled";
  EXPECT_TRUE(user_.leftOut.empty());
}

TEST_F(StlRequestTest, AChosenFileWhosePathHoldsTheSeparatorIsRefusedAndTheUserChoosesAgain) {
  user_.firstChoices = {{"/p/a.stl", "/p/x;y.stl"}, {"/p;q/b.stl"}};
  user_.chosen = {"/p/a.stl"};
  EXPECT_EQ(RequestStlFiles(kPipe, user_), "/p/a.stl");
  EXPECT_EQ(user_.choices, 3);
  ASSERT_EQ(user_.refusals.size(), 2u);
  EXPECT_NE(user_.refusals[0].find("/p/x;y.stl"), std::string::npos) << user_.refusals[0];
  EXPECT_NE(user_.refusals[1].find("/p;q/b.stl"), std::string::npos) << user_.refusals[1];
}

TEST_F(StlRequestTest, AnAddinThatHangsUpWithoutAnsweringSendsTheUserToTheDialog) {
  ServeOneRequest([](PipeConnection&) {});
  user_.chosen = {"/p/a.stl"};
  EXPECT_EQ(RequestStlFiles(kPipe, user_), "/p/a.stl");
  EXPECT_EQ(user_.choices, 1);
}

TEST_F(StlRequestTest, AReplyTooLongToReadSendsTheUserToTheDialog) {
  ServeOneRequest([](PipeConnection& c) { c.Write(std::string(kStlBufferSize + 1, 'a')); });
  user_.chosen = {"/p/a.stl"};
  EXPECT_EQ(RequestStlFiles(kPipe, user_), "/p/a.stl");
}

TEST_F(StlRequestTest, AReplyFillingTheWholeBufferLosesItsLastEntryAndTheUserIsTold) {
  const std::string first(kStlBufferSize - 7, 'a');
  ServeOneRequest([first](PipeConnection& c) { c.Write(first + ";/b.stl"); });  // 10240 bytes
  EXPECT_EQ(RequestStlFiles(kPipe, user_), first);
  EXPECT_EQ(user_.leftOut, std::vector<int>{1});
}

TEST_F(StlRequestTest, ADialogSelectionTooLongForTheEngineIsCutAtAWholeFile) {
  for (int i = 0; i < 2000; ++i) {
    user_.chosen.push_back("/parts/solid" + std::to_string(1000 + i) + ".stl");
  }
  const std::string reply = RequestStlFiles(kPipe, user_);
  EXPECT_LE(reply.size(), kMaxMessageBytes);
  EXPECT_TRUE(reply.ends_with(".stl"));
  const int kept = static_cast<int>(std::count(reply.begin(), reply.end(), ';')) + 1;
  EXPECT_EQ(user_.leftOut, std::vector<int>{2000 - kept});
}

TEST_F(StlRequestTest, TheWorkingFolderIsAnnouncedAsOneMessage) {
  std::string error;
  auto server = ListenOnPipe(kPipe, &error);
  ASSERT_TRUE(server) << error;
  AnnounceWorkingFolder(kPipe, "/tmp/tmp ü/Rigwright2/");
  auto connection = server->Accept();
  ASSERT_TRUE(connection);
  std::string message;
  ASSERT_EQ(connection->Read(kMaxMessageBytes, &message), PipeReadResult::kMessage);
  EXPECT_EQ(message, "/tmp/tmp ü/Rigwright2/");
  EXPECT_EQ(connection->Read(kMaxMessageBytes, &message), PipeReadResult::kClosed);
  AnnounceWorkingFolder(R"(\\.\pipe\nobody)", "/tmp/Rigwright/");  // no add-in: nothing happens
}

TEST(CopyToEngineBufferTest, TheBufferGetsTheReplyAndItsTerminatingZero) {
  char buffer[kStlBufferSize];
  std::fill(std::begin(buffer), std::end(buffer), 'x');
  CopyToEngineBuffer("/a.stl@0x000000", buffer);
  EXPECT_STREQ(buffer, "/a.stl@0x000000");
  CopyToEngineBuffer(std::string(kStlBufferSize, 'a'), buffer);
  EXPECT_EQ(std::string_view(buffer).size(), kMaxMessageBytes) << "never past the buffer";
  CopyToEngineBuffer("", buffer);
  EXPECT_STREQ(buffer, "");
}

}  // namespace
}  // namespace rigwright
