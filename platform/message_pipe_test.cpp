#include "platform/message_pipe.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <future>
#include <thread>

#include "common/pipe_protocol.h"
#include "common/testing/scoped_environment.h"
#include "common/testing/test_folder.h"

namespace rigwright {
namespace {

constexpr std::string_view kPipe = "\\\\.\\pipe\\0A1B2C3D0E0F1A2B3C4D5E6F708192A3";

// Every test gets its own private runtime folder, so pipes of other tests never meet.
class MessagePipeTest : public ::testing::Test {
 protected:
  MessagePipeTest() { environment_.Set("XDG_RUNTIME_DIR", runtime_.path().string()); }

  std::unique_ptr<PipeServer> Listen(std::string_view name = kPipe) {
    std::string error;
    auto server = ListenOnPipe(name, &error);
    EXPECT_TRUE(server) << error;
    return server;
  }

  // A client connected to `server`, and the server's end of that connection.
  struct Connected {
    std::unique_ptr<PipeConnection> client;
    std::unique_ptr<PipeConnection> accepted;
  };
  static Connected Connect(PipeServer& server) {
    Connected pair{ConnectToPipe(kPipe), nullptr};
    EXPECT_TRUE(pair.client);
    if (pair.client) pair.accepted = server.Accept();
    EXPECT_TRUE(pair.accepted);
    return pair;
  }

  TestFolder runtime_;
  ScopedEnvironment environment_;
};

TEST_F(MessagePipeTest, MessagesKeepTheirBoundariesBothWays) {
  auto server = Listen();
  auto client = ConnectToPipe(kPipe);
  ASSERT_TRUE(client);
  auto connection = server->Accept();
  ASSERT_TRUE(connection);

  ASSERT_TRUE(client->Write(kStlRequest));
  ASSERT_TRUE(client->Write("second"));
  std::string message;
  ASSERT_EQ(connection->Read(kMaxMessageBytes, &message), PipeReadResult::kMessage);
  EXPECT_EQ(message, kStlRequest);
  ASSERT_EQ(connection->Read(kMaxMessageBytes, &message), PipeReadResult::kMessage);
  EXPECT_EQ(message, "second");

  ASSERT_TRUE(connection->Write("a.stl@0x102030;b.stl"));
  ASSERT_EQ(client->Read(kStlBufferSize, &message), PipeReadResult::kMessage);
  EXPECT_EQ(message, "a.stl@0x102030;b.stl");
}

TEST_F(MessagePipeTest, AnEmptyMessageIsToldFromAClosedConnection) {
  auto server = Listen();
  auto client = ConnectToPipe(kPipe);
  ASSERT_TRUE(client);
  auto connection = server->Accept();
  ASSERT_TRUE(connection);
  ASSERT_TRUE(connection->Write(""));
  connection.reset();

  std::string message = "stale";
  EXPECT_EQ(client->Read(kStlBufferSize, &message), PipeReadResult::kMessage);
  EXPECT_EQ(message, "");
  EXPECT_EQ(client->Read(kStlBufferSize, &message), PipeReadResult::kClosed);
  EXPECT_FALSE(client->Write(kStlRequest)) << "nobody is left to read it";
}

TEST_F(MessagePipeTest, AMessageLongerThanTheReaderAllowsIsDetectedAndDropped) {
  auto server = Listen();
  auto client = ConnectToPipe(kPipe);
  ASSERT_TRUE(client);
  auto connection = server->Accept();
  ASSERT_TRUE(connection);
  ASSERT_TRUE(client->Write(std::string(kMaxMessageBytes + 1, 'x')));
  ASSERT_TRUE(client->Write(std::string(kMaxMessageBytes, 'y')));

  std::string message;
  EXPECT_EQ(connection->Read(kMaxMessageBytes, &message), PipeReadResult::kTooLong);
  ASSERT_EQ(connection->Read(kMaxMessageBytes, &message), PipeReadResult::kMessage);
  EXPECT_EQ(message, std::string(kMaxMessageBytes, 'y')) << "the limit itself still fits";
}

TEST_F(MessagePipeTest, AMessageSentBeforeTheClientLeftIsStillDelivered) {
  auto server = Listen();
  {
    auto client = ConnectToPipe(kPipe);
    ASSERT_TRUE(client);
    ASSERT_TRUE(client->Write("/tmp/Rigwright/"));
  }
  auto connection = server->Accept();
  ASSERT_TRUE(connection);
  std::string message;
  ASSERT_EQ(connection->Read(kMaxMessageBytes, &message), PipeReadResult::kMessage);
  EXPECT_EQ(message, "/tmp/Rigwright/");
  EXPECT_EQ(connection->Read(kMaxMessageBytes, &message), PipeReadResult::kClosed);
}

TEST_F(MessagePipeTest, WakeEndsAWaitingAcceptAndEveryLaterOne) {
  auto server = Listen();
  auto waiting = std::async(std::launch::async, [&] { return server->Accept() == nullptr; });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  server->Wake();
  ASSERT_EQ(waiting.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_TRUE(waiting.get());
  EXPECT_EQ(server->Accept(), nullptr);
}

TEST_F(MessagePipeTest, AReadWithATimeLimitGivesUpOnASilentClientButTakesALateMessage) {
  auto server = Listen();
  auto [client, connection] = Connect(*server);
  ASSERT_TRUE(connection);

  std::string message = "kept";
  EXPECT_EQ(connection->ReadWithin(kMaxMessageBytes, std::chrono::milliseconds(20), &message),
            PipeReadResult::kTimedOut);
  EXPECT_EQ(message, "kept");
  ASSERT_TRUE(client->Write(kStlRequest));
  ASSERT_EQ(connection->ReadWithin(kMaxMessageBytes, std::chrono::seconds(10), &message),
            PipeReadResult::kMessage);
  EXPECT_EQ(message, kStlRequest);
  ASSERT_TRUE(client->Write(std::string(kMaxMessageBytes + 1, 'x')));
  EXPECT_EQ(connection->ReadWithin(kMaxMessageBytes, std::chrono::seconds(10), &message),
            PipeReadResult::kTooLong);
  EXPECT_EQ(client->ReadWithin(kStlBufferSize, std::chrono::milliseconds(0), &message),
            PipeReadResult::kTimedOut)
      << "a client's connection has the time limit too";
  client.reset();
  EXPECT_EQ(connection->ReadWithin(kMaxMessageBytes, std::chrono::seconds(10), &message),
            PipeReadResult::kClosed);
}

TEST_F(MessagePipeTest, WakeEndsAWaitingReadOfAnAcceptedConnectionAndEveryLaterOne) {
  auto server = Listen();
  auto [client, connection] = Connect(*server);
  ASSERT_TRUE(connection);
  auto waiting = std::async(std::launch::async, [&] {
    std::string message;
    return connection->ReadWithin(kMaxMessageBytes, std::chrono::minutes(1), &message);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));

  server->Wake();

  ASSERT_EQ(waiting.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_EQ(waiting.get(), PipeReadResult::kWoken);
  ASSERT_TRUE(client->Write(kStlRequest));
  std::string message;
  EXPECT_EQ(connection->ReadWithin(kMaxMessageBytes, std::chrono::minutes(1), &message),
            PipeReadResult::kWoken);
  server.reset();
  EXPECT_EQ(connection->ReadWithin(kMaxMessageBytes, std::chrono::minutes(1), &message),
            PipeReadResult::kWoken)
      << "the connection may outlive its server";
}

TEST_F(MessagePipeTest, OneServerPerNameAndItsSocketGoesWithIt) {
  auto first = Listen();
  std::string error;
  EXPECT_EQ(ListenOnPipe(kPipe, &error), nullptr);
  EXPECT_NE(error.find("already listens"), std::string::npos) << error;
  EXPECT_TRUE(ConnectToPipe(kPipe)) << "the first server was not disturbed";

  const std::string socket = PipeSocketPath(kPipe, &error);
  first.reset();
  EXPECT_FALSE(std::filesystem::exists(socket));
  EXPECT_EQ(ConnectToPipe(kPipe), nullptr);
}

TEST_F(MessagePipeTest, ASocketLeftByAnEndedServerIsReplaced) {
  std::string error;
  const std::string socket = PipeSocketPath(kPipe, &error);
  {
    auto crashed = Listen();
    std::filesystem::rename(socket, socket + ".moved");
  }
  std::filesystem::rename(socket + ".moved", socket);  // a dead socket file in the way
  auto server = Listen();
  EXPECT_TRUE(server);
  EXPECT_TRUE(ConnectToPipe(kPipe));
}

TEST_F(MessagePipeTest, NamesThatCannotNameASocketAreRefused) {
  for (std::string_view name : {"OrvaneRigwrightPipe", "\\\\.\\pipe\\", "\\\\.\\pipe\\.",
                                "\\\\.\\pipe\\..", "\\\\.\\pipe\\a/b", "\\\\.\\pipe\\a\\b"}) {
    std::string error;
    EXPECT_EQ(PipeSocketPath(name, &error), "") << name;
    EXPECT_FALSE(error.empty()) << name;
    EXPECT_EQ(ListenOnPipe(name, &error), nullptr) << name;
    EXPECT_EQ(ConnectToPipe(name), nullptr) << name;
  }
  std::string error;
  EXPECT_EQ(PipeSocketPath(std::string(kPipeNamePrefix) + std::string(200, 'x'), &error), "");
  EXPECT_EQ(PipeSocketPath(kPipe, &error),
            runtime_.text() + "rigwright/" + std::string(kPipe.substr(kPipeNamePrefix.size())));
}

TEST_F(MessagePipeTest, AFolderOthersCanEnterMakesThePipeUnusable) {
  auto server = Listen();
  const std::string folder = runtime_.text() + "rigwright";
  ASSERT_EQ(::chmod(folder.c_str(), 0770), 0);
  EXPECT_EQ(ConnectToPipe(kPipe), nullptr) << "the client must not trust the socket";
  std::string error;
  EXPECT_EQ(ListenOnPipe("\\\\.\\pipe\\other", &error), nullptr);
  EXPECT_NE(error.find(folder), std::string::npos) << error;

  ASSERT_EQ(::chmod(folder.c_str(), 0700), 0);
  EXPECT_TRUE(ConnectToPipe(kPipe));
}

TEST_F(MessagePipeTest, WithoutARuntimeFolderTheTemporaryFolderHoldsAPerUserFolder) {
  TestFolder temp;
  environment_.Set("XDG_RUNTIME_DIR", nullptr);
  environment_.Set("TMPDIR", temp.path().string());
  auto server = Listen();
  ASSERT_TRUE(server);
  const auto folder = temp.path() / ("rigwright-" + std::to_string(::getuid()));
  EXPECT_EQ(std::filesystem::status(folder).permissions() & std::filesystem::perms::all,
            std::filesystem::perms::owner_all);
  EXPECT_TRUE(ConnectToPipe(kPipe));
}

}  // namespace
}  // namespace rigwright
