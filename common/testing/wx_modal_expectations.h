// Test support for GUI tests that answer modal dialogs through wxTEST_DIALOG: an unmet or
// unexpected dialog becomes a test failure, and message boxes can be answered while keeping what
// they showed. Include this before using wxTEST_DIALOG.
#pragma once

#include <gtest/gtest.h>
#include <wx/msgdlg.h>
#include <wx/testing.h>

namespace rigwright::testing {

class GtestModalHook : public wxTestingModalHook {
 public:
  using wxTestingModalHook::wxTestingModalHook;
  void ReportFailure(const wxString& message) override { ADD_FAILURE() << message; }
};

// Answers a message box with OK and keeps its text and style.
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

}  // namespace rigwright::testing

#undef wxTEST_DIALOG_HOOK_CLASS
#define wxTEST_DIALOG_HOOK_CLASS rigwright::testing::GtestModalHook
