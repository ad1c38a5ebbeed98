#include "addin/pipe_link.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <future>
#include <optional>
#include <regex>
#include <thread>

#include "common/pipe_protocol.h"
#include "common/testing/scoped_environment.h"
#include "common/testing/test_folder.h"

namespace rigwright {
namespace {

using namespace std::chrono_literals;

// A handler that records what the link gives it. With `holdRequests`, a request waits until it
// is cancelled or released, so that tests can act while the link is inside it.
class TestHandler final : public StlRequestHandler {
 public:
  explicit TestHandler(std::string reply = {}, bool holdRequests = false)
      : reply_(std::move(reply)), holdRequests_(holdRequests) {}
  ~TestHandler() override { destroyedOn = std::this_thread::get_id(); }

  std::string RequestStlPath() override {
    std::unique_lock lock(mutex_);
    ++requests_;
    inRequest_ = true;
    changed_.notify_all();
    changed_.wait(lock, [this] { return !holdRequests_ || released_; });
    inRequest_ = false;
    if (throws) throw std::runtime_error("picker failed");
    return cancelled_ ? std::string() : reply_;
  }
  void SetStlFolder(const std::string& folder) override {
    std::lock_guard lock(mutex_);
    folders_.push_back(folder);
  }
  void CancelRequest() override {
    std::lock_guard lock(mutex_);
    if (!inRequest_) return;
    cancelled_ = true;
    if (releaseOnCancel) released_ = true;
    changed_.notify_all();
  }

  void Release() {
    std::lock_guard lock(mutex_);
    released_ = true;
    changed_.notify_all();
  }
  bool WaitUntilInRequest() {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, 10s, [this] { return inRequest_; });
  }
  bool WaitUntilCancelled() {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, 10s, [this] { return cancelled_; });
  }
  int requests() {
    std::lock_guard lock(mutex_);
    return requests_;
  }
  std::vector<std::string> folders() {
    std::lock_guard lock(mutex_);
    return folders_;
  }

  bool releaseOnCancel = true;
  bool throws = false;
  static inline std::thread::id destroyedOn;

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  const std::string reply_;
  const bool holdRequests_;
  bool released_ = false;
  bool inRequest_ = false;
  bool cancelled_ = false;
  int requests_ = 0;
  std::vector<std::string> folders_;
};

class PipeLinkTest : public ::testing::Test {
 protected:
  PipeLinkTest() { environment_.Set("XDG_RUNTIME_DIR", runtime_.path().string()); }

  std::unique_ptr<PipeLink> MakeLink(std::string name = MakePipeName()) {
    return std::make_unique<PipeLink>(LaunchValues{"/opt/R/RigwrightWrapper", "en-US", "/m/"},
                                      std::move(name), [this](std::string text) {
                                        std::lock_guard lock(notesMutex_);
                                        notes_.push_back(std::move(text));
                                      });
  }

  // Sends one message as the wrapper does and returns the reply; none when the link closed the
  // connection without answering. Like the wrapper it gives a link that is between two
  // connections a moment to listen again (a Windows pipe is busy until then).
  static std::optional<std::string> Send(const PipeLink& link, std::string_view message) {
    auto connection = ConnectToPipeWhenFree(link.pipeName(), kBusyPipeWait);
    EXPECT_TRUE(connection) << "no pipe " << link.pipeName();
    if (!connection || !connection->Write(message)) return std::nullopt;
    std::string reply;
    if (connection->Read(kStlBufferSize, &reply) != PipeReadResult::kMessage) return std::nullopt;
    return reply;
  }

  // Sends a message the link does not answer; returns once the link has dealt with it, which a
  // following answered request shows, since the link serves one connection after another.
  static void SendUnanswered(const PipeLink& link, std::string_view message) {
    EXPECT_EQ(Send(link, message), std::nullopt);
    EXPECT_TRUE(Send(link, kStlRequest)) << "the link stopped serving";
  }

  std::vector<std::string> notes() {
    std::lock_guard lock(notesMutex_);
    return notes_;
  }

  TestFolder runtime_;
  ScopedEnvironment environment_;
  std::mutex notesMutex_;
  std::vector<std::string> notes_;
};

TEST(PipeNameTest, HasTheDescribedFormAndIsFreshEveryTime) {
  const std::string first = MakePipeName();
  const std::string second = MakePipeName();
  const std::regex form(R"(\\\\\.\\pipe\\[0-9A-F]{32})");
  EXPECT_TRUE(std::regex_match(first, form)) << first;
  EXPECT_TRUE(std::regex_match(second, form)) << second;
  EXPECT_EQ(first.size(), 41u);
  EXPECT_NE(first, second);
}

TEST(PipeNameTest, TakesTheGuidFieldsInTheirPrintedOrder) {
  // The GUID printed as 0A1B2C3D-0E0F-1A2B-3C4D-5E6F708192A3.
  const Guid guid{0x0A1B2C3D, 0x0E0F, 0x1A2B, {0x3C, 0x4D, 0x5E, 0x6F, 0x70, 0x81, 0x92, 0xA3}};
  EXPECT_EQ(PipeNameFromGuid(guid), R"(\\.\pipe\0A1B2C3D0E0F1A2B3C4D5E6F708192A3)");
}

TEST_F(PipeLinkTest, AnStlRequestGetsTheHandlersReply) {
  auto link = MakeLink();
  ASSERT_TRUE(link->serving()) << link->pipeError();
  auto handler = std::make_shared<TestHandler>("/w/Base.stl@0x102030;/parts/ö.stl");
  link->ReplaceHandler(handler);

  EXPECT_EQ(Send(*link, kStlRequest), "/w/Base.stl@0x102030;/parts/ö.stl");
  EXPECT_EQ(Send(*link, kStlRequest), "/w/Base.stl@0x102030;/parts/ö.stl");
  EXPECT_EQ(handler->requests(), 2);
}

TEST_F(PipeLinkTest, WithoutAHandlerAnStlRequestGetsAnEmptyReply) {
  auto link = MakeLink();
  EXPECT_EQ(Send(*link, kStlRequest), "") << "a zero-byte message, not a closed connection";
}

TEST_F(PipeLinkTest, TheRequestMayBeFollowedByAZeroAndAnything) {
  auto link = MakeLink();
  auto handler = std::make_shared<TestHandler>("/w/a.stl");
  link->ReplaceHandler(handler);
  const std::string message = std::string(kStlRequest) + std::string("\0junk\0\0", 7);
  ASSERT_EQ(message.size(), 20u);

  EXPECT_EQ(Send(*link, message), "/w/a.stl");
  EXPECT_EQ(handler->requests(), 1);
}

TEST_F(PipeLinkTest, AWorkingFolderMessageGivesTheHandlerItsFolder) {
  TestFolder work;
  auto link = MakeLink();
  auto handler = std::make_shared<TestHandler>();
  link->ReplaceHandler(handler);

  SendUnanswered(*link, work.text());
  SendUnanswered(*link, work.path().string());  // taken with the separator it lacks
  SendUnanswered(*link, work.text() + std::string("\0tail", 5));

  EXPECT_EQ(handler->folders(), std::vector<std::string>(3, work.text()));
}

TEST_F(PipeLinkTest, OnlyAnExistingAbsoluteFolderIsTakenAsTheWorkingFolder) {
  TestFolder work;
  const auto file = work.Write("file.txt", "x");
  auto link = MakeLink();
  auto handler = std::make_shared<TestHandler>();
  link->ReplaceHandler(handler);

  for (const std::string& message :
       {std::string(), std::string("relative/"), std::string("."), work.text() + "missing/",
        file.string(), std::string(1, '\0') + work.text()}) {
    SendUnanswered(*link, message);
  }

  EXPECT_TRUE(handler->folders().empty());
}

TEST_F(PipeLinkTest, TheRequestInLowerCaseIsAFolderMessageNotARequest) {
  auto link = MakeLink();
  auto handler = std::make_shared<TestHandler>("/w/a.stl");
  link->ReplaceHandler(handler);

  EXPECT_EQ(Send(*link, "need stl path"), std::nullopt) << "no reply";
  EXPECT_EQ(Send(*link, "Need stl path "), std::nullopt) << "no reply";

  EXPECT_EQ(handler->requests(), 0);
  EXPECT_TRUE(handler->folders().empty()) << "not an existing absolute folder";
}

TEST_F(PipeLinkTest, AnOversizeMessageGetsNoReplyAndTheLinkGoesOn) {
  auto link = MakeLink();
  auto handler = std::make_shared<TestHandler>("/w/a.stl");
  link->ReplaceHandler(handler);

  EXPECT_EQ(Send(*link, std::string(kStlRequest) + std::string(kMaxMessageBytes, '\0')),
            std::nullopt);
  EXPECT_EQ(Send(*link, kStlRequest), "/w/a.stl");
  EXPECT_EQ(handler->requests(), 1);
}

TEST_F(PipeLinkTest, AClientThatLeavesWithoutAWordIsDroppedAndTheLinkGoesOn) {
  auto link = MakeLink();
  link->ReplaceHandler(std::make_shared<TestHandler>("/w/a.stl"));

  // Each connects and closes at once.
  ASSERT_TRUE(ConnectToPipeWhenFree(link->pipeName(), kBusyPipeWait));
  ASSERT_TRUE(ConnectToPipeWhenFree(link->pipeName(), kBusyPipeWait));

  EXPECT_EQ(Send(*link, kStlRequest), "/w/a.stl");
}

TEST_F(PipeLinkTest, AReplyTooLongForTheEditorKeepsWholeEntriesAndTellsTheUser) {
  std::vector<std::string> entries;
  for (int i = 0; i < 30; ++i) entries.push_back("/w/" + std::string(396, 'a' + i % 26) + ".stl");
  auto link = MakeLink();
  link->ReplaceHandler(std::make_shared<TestHandler>(JoinStlEntries(entries)));

  const std::optional<std::string> reply = Send(*link, kStlRequest);

  // 25 entries of 400 bytes and their 24 separators fit in 10239 bytes; a 26th does not.
  ASSERT_TRUE(reply);
  EXPECT_EQ(*reply, JoinStlEntries({entries.begin(), entries.begin() + 25}));
  link->ReplaceHandler(
      std::make_shared<TestHandler>(JoinStlEntries({entries.begin(), entries.begin() + 26})));
  EXPECT_EQ(Send(*link, kStlRequest), reply);
  link.reset();  // the user is told after the reply has gone out
  ASSERT_EQ(notes().size(), 2u);
  EXPECT_NE(notes()[0].find(" 5 files were left out"), std::string::npos) << notes()[0];
  EXPECT_NE(notes()[1].find(" 1 file was left out"), std::string::npos) << notes()[1];
}

TEST_F(PipeLinkTest, AHandlerThatFailsCostsOnlyItsConnection) {
  auto link = MakeLink();
  auto failing = std::make_shared<TestHandler>("/w/a.stl");
  failing->throws = true;
  link->ReplaceHandler(failing);

  EXPECT_EQ(Send(*link, kStlRequest), std::nullopt);
  link->ReplaceHandler(std::make_shared<TestHandler>("/w/b.stl"));
  EXPECT_EQ(Send(*link, kStlRequest), "/w/b.stl");
}

TEST_F(PipeLinkTest, ANewHandlerGetsTheNextFolderMessage) {
  TestFolder work;
  auto link = MakeLink();
  auto first = std::make_shared<TestHandler>();
  auto second = std::make_shared<TestHandler>();
  link->ReplaceHandler(first);
  link->ReplaceHandler(second);

  SendUnanswered(*link, work.text());

  EXPECT_TRUE(first->folders().empty());
  EXPECT_EQ(second->folders(), std::vector<std::string>{work.text()});
}

TEST_F(PipeLinkTest, AHandlerInUseIsNotDestroyedWhenReplacedAndGoesOnTheReplacingThread) {
  auto link = MakeLink();
  auto busy = std::make_shared<TestHandler>("/w/late.stl", /*holdRequests=*/true);
  busy->releaseOnCancel = false;
  std::weak_ptr<TestHandler> watch = busy;
  link->ReplaceHandler(busy);
  busy.reset();
  auto reply = std::async(std::launch::async, [&] { return Send(*link, kStlRequest); });
  ASSERT_TRUE(watch.lock()->WaitUntilInRequest());

  link->ReplaceHandler(std::make_shared<TestHandler>());

  ASSERT_TRUE(watch.lock()) << "still in use by the link's thread";
  EXPECT_TRUE(watch.lock()->WaitUntilCancelled()) << "its wrapper has ended";
  watch.lock()->Release();
  EXPECT_EQ(reply.get(), "");
  link->ReplaceHandler(std::make_shared<TestHandler>());
  EXPECT_TRUE(watch.expired());
  EXPECT_EQ(TestHandler::destroyedOn, std::this_thread::get_id());
}

TEST_F(PipeLinkTest, DestructionWithoutAnyClientEndsAndRemovesThePipe) {
  auto link = MakeLink();
  ASSERT_TRUE(link->serving()) << link->pipeError();
  const std::string name = link->pipeName();

  auto destroyed = std::async(std::launch::async, [&] { link.reset(); });

  ASSERT_EQ(destroyed.wait_for(10s), std::future_status::ready) << "the thread was not woken";
  EXPECT_EQ(ConnectToPipe(name), nullptr) << "nobody listens any more";
  std::string error;
  EXPECT_FALSE(std::filesystem::exists(PipeSocketPath(name, &error)))
      << "no socket file is left behind where the pipe has one";
}

TEST_F(PipeLinkTest, DestructionEndsARequestThatWaitsForTheUser) {
  auto link = MakeLink();
  auto waiting = std::make_shared<TestHandler>("/w/a.stl", /*holdRequests=*/true);
  link->ReplaceHandler(waiting);
  auto reply = std::async(std::launch::async, [&] { return Send(*link, kStlRequest); });
  ASSERT_TRUE(waiting->WaitUntilInRequest());

  auto destroyed = std::async(std::launch::async, [&] { link.reset(); });

  ASSERT_EQ(destroyed.wait_for(10s), std::future_status::ready);
  EXPECT_EQ(reply.get(), std::nullopt) << "no reply, so the wrapper offers its file dialog";
}

TEST_F(PipeLinkTest, AClientThatConnectsAndSaysNothingIsDroppedAndTheNextOneServed) {
  auto link = MakeLink();
  link->ReplaceHandler(std::make_shared<TestHandler>("/w/a.stl"));
  auto silent = ConnectToPipe(link->pipeName());  // stays connected without a word
  ASSERT_TRUE(silent);

  auto reply = std::async(std::launch::async, [&] { return Send(*link, kStlRequest); });

  if (reply.wait_for(10s) != std::future_status::ready) {
    silent.reset();  // lets the test end
    FAIL() << "the silent client holds the link";
  }
  EXPECT_EQ(reply.get(), "/w/a.stl");
  std::string nothing;
  EXPECT_EQ(silent->Read(kStlBufferSize, &nothing), PipeReadResult::kClosed)
      << "the silent client's connection was closed";
}

TEST_F(PipeLinkTest, DestructionDoesNotWaitForAClientThatSaysNothing) {
  auto link = MakeLink();
  auto silent = ConnectToPipe(link->pipeName());
  ASSERT_TRUE(silent);
  std::this_thread::sleep_for(50ms);  // the link's thread now waits for the client's message

  auto destroyed = std::async(std::launch::async, [&] { link.reset(); });

  // Well within the time a silent client is given, so the read itself must have been ended.
  if (destroyed.wait_for(1s) != std::future_status::ready) {
    ADD_FAILURE() << "unloading waits for the client";
    silent.reset();  // lets the test end
  }
}

TEST_F(PipeLinkTest, ASecondLinkOnTheSameNameFailsAndLeavesTheFirstServing) {
  auto first = MakeLink();
  first->ReplaceHandler(std::make_shared<TestHandler>("/w/a.stl"));

  auto second = MakeLink(first->pipeName());
  EXPECT_FALSE(second->serving());
  EXPECT_NE(second->pipeError().find("already"), std::string::npos) << second->pipeError();
  second.reset();

  EXPECT_EQ(Send(*first, kStlRequest), "/w/a.stl");
}

}  // namespace
}  // namespace rigwright
