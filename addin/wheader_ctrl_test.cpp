#include "addin/wheader_ctrl.h"

#include <gtest/gtest.h>

#include <wx/frame.h>

#include "addin/testing/wx_event_testing.h"

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

}  // namespace
}  // namespace rigwright
