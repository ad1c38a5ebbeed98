// What the message pipe does alike on every platform.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "common/pipe_protocol.h"
#include "platform/message_pipe.h"
#include "platform/testing/pipe_test.h"

namespace rigwright {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

class MessagePipeTest : public PipeTest {};

TEST_F(MessagePipeTest, MessagesKeepTheirBoundariesBothWays) {
  auto server = Listen();
  auto [connection, client] = Connect(*server);
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

TEST_F(MessagePipeTest, AMessageLongerThanTheReaderAllowsIsDetectedAndDropped) {
  auto server = Listen();
  auto [connection, client] = Connect(*server);
  ASSERT_TRUE(connection);
  // Longer than a Windows pipe's buffer: there the writes end only as the server reads.
  auto writing = std::async(std::launch::async, [&] {
    return client->Write(std::string(kMaxMessageBytes + 1, 'x')) &&
           client->Write(std::string(kMaxMessageBytes, 'y'));
  });

  std::string message;
  EXPECT_EQ(connection->Read(kMaxMessageBytes, &message), PipeReadResult::kTooLong);
  ASSERT_EQ(connection->Read(kMaxMessageBytes, &message), PipeReadResult::kMessage);
  EXPECT_EQ(message, std::string(kMaxMessageBytes, 'y')) << "the limit itself still fits";
  EXPECT_TRUE(writing.get());
}

TEST_F(MessagePipeTest, AMessageSentBeforeTheClientLeftIsStillDelivered) {
  auto server = Listen();
  {
    auto client = ConnectToPipe(pipe_);
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
  std::this_thread::sleep_for(milliseconds(50));
  server->Wake();
  ASSERT_EQ(waiting.wait_for(seconds(10)), std::future_status::ready);
  EXPECT_TRUE(waiting.get());
  EXPECT_EQ(server->Accept(), nullptr);
}

TEST_F(MessagePipeTest, AReadWithATimeLimitGivesUpOnASilentClientButTakesALateMessage) {
  auto server = Listen();
  auto [connection, client] = Connect(*server);
  ASSERT_TRUE(connection);

  std::string message = "kept";
  EXPECT_EQ(connection->ReadWithin(kMaxMessageBytes, milliseconds(20), &message),
            PipeReadResult::kTimedOut);
  EXPECT_EQ(message, "kept");
  ASSERT_TRUE(client->Write(kStlRequest));
  ASSERT_EQ(connection->ReadWithin(kMaxMessageBytes, seconds(10), &message),
            PipeReadResult::kMessage);
  EXPECT_EQ(message, kStlRequest);
  auto writing = std::async(std::launch::async,
                            [&] { return client->Write(std::string(kMaxMessageBytes + 1, 'x')); });
  EXPECT_EQ(connection->ReadWithin(kMaxMessageBytes, seconds(10), &message),
            PipeReadResult::kTooLong);
  EXPECT_TRUE(writing.get());
  EXPECT_EQ(client->ReadWithin(kStlBufferSize, milliseconds(0), &message),
            PipeReadResult::kTimedOut)
      << "a client's connection has the time limit too";
  client.reset();
  EXPECT_EQ(connection->ReadWithin(kMaxMessageBytes, seconds(10), &message),
            PipeReadResult::kClosed);
}

TEST_F(MessagePipeTest, WakeEndsAWaitingReadOfAnAcceptedConnectionAndEveryLaterOne) {
  auto server = Listen();
  auto [connection, client] = Connect(*server);
  ASSERT_TRUE(connection);
  auto waiting = std::async(std::launch::async, [&] {
    std::string message;
    return connection->ReadWithin(kMaxMessageBytes, std::chrono::minutes(1), &message);
  });
  std::this_thread::sleep_for(milliseconds(50));

  server->Wake();

  ASSERT_EQ(waiting.wait_for(seconds(10)), std::future_status::ready);
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

TEST_F(MessagePipeTest, NamesThatCannotNameAPipeAreRefused) {
  for (std::string_view name : {"OrvaneRigwrightPipe", "\\\\.\\pipe\\", "\\\\.\\pipe\\.",
                                "\\\\.\\pipe\\..", "\\\\.\\pipe\\a/b", "\\\\.\\pipe\\a\\b"}) {
    std::string error;
    EXPECT_EQ(PipeSocketPath(name, &error), "") << name;
    EXPECT_FALSE(error.empty()) << name;
    EXPECT_EQ(ListenOnPipe(name, &error), nullptr) << name;
    EXPECT_EQ(ConnectToPipe(name), nullptr) << name;
  }
}

TEST_F(MessagePipeTest, TheClientWaitsForAReplyAsLongAsTheServerTakes) {
  auto server = Listen();
  auto client = ConnectToPipe(pipe_);
  ASSERT_TRUE(client);
  ASSERT_TRUE(client->Write(kStlRequest));
  std::thread addin([&] {
    auto connection = server->Accept();
    std::string request;
    if (!connection || connection->Read(kMaxMessageBytes, &request) != PipeReadResult::kMessage) {
      return;
    }
    std::this_thread::sleep_for(milliseconds(300));  // the user is in the picker
    connection->Write("a.stl");
  });
  std::string reply;
  EXPECT_EQ(client->Read(kStlBufferSize, &reply), PipeReadResult::kMessage);
  EXPECT_EQ(reply, "a.stl");
  client.reset();  // on Windows the server keeps the connection until the client has left
  addin.join();
}

}  // namespace
}  // namespace rigwright
