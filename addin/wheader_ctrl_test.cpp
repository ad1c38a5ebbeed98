#include "addin/wheader_ctrl.h"

#include <gtest/gtest.h>

#include <wx/frame.h>

#include "addin/testing/wx_test_app.h"

namespace rigwright {
namespace {

class WHeaderCtrlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    frame = new wxFrame(nullptr, wxID_ANY, "list");
    list = new WHeaderCtrl(frame, wxID_ANY, wxPoint(0, 0), wxSize(520, 300));
  }
  void TearDown() override { delete frame; }

  wxFrame* frame = nullptr;
  WHeaderCtrl* list = nullptr;
};

TEST_F(WHeaderCtrlTest, FiveHundredPixelsGiveColumnsOfFiftySeventyAndThreeHundredEighty) {
  list->SetClientSize(500, 280);
  ASSERT_EQ(list->GetClientSize().GetWidth(), 500);

  list->AddColumn("Select", -10);
  list->AddColumn("Number", -14);
  list->AddColumn("Name", 0);
  list->FitColumnsToClientWidth();

  ASSERT_EQ(list->GetColumnCount(), 3);
  EXPECT_EQ(list->GetColumnWidth(0), 50);
  EXPECT_EQ(list->GetColumnWidth(1), 70);
  EXPECT_EQ(list->GetColumnWidth(2), 380);
  wxListItem heading;
  heading.SetMask(wxLIST_MASK_TEXT);
  ASSERT_TRUE(list->GetColumn(1, heading));
  EXPECT_EQ(heading.GetText(), "Number");
}

TEST_F(WHeaderCtrlTest, FittingFollowsALaterClientWidth) {
  list->SetClientSize(500, 280);
  list->AddColumn("Select", -10);
  list->AddColumn("Name", 0);
  list->SetClientSize(400, 280);

  list->FitColumnsToClientWidth();

  EXPECT_EQ(list->GetColumnWidth(0), 50);
  EXPECT_EQ(list->GetColumnWidth(1), 350);
}

TEST_F(WHeaderCtrlTest, RowsCarryCheckBoxes) {
  list->AddColumn("Select", -10);
  list->AddColumn("Name", 0);
  const long row = list->InsertItem(0, wxString());
  list->SetItem(row, 1, "Base");

  EXPECT_FALSE(list->IsItemChecked(row));
  list->CheckItem(row, true);
  EXPECT_TRUE(list->IsItemChecked(row));
}

}  // namespace
}  // namespace rigwright
