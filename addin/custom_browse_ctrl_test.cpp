#include "addin/custom_browse_ctrl.h"

#include <gtest/gtest.h>

#include <wx/button.h>
#include <wx/filedlg.h>
#include <wx/frame.h>
#include <wx/testing.h>
#include <wx/textctrl.h>

#include "addin/testing/wx_event_testing.h"
#include "common/testing/test_folder.h"

namespace rigwright {
namespace {

// Answers the file dialog as a user would: checks what it offers, picks `path` and presses OK (or
// Cancel).
class ChooseInFileDialog final : public wxExpectModalBase<wxFileDialog> {
 public:
  ChooseInFileDialog(wxString path, int button) : path_(std::move(path)), button_(button) {}

 protected:
  int OnInvoked(wxFileDialog* dialog) const override {
    EXPECT_EQ(dialog->GetWildcard(), "STL Files (*.stl)|*.stl");
    EXPECT_TRUE(dialog->HasFlag(wxFD_OPEN));
    dialog->SetPath(path_);
    // The file chooser takes the selection in once it has read the folder.
    EXPECT_TRUE(testing::RunEventsUntil([&] { return dialog->GetPath() == path_; }));
    return button_;
  }

 private:
  wxString path_;
  int button_;
};

class CustomBrowseCtrlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    frame = new wxFrame(nullptr, wxID_ANY, "browse");
    field = new CustomBrowseCtrl(frame, 1002, wxPoint(0, 0), wxSize(400, 26));
    field->SetValue("/old/choice.stl");
  }
  void TearDown() override { delete frame; }

  void ClickBrowse() {
    wxCommandEvent click(wxEVT_BUTTON, field->browseButton()->GetId());
    click.SetEventObject(field->browseButton());
    field->browseButton()->ProcessWindowEvent(click);
  }

  wxFrame* frame = nullptr;
  CustomBrowseCtrl* field = nullptr;
};

TEST_F(CustomBrowseCtrlTest, BrowseButtonOpensAnStlFileDialogAndTakesTheChosenPath) {
  TestFolder folder;
  const std::string chosen = folder.Write("spindle.stl", "solid\nendsolid\n").string();
  EXPECT_TRUE(field->fileMode);
  wxTEST_DIALOG(ClickBrowse(), ChooseInFileDialog(chosen, wxID_OK));
  EXPECT_EQ(field->GetValue(), chosen);
}

TEST_F(CustomBrowseCtrlTest, CancelledDialogLeavesTheFieldAsItWas) {
  TestFolder folder;
  const std::string other = folder.Write("other.stl", "solid\nendsolid\n").string();
  wxTEST_DIALOG(ClickBrowse(), ChooseInFileDialog(other, wxID_CANCEL));
  EXPECT_EQ(field->GetValue(), "/old/choice.stl");
}

}  // namespace
}  // namespace rigwright
