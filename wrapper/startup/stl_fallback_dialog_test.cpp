// The STL request's dialogs under a real toolkit, answered through the modal dialog hook.
#include "wrapper/startup/stl_fallback_dialog.h"

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/init.h>
#include <wx/testing.h>

namespace {

// Makes an unmet or unexpected dialog a test failure rather than a line on stderr.
class GtestModalHook : public wxTestingModalHook {
 public:
  using wxTestingModalHook::wxTestingModalHook;
  void ReportFailure(const wxString& message) override { ADD_FAILURE() << message; }
};

// Answers the message box with OK and keeps what it showed.
class ExpectMessage : public wxExpectModalBase<wxMessageDialog> {
 public:
  ExpectMessage(wxString* text, long* style) : text_(text), style_(style) {}

 protected:
  int OnInvoked(wxMessageDialog* dialog) const override {
    *text_ = dialog->GetMessage();
    *style_ = dialog->GetMessageDialogStyle();
    return wxID_OK;
  }

 private:
  wxString* text_;
  long* style_;
};

}  // namespace

#undef wxTEST_DIALOG_HOOK_CLASS
#define wxTEST_DIALOG_HOOK_CLASS GtestModalHook

namespace rigwright {
namespace {

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
  EXPECT_TRUE(text.Contains("37")) << text;
  EXPECT_TRUE(style & wxICON_EXCLAMATION);
}

}  // namespace
}  // namespace rigwright
