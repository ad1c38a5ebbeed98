#include "platform/message_pipe.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <future>
#include <thread>
#include <vector>

#include "common/pipe_protocol.h"
#include "common/testing/scoped_environment.h"
#include "common/testing/test_folder.h"

namespace rigwright {
namespace {

constexpr std::string_view kPipe = "\\\\.\\pipe\\0A1B2C3D0E0F1A2B3C4D5E6F708192A3";

// What is particular to the socket: its folder, its file and its queue. Every test gets its own
// private runtime folder, so pipes of other tests never meet.
class MessagePipePosixTest : public ::testing::Test {
 protected:
  MessagePipePosixTest() { environment_.Set("XDG_RUNTIME_DIR", runtime_.path().string()); }

  std::unique_ptr<PipeServer> Listen(std::string_view name = kPipe) {
    std::string error;
    auto server = ListenOnPipe(name, &error);
    EXPECT_TRUE(server) << error;
    return server;
  }

  TestFolder runtime_;
  ScopedEnvironment environment_;
};

TEST_F(MessagePipePosixTest, AnEmptyMessageIsToldFromAClosedConnection) {
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

TEST_F(MessagePipePosixTest, OneServerPerNameAndItsSocketGoesWithIt) {
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

TEST_F(MessagePipePosixTest, ASocketLeftByAnEndedServerIsReplaced) {
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

TEST_F(MessagePipePosixTest, TheSocketLiesInTheRuntimeFolderUpToTheAddressLimit) {
  std::string error;
  EXPECT_EQ(PipeSocketPath(std::string(kPipeNamePrefix) + std::string(200, 'x'), &error), "");
  EXPECT_EQ(PipeSocketPath(kPipe, &error),
            runtime_.text() + "rigwright/" + std::string(kPipe.substr(kPipeNamePrefix.size())));
}

TEST_F(MessagePipePosixTest, AFolderOthersCanEnterMakesThePipeUnusable) {
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

TEST_F(MessagePipePosixTest, WithoutARuntimeFolderTheTemporaryFolderHoldsAPerUserFolder) {
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

TEST_F(MessagePipePosixTest, ABusyServerIsRefusedAtOnceInsteadOfWaitedFor) {
  auto server = Listen();
  // Clients queue until the server's queue of waiting clients is full; the next one is refused.
  auto connecting = std::async(std::launch::async, [] {
    std::vector<std::unique_ptr<PipeConnection>> queued;
    while (queued.size() < 64) {
      auto client = ConnectToPipe(kPipe);
      if (!client) break;
      queued.push_back(std::move(client));
    }
    return queued;
  });
  if (connecting.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
    server.reset();  // closing the listener ends the waiting connect, so the test can end
    FAIL() << "a connect waited for a busy server";
  }
  const auto queued = connecting.get();
  EXPECT_GT(queued.size(), 0u);
  EXPECT_LT(queued.size(), 64u) << "the queue never filled";

  ASSERT_TRUE(server->Accept()) << "the server takes the first queued client";
  EXPECT_TRUE(ConnectToPipe(kPipe)) << "which makes room for one more";
}

// A second user of this machine, added for one test and removed after it. Adding users needs
// root; without it `valid()` is false and the test is skipped.
class OtherUser {
 public:
  OtherUser() : name_("rwpeer" + std::to_string(::getpid())) {
    if (::geteuid() != 0) return;
    // Tests running at the same time may hold the lock on the user database for a moment.
    for (int attempt = 0; attempt < 50 && !Find(); ++attempt) {
      if (Run("useradd --system --no-create-home --shell /usr/sbin/nologin ") == 0) continue;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
  }
  ~OtherUser() {
    for (int attempt = 0; attempt < 50 && Find(); ++attempt) {
      if (Run("userdel ") != 0) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
  }
  OtherUser(const OtherUser&) = delete;
  OtherUser& operator=(const OtherUser&) = delete;

  bool valid() const { return uid_ != 0; }
  uid_t uid() const { return uid_; }
  gid_t gid() const { return gid_; }

 private:
  int Run(const std::string& command) const {
    return std::system(("PATH=/usr/sbin:/sbin:$PATH " + command + name_ + " 2>/dev/null").c_str());
  }
  bool Find() {
    const passwd* entry = ::getpwnam(name_.c_str());
    uid_ = entry ? entry->pw_uid : 0;
    gid_ = entry ? entry->pw_gid : 0;
    return entry != nullptr;
  }

  std::string name_;
  uid_t uid_ = 0;
  gid_t gid_ = 0;
};

class MessagePipeOtherUserTest : public MessagePipePosixTest {
 protected:
  void SetUp() override {
    if (!other_.valid()) GTEST_SKIP() << "needs root, to add a second user of the machine";
  }
  OtherUser other_;
};

TEST_F(MessagePipeOtherUserTest, ALinkPlantedInTheSharedTemporaryFolderIsNotTrusted) {
  TestFolder shared;
  ASSERT_EQ(::chmod(shared.path().c_str(), 01777), 0);
  environment_.Set("XDG_RUNTIME_DIR", nullptr);
  environment_.Set("TMPDIR", shared.path().string());
  // Another user puts a link under our pipe folder's name, to a private folder of ours.
  const auto ours = runtime_.path() / "private";
  std::filesystem::create_directory(ours);
  ASSERT_EQ(::chmod(ours.c_str(), 0700), 0);
  const auto planted = shared.path() / ("rigwright-" + std::to_string(::getuid()));
  ASSERT_EQ(::symlink(ours.c_str(), planted.c_str()), 0);
  ASSERT_EQ(::lchown(planted.c_str(), other_.uid(), other_.gid()), 0);

  std::string error;
  EXPECT_EQ(ListenOnPipe(kPipe, &error), nullptr);
  EXPECT_NE(error.find(planted.string()), std::string::npos) << error;
  EXPECT_EQ(ConnectToPipe(kPipe), nullptr);
  EXPECT_TRUE(std::filesystem::is_empty(ours)) << "no socket was made where the link points";
}

// A server that another user's process listens on, in our own pipe folder: bound by us, then
// made to listen after the process changed its user, as a server of that user would.
class ServerOfAnotherUser {
 public:
  ServerOfAnotherUser(const std::string& socketPath, const OtherUser& user) {
    int ready[2], hold[2];
    if (::pipe(ready) != 0 || ::pipe(hold) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::close(ready[0]);
      ::close(hold[1]);
      sockaddr_un address{};
      address.sun_family = AF_UNIX;
      socketPath.copy(address.sun_path, sizeof(address.sun_path) - 1);
      const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET, 0);
      const bool listening =
          ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
          ::setgid(user.gid()) == 0 && ::setuid(user.uid()) == 0 && ::listen(fd, 4) == 0;
      const char state = listening ? 1 : 0;
      [[maybe_unused]] ssize_t written = ::write(ready[1], &state, 1);
      char ignored;
      [[maybe_unused]] ssize_t read = ::read(hold[0], &ignored, 1);  // until the test ends
      ::_exit(0);
    }
    ::close(ready[1]);
    ::close(hold[0]);
    hold_ = hold[1];
    char state = 0;
    listening_ = ::read(ready[0], &state, 1) == 1 && state == 1;
    ::close(ready[0]);
  }
  ~ServerOfAnotherUser() {
    if (hold_ >= 0) ::close(hold_);
    if (pid_ > 0) ::waitpid(pid_, nullptr, 0);
  }
  ServerOfAnotherUser(const ServerOfAnotherUser&) = delete;
  ServerOfAnotherUser& operator=(const ServerOfAnotherUser&) = delete;

  bool listening() const { return listening_; }

 private:
  pid_t pid_ = -1;
  int hold_ = -1;
  bool listening_ = false;
};

TEST_F(MessagePipeOtherUserTest, TheClientRefusesAServerOfAnotherUser) {
  auto ourServer = Listen("\\\\.\\pipe\\makes-the-folder");
  std::string error;
  const std::string socket = PipeSocketPath(kPipe, &error);
  ServerOfAnotherUser theirs(socket, other_);
  ASSERT_TRUE(theirs.listening());
  EXPECT_EQ(ConnectToPipe(kPipe), nullptr);
  EXPECT_TRUE(ConnectToPipe("\\\\.\\pipe\\makes-the-folder")) << "ours is still trusted";
}

}  // namespace
}  // namespace rigwright
