// The STL request's dialogs under a real toolkit, answered through the modal dialog hook.
#include "wrapper/startup/stl_fallback_dialog.h"

#include <gtest/gtest.h>
#include <wx/frame.h>
#include <wx/timer.h>

#include <condition_variable>
#include <mutex>
#include <random>
#include <thread>

#include "common/pipe_protocol.h"
#include "common/testing/scoped_environment.h"
#include "common/testing/test_folder.h"
#include "common/testing/wx_modal_expectations.h"
#include "platform/message_pipe.h"

namespace rigwright {
namespace {

using rigwright::testing::ExpectMessage;

class StlFallbackDialogTest : public ::testing::Test {
 protected:
  DialogStlRequestUser user_;
};

TEST_F(StlFallbackDialogTest, ACancelledFileDialogChoosesNothing) {
  std::vector<std::string> chosen = {"stale"};
  wxTEST_DIALOG(chosen = user_.ChooseStlFiles(), wxExpectModal<wxFileDialog>("", wxID_CANCEL));
  EXPECT_TRUE(chosen.empty());
}

TEST_F(StlFallbackDialogTest, FilesLeftOutAreCountedInAWarning) {
  wxString text;
  long style = 0;
  wxTEST_DIALOG(user_.TellFilesLeftOut(37), ExpectMessage(&text, &style));
  EXPECT_TRUE(text.Contains("37 of the files were left out")) << text;
  EXPECT_EQ(style & wxICON_MASK, wxICON_NONE) << "a failure, told as the add-in tells it";

  wxTEST_DIALOG(user_.TellFilesLeftOut(1), ExpectMessage(&text, &style));
  EXPECT_TRUE(text.Contains("1 of the files was left out")) << text;

  wxTEST_DIALOG(user_.TellFileRefused("/p;q/b.stl cannot"), ExpectMessage(&text, &style));
  EXPECT_EQ(text, "/p;q/b.stl cannot");
  EXPECT_EQ(style & wxICON_MASK, wxICON_EXCLAMATION) << "an input problem: the user chooses again";
}

// The add-in answers only once the editor's timer has ticked three times: a wrapper that sat in
// the pipe read would see no tick, and the add-in would give up after ten seconds.
TEST_F(StlFallbackDialogTest, WhileTheAddinAnswersTheEditorTicksAndTakesNoInput) {
  TestFolder runtime;
  ScopedEnvironment environment;
  environment.Set("XDG_RUNTIME_DIR", runtime.path().string());
  const std::string pipe =
      R"(\\.\pipe\StlFallbackDialogTest-)" + std::to_string(std::random_device()());
  std::string error;
  const auto server = ListenOnPipe(pipe, &error);
  ASSERT_TRUE(server) << error;

  wxFrame editor(nullptr, wxID_ANY, "editor");
  editor.Show();
  std::mutex mutex;
  std::condition_variable ticked;
  int ticks = 0;
  bool tookInput = false;
  wxTimer timer;
  timer.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
    const std::lock_guard<std::mutex> lock(mutex);
    ++ticks;
    tookInput = tookInput || editor.IsEnabled();
    ticked.notify_all();
  });
  timer.Start(10);
  std::thread addin([&] {
    const auto connection = server->Accept();
    std::string request;
    if (!connection || connection->Read(kMaxMessageBytes, &request) != PipeReadResult::kMessage) {
      return;
    }
    std::unique_lock<std::mutex> lock(mutex);
    ticked.wait_for(lock, std::chrono::seconds(10), [&] { return ticks >= 3; });
    connection->Write("/w/Base.stl@0x000000");
  });
  const std::string reply = RequestStlFiles(pipe, user_);
  addin.join();
  timer.Stop();
  EXPECT_EQ(reply, "/w/Base.stl@0x000000");
  const std::lock_guard<std::mutex> lock(mutex);
  EXPECT_GE(ticks, 3);
  EXPECT_FALSE(tookInput) << "the editor's window is disabled while the add-in answers";
  EXPECT_TRUE(editor.IsEnabled()) << "and enabled again afterwards";
}

}  // namespace
}  // namespace rigwright
