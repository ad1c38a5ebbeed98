// The STL request's dialogs under a real toolkit, answered through the modal dialog hook.
#include "wrapper/startup/stl_fallback_dialog.h"

#include <gtest/gtest.h>

#include "common/testing/wx_modal_expectations.h"

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

}  // namespace
}  // namespace rigwright
