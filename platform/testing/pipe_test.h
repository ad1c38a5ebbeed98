// Test support: a fixture with a pipe of the test's own (see pipe_test_place.h), a server on it
// and connected pairs.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/message_pipe.h"
#include "platform/testing/pipe_test_place.h"

namespace rigwright {

class PipeTest : public ::testing::Test {
 protected:
  std::unique_ptr<PipeServer> Listen() {
    std::string error;
    auto server = ListenOnPipe(pipe_, &error);
    EXPECT_TRUE(server) << error;
    return server;
  }

  // The server's end of a connection, and the client connected to `server`. The client goes
  // first: on Windows a server's end that wrote waits for its client to leave.
  struct Connected {
    std::unique_ptr<PipeConnection> accepted;
    std::unique_ptr<PipeConnection> client;
  };
  Connected Connect(PipeServer& server) {
    Connected pair{nullptr, ConnectToPipe(pipe_)};
    EXPECT_TRUE(pair.client);
    if (pair.client) pair.accepted = server.Accept();
    EXPECT_TRUE(pair.accepted);
    return pair;
  }

  PipeTestPlace place_;
  const std::string pipe_ = place_.name();
};

}  // namespace rigwright
