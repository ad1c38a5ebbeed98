#include <windows.h>
// after windows.h
#include <aclapi.h>
#include <gtest/gtest.h>
#include <sddl.h>

#include <future>
#include <thread>
#include <vector>

#include "common/pipe_protocol.h"
#include "common/testing/test_folder.h"
#include "platform/child_process.h"
#include "platform/message_pipe.h"
#include "platform/testing/peer_win32.h"
#include "platform/testing/pipe_test.h"

namespace rigwright {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

class MessagePipeWin32Test : public PipeTest {
 protected:
  // Runs the peer program; it must end within ten seconds.
  void RunPeer(const std::vector<std::string>& arguments) {
    std::string error;
    auto peer = StartProcess(PeerProgram(), arguments, &error);
    ASSERT_TRUE(peer) << error;
    peers_.push_back(std::move(peer));
  }
  void AwaitPeers() {
    for (auto& peer : peers_) {
      const auto deadline = std::chrono::steady_clock::now() + seconds(10);
      while (peer->IsRunning() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(milliseconds(10));
      }
      EXPECT_FALSE(peer->IsRunning()) << "the peer did not end";
    }
    peers_.clear();
  }

  TestFolder dir_;
  std::vector<std::unique_ptr<ChildProcess>> peers_;
};

TEST_F(MessagePipeWin32Test, AClientMayWaitForABusyServerButNotForAMissingOne) {
  auto server = Listen();
  Connected first = Connect(*server);
  ASSERT_TRUE(first.accepted);
  EXPECT_FALSE(ConnectToPipe(pipe_)) << "busy: the plain connect does not wait";
  EXPECT_FALSE(ConnectToPipeWhenFree(pipe_, milliseconds(100))) << "still busy when time is up";

  // The server finishes the first connection a moment later and accepts the next.
  auto serving = std::async(std::launch::async, [&] {
    std::this_thread::sleep_for(milliseconds(300));
    first.client.reset();
    first.accepted.reset();
    return server->Accept();
  });
  auto waited = ConnectToPipeWhenFree(pipe_, seconds(10));
  if (!waited) server->Wake();  // the server gives up waiting for it too
  ASSERT_TRUE(waited);
  ASSERT_TRUE(waited->Write("after the wait"));
  auto accepted = serving.get();
  ASSERT_TRUE(accepted);
  std::string message;
  EXPECT_EQ(accepted->Read(kMaxMessageBytes, &message), PipeReadResult::kMessage);
  EXPECT_EQ(message, "after the wait");
  waited.reset();
  accepted.reset();
  server.reset();

  const auto started = std::chrono::steady_clock::now();
  EXPECT_FALSE(ConnectToPipeWhenFree(pipe_, seconds(10)));
  EXPECT_LT(std::chrono::steady_clock::now() - started, seconds(5)) << "no server: no wait";
}

TEST_F(MessagePipeWin32Test, AnEmptyMessageIsToldFromAConnectionTheServerDropped) {
  auto server = Listen();
  {
    auto [connection, client] = Connect(*server);
    ASSERT_TRUE(connection);
    ASSERT_TRUE(connection->Write(""));
    std::string message = "stale";
    EXPECT_EQ(client->Read(kStlBufferSize, &message), PipeReadResult::kMessage);
    EXPECT_EQ(message, "");
  }
  auto connecting = std::async(std::launch::async, [&] { return server->Accept(); });
  std::unique_ptr<PipeConnection> client;
  for (int attempt = 0; attempt < 500 && !client; ++attempt) {
    client = ConnectToPipe(pipe_);
    if (!client) std::this_thread::sleep_for(milliseconds(10));
  }
  ASSERT_TRUE(client);
  connecting.get().reset();  // dropped without a word

  std::string message;
  EXPECT_EQ(client->Read(kStlBufferSize, &message), PipeReadResult::kClosed);
  EXPECT_FALSE(client->Write(kStlRequest)) << "nobody is left to read it";
}

TEST_F(MessagePipeWin32Test, WakeEndsTheWaitForAClientThatDoesNotTakeItsReply) {
  auto server = Listen();
  auto [connection, client] = Connect(*server);
  ASSERT_TRUE(connection);
  ASSERT_TRUE(connection->Write("a.stl"));
  auto closing = std::async(std::launch::async, [&] { connection.reset(); });
  std::this_thread::sleep_for(milliseconds(50));
  server->Wake();
  EXPECT_EQ(closing.wait_for(seconds(5)), std::future_status::ready)
      << "the server waited for its full pickup time";
}

TEST_F(MessagePipeWin32Test, OneServerPerNameAndThePipeGoesWithIt) {
  auto first = Listen();
  std::string error;
  EXPECT_EQ(ListenOnPipe(pipe_, &error), nullptr);
  EXPECT_NE(error.find("already listens"), std::string::npos) << error;
  EXPECT_TRUE(ConnectToPipe(pipe_)) << "the first server was not disturbed";

  first.reset();
  EXPECT_EQ(ConnectToPipe(pipe_), nullptr);
  EXPECT_TRUE(Listen()) << "the name is free again";
}

TEST_F(MessagePipeWin32Test, ThePipeIsNamedAsGivenUpToTheSystemsLimit) {
  std::string error;
  const std::string longest = std::string(kPipeNamePrefix) + std::string(247, 'x');
  EXPECT_EQ(PipeSocketPath(longest, &error), longest);
  EXPECT_EQ(PipeSocketPath(longest + "x", &error), "");
  EXPECT_EQ(PipeSocketPath(pipe_, &error), pipe_);
}

TEST_F(MessagePipeWin32Test, ABusyPipeIsRefusedAtOnceInsteadOfWaitedFor) {
  auto server = Listen();
  auto [connection, client] = Connect(*server);
  ASSERT_TRUE(connection);
  auto second = std::async(std::launch::async, [&] { return ConnectToPipe(pipe_) == nullptr; });
  ASSERT_EQ(second.wait_for(seconds(10)), std::future_status::ready) << "a connect waited";
  EXPECT_TRUE(second.get());
  EXPECT_EQ(server->Accept(), nullptr) << "one connection at a time";

  client.reset();
  connection.reset();
  auto accepting = std::async(std::launch::async, [&] { return server->Accept(); });
  std::unique_ptr<PipeConnection> next;
  for (int attempt = 0; attempt < 500 && !next; ++attempt) {
    next = ConnectToPipe(pipe_);
    if (!next) std::this_thread::sleep_for(milliseconds(10));
  }
  EXPECT_TRUE(next) << "the next client is served once the first has gone";
  EXPECT_TRUE(accepting.get());
}

TEST_F(MessagePipeWin32Test, ServesAClientInAnotherProcess) {
  auto server = Listen();
  const auto out = dir_.path() / "reply";
  RunPeer({"client", pipe_, std::string(kStlRequest.substr(0, 4)), "0", out.string()});
  auto connection = server->Accept();
  ASSERT_TRUE(connection);
  std::string message;
  ASSERT_EQ(connection->ReadWithin(kMaxMessageBytes, seconds(10), &message),
            PipeReadResult::kMessage);
  EXPECT_EQ(message, "Need");
  ASSERT_TRUE(connection->Write("a.stl@0x102030;b.stl"));
  connection.reset();
  EXPECT_EQ(AwaitFile(out), "reply:a.stl@0x102030;b.stl");
  AwaitPeers();
}

TEST_F(MessagePipeWin32Test, AReplyReachesAClientThatReadsItLate) {
  auto server = Listen();
  const auto out = dir_.path() / "reply";
  RunPeer({"client", pipe_, "request", "1000", out.string()});
  auto connection = server->Accept();
  ASSERT_TRUE(connection);
  std::string message;
  ASSERT_EQ(connection->ReadWithin(kMaxMessageBytes, seconds(10), &message),
            PipeReadResult::kMessage);
  ASSERT_TRUE(connection->Write("late.stl"));
  connection.reset();  // the client is still asleep
  EXPECT_EQ(AwaitFile(out), "reply:late.stl");
  AwaitPeers();
}

TEST_F(MessagePipeWin32Test, TalksToAServerInAnotherProcess) {
  const auto ready = dir_.path() / "ready";
  RunPeer({"server", pipe_, ready.string()});
  ASSERT_EQ(AwaitFile(ready), "listening");
  auto client = ConnectToPipe(pipe_);
  ASSERT_TRUE(client);
  ASSERT_TRUE(client->Write("x"));
  std::string reply;
  EXPECT_EQ(client->Read(kStlBufferSize, &reply), PipeReadResult::kMessage);
  EXPECT_EQ(reply, "got x");
  client.reset();
  AwaitPeers();
}

TEST_F(MessagePipeWin32Test, AServerInAnotherProcessCannotTakeOverTheName) {
  auto server = Listen();
  const auto ready = dir_.path() / "ready";
  RunPeer({"server", pipe_, ready.string()});
  const auto said = AwaitFile(ready);
  ASSERT_TRUE(said);
  EXPECT_TRUE(said->starts_with("refused: another server already listens")) << *said;
  AwaitPeers();
  EXPECT_TRUE(ConnectToPipe(pipe_)) << "ours still listens";
}

// The security identifier of this process's user, as text.
std::string SidText(PSID sid) {
  char* text = nullptr;
  if (!::ConvertSidToStringSidA(sid, &text)) return "?";
  std::string result(text);
  ::LocalFree(text);
  return result;
}

std::string ThisUserSidText() {
  HANDLE token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return "";
  DWORD size = 0;
  ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  std::vector<BYTE> buffer(size);
  const bool ok = ::GetTokenInformation(token, TokenUser, buffer.data(), size, &size);
  ::CloseHandle(token);
  return ok ? SidText(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid) : "";
}

TEST_F(MessagePipeWin32Test, ThePipeGrantsAccessToThisUserAlone) {
  auto server = Listen();
  HANDLE pipe = ::CreateFileA(pipe_.c_str(), READ_CONTROL, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(pipe, INVALID_HANDLE_VALUE) << ::GetLastError();
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  const DWORD got = ::GetSecurityInfo(pipe, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                      nullptr, &dacl, nullptr, &descriptor);
  ::CloseHandle(pipe);
  ASSERT_EQ(got, static_cast<DWORD>(ERROR_SUCCESS));
  ASSERT_NE(dacl, nullptr) << "a missing access list would let everyone in";
  std::vector<std::string> granted;
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    void* ace = nullptr;
    if (!::GetAce(dacl, i, &ace)) continue;
    auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
    if (allowed->Header.AceType == ACCESS_ALLOWED_ACE_TYPE) {
      granted.push_back(SidText(&allowed->SidStart));
    }
  }
  ::LocalFree(descriptor);
  EXPECT_EQ(granted, std::vector<std::string>{ThisUserSidText()});
}

}  // namespace
}  // namespace rigwright
