#include "addin/stl_picker.h"

#include <gtest/gtest.h>

#include <future>
#include <thread>

#include <wx/button.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/uiaction.h>

#include "addin/custom_browse_ctrl.h"
#include "addin/testing/host_part_builder.h"
#include "addin/testing/wx_event_testing.h"
#include "addin/wheader_ctrl.h"
#include "common/testing/test_folder.h"

namespace rigwright {
namespace {

using namespace rigwright::testing;
using namespace std::chrono_literals;
namespace ids = stl_picker_ids;

class RecordedMessages final : public UserMessages {
 public:
  explicit RecordedMessages(std::vector<std::string>* shown) : shown_(shown) {}
  void Tell(std::string_view text, MessageIcon) override { shown_->emplace_back(text); }
  bool AskYesNo(std::string_view text) override {
    shown_->emplace_back(text);
    return false;
  }

 private:
  std::vector<std::string>* shown_;
};

// A picker over a part with the levels 5, 1 and 3, and a request that a second thread makes as
// the pipe link's server thread does.
class StlPickerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    PartData part;
    part.levels = {{5, "Table", true}, {1, "Base", true}, {3, "Column", true}};
    part.entities = {Box(11, 1, 12), Cylinder(12, 3, 40), Box(13, 5, 7),
                     Box(21, 9, 2),  Box(22, 9, 3),       Cylinder(23, 9, 4)};
    standin::InstallPart(part);
    picker = new STLPicker(std::make_unique<RecordedMessages>(&shown));
    picker->SetStlFolder(folder.text());
    picker->Bind(wxEVT_PAINT, [this](wxPaintEvent& event) {
      ++paints;
      event.Skip();
    });
  }
  void TearDown() override {
    if (pending.valid()) {
      picker->CancelRequest();
      pending.wait();
    }
    delete picker;
    standin::SetInteractiveSelector({});
    standin::ClosePart();
  }

  // Starts a request on a second thread and runs the UI thread until the picker is drawn on
  // the screen.
  void StartRequest() {
    paints = 0;
    pending = std::async(std::launch::async, [this] { return picker->RequestStlPath(); });
    ASSERT_TRUE(RunEventsUntil([this] { return picker->IsShown() && paints > 0; }))
        << "the picker never appeared";
  }
  // Saves the picker as drawn now in the build tree's screenshots folder.
  void Screenshot(const char* name) {
    paints = 0;
    picker->Refresh();
    ASSERT_TRUE(RunEventsUntil([this] { return paints > 0; }));
    RunEventsFor(300ms);  // the controls draw after the dialog
    ASSERT_TRUE(SaveScreenCapture(*picker, std::filesystem::path(RIGWRIGHT_BINARY_DIR) /
                                            "screenshots" / name));
  }
  bool Hidden() {
    return RunEventsUntil([this] { return !picker->IsShown(); });
  }
  // Runs the UI thread until the waiting thread has its reply.
  std::string Reply() {
    EXPECT_TRUE(RunEventsUntil([this] { return pending.wait_for(0s) == std::future_status::ready; }));
    return pending.get();
  }

  template <typename T>
  T* Control(int id) {
    return wxDynamicCast(picker->FindWindow(id), T);
  }
  WHeaderCtrl* levelList() { return Control<WHeaderCtrl>(ids::kLevelList); }
  wxTextCtrl* tolerance() { return Control<wxTextCtrl>(ids::kToleranceField); }
  wxTextCtrl* name() { return Control<wxTextCtrl>(ids::kNameField); }
  wxStaticText* status() { return Control<wxStaticText>(ids::kStatusLine); }
  CustomBrowseCtrl* fileField() { return Control<CustomBrowseCtrl>(ids::kFileField); }

  void Click(int id) {
    wxWindow* button = picker->FindWindow(id);
    ASSERT_NE(button, nullptr);
    wxCommandEvent click(wxEVT_BUTTON, id);
    click.SetEventObject(button);
    button->ProcessWindowEvent(click);
  }
  void PressEscape() {
    wxKeyEvent key(wxEVT_CHAR_HOOK);
    key.m_keyCode = WXK_ESCAPE;
    key.SetEventObject(picker);
    picker->ProcessWindowEvent(key);
  }
  std::vector<wxString> ListColumn(int column) {
    std::vector<wxString> texts;
    for (int row = 0; row < levelList()->GetItemCount(); ++row) {
      texts.push_back(levelList()->GetItemText(row, column));
    }
    return texts;
  }

  TestFolder folder;
  std::vector<std::string> shown;
  STLPicker* picker = nullptr;
  std::future<std::string> pending;
  int paints = 0;
};

TEST_F(StlPickerTest, WindowFollowsTheTemplateInDialogUnits) {
  EXPECT_FALSE(picker->IsShown()) << "created hidden";
  EXPECT_EQ(picker->GetTitle(), "STL picker");
  EXPECT_FALSE(picker->HasFlag(wxRESIZE_BORDER));
  EXPECT_EQ(picker->GetClientSize(), picker->ConvertDialogToPixels(wxSize(395, 389)));

  struct Expected {
    int id;
    const char* label;
    wxRect dialogUnits;
  };
  const Expected controls[] = {
      {1, "OK", {281, 368, 50, 14}},
      {2, "Cancel", {338, 368, 50, 14}},
      {ids::kLevelList, nullptr, {7, 89, 381, 227}},
      {ids::kFileHeading, "Select an STL File", {7, 16, 381, 18}},
      {ids::kFileField, nullptr, {7, 36, 381, 16}},
      {ids::kLevelHeading, "Or generate from levels", {7, 63, 381, 22}},
      {ids::kPickHeading, "Or select in Mastercam", {7, 324, 157, 22}},
      {ids::kPickButton, "Select", {7, 343, 102, 14}},
      {ids::kToleranceLabel, "Triangulation tolerance:", {7, 370, 93, 12}},
      {ids::kToleranceField, nullptr, {95, 368, 106, 14}},
      {ids::kStatusLine, "", {7, 356, 134, 10}},
      {ids::kNameField, nullptr, {147, 342, 142, 14}},
  };
  for (const Expected& expected : controls) {
    SCOPED_TRACE(expected.id);
    wxWindow* control = picker->FindWindow(expected.id);
    ASSERT_NE(control, nullptr);
    const wxRect& du = expected.dialogUnits;
    EXPECT_EQ(control->GetPosition(), picker->ConvertDialogToPixels(du.GetPosition()));
    EXPECT_EQ(control->GetSize(), picker->ConvertDialogToPixels(du.GetSize()));
    if (expected.label) {
      EXPECT_EQ(control->GetLabel(), expected.label);
    }
  }
  // The template's ids are the ones Enter, Escape and the close box reach.
  EXPECT_EQ(picker->GetAffirmativeId(), 1);
  EXPECT_EQ(picker->GetEscapeId(), 2);
  EXPECT_EQ(picker->GetDefaultItem(), picker->FindWindow(1)) << "OK is the default button";
  EXPECT_EQ(Control<wxStaticText>(ids::kFileHeading)->GetFont().GetPointSize(), 14);
  EXPECT_EQ(Control<wxStaticText>(ids::kPickHeading)->GetFont().GetPointSize(), 14);
  EXPECT_EQ(Control<wxStaticText>(ids::kToleranceLabel)->GetFont().GetPointSize(), 8);
  EXPECT_EQ(tolerance()->GetValue(), "0.1000");
  ASSERT_EQ(levelList()->GetColumnCount(), 3);
  EXPECT_EQ(levelList()->GetColumnWidth(0) + levelList()->GetColumnWidth(1) +
                levelList()->GetColumnWidth(2),
            levelList()->GetClientSize().GetWidth())
      << "the columns fill the list";
}

TEST_F(StlPickerTest, FirstRequestListsLevelsUncheckedWithNothingToGenerate) {
  StartRequest();

  EXPECT_EQ(ListColumn(1), (std::vector<wxString>{"1", "3", "5"}));
  EXPECT_EQ(ListColumn(2), (std::vector<wxString>{"Base", "Column", "Table"}));
  EXPECT_EQ(ListColumn(0), (std::vector<wxString>{"", "", ""}));
  for (int row = 0; row < 3; ++row) EXPECT_FALSE(levelList()->IsItemChecked(row));
  EXPECT_TRUE(levelList()->IsEnabled());
  EXPECT_EQ(tolerance()->GetValue(), "0.1000");
  EXPECT_FALSE(tolerance()->IsEnabled());
  EXPECT_EQ(name()->GetValue(), "");
  EXPECT_FALSE(name()->IsEnabled());
  EXPECT_EQ(status()->GetLabel(), "");
  EXPECT_TRUE(picker->waiting());
}

TEST_F(StlPickerTest, CheckingALevelEnablesTheToleranceAndOkWritesItsFile) {
  StartRequest();

  levelList()->CheckItem(1, true);
  RunEventsFor(1ms);
  EXPECT_TRUE(tolerance()->IsEnabled());
  levelList()->CheckItem(1, false);
  RunEventsFor(1ms);
  EXPECT_FALSE(tolerance()->IsEnabled());

  levelList()->CheckItem(0, true);
  Screenshot("stl-picker.png");

  Click(ids::kOk);
  const std::string reply = Reply();
  EXPECT_EQ(reply.substr(0, reply.find('@')), folder.text() + "Base.stl");
  EXPECT_TRUE(std::filesystem::is_regular_file(folder.path() / "Base.stl"));
  EXPECT_TRUE(Hidden());
  EXPECT_FALSE(picker->waiting());
}

TEST_F(StlPickerTest, EscapeCancelAndCloseEachEndTheRequestWithAnEmptyReply) {
  const std::pair<const char*, std::function<void()>> dismissals[] = {
      {"Escape", [this] { PressEscape(); }},
      {"Cancel", [this] { Click(ids::kCancel); }},
      {"close", [this] { picker->Close(); }},
  };
  std::string chosen = folder.Write("chosen.stl", "solid\nendsolid\n").string();
  for (const auto& [how, dismiss] : dismissals) {
    SCOPED_TRACE(how);
    StartRequest();
    fileField()->SetValue(chosen);  // something OK would have sent
    dismiss();
    EXPECT_EQ(Reply(), "");
    EXPECT_TRUE(Hidden());
  }
  EXPECT_TRUE(shown.empty());
}

TEST_F(StlPickerTest, EnterActsAsOkAlsoWhileARowOfTheLevelListIsSelected) {
  wxUIActionSimulator user;
  const std::pair<const char*, std::function<wxWindow*()>> focusedControls[] = {
      {"level list", [this] { return levelList(); }},
      {"tolerance field", [this] { return tolerance(); }},
  };
  for (const auto& [what, control] : focusedControls) {
    SCOPED_TRACE(what);
    StartRequest();
    levelList()->CheckItem(0, true);
    levelList()->SetItemState(0, wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED,
                              wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED);
    RunEventsFor(1ms);
    control()->SetFocus();
    // Without a window manager the keyboard goes to the window under the pointer.
    const wxPoint middle = picker->GetScreenRect().GetPosition() + picker->GetSize() / 2;
    user.MouseMove(middle);
    ASSERT_TRUE(RunEventsUntil([&] {
      wxWindow* focus = wxWindow::FindFocus();
      return focus && (focus == control() || control()->IsDescendant(focus));
    })) << "never got the focus";

    user.Char(WXK_RETURN);

    ASSERT_TRUE(
        RunEventsUntil([this] { return pending.wait_for(0s) == std::future_status::ready; }, 5s))
        << "Enter did not act as OK";
    const std::string reply = pending.get();
    EXPECT_EQ(reply.substr(0, reply.find('@')), folder.text() + "Base.stl");
    EXPECT_TRUE(Hidden());
  }
}

TEST_F(StlPickerTest, PickInTheHostShowsTheCountAndAsksForAName) {
  std::vector<std::int32_t> nextPick = {21, 22, 23};
  bool pickerHiddenDuringPick = false;
  standin::SetInteractiveSelector([&](std::string_view, long) {
    pickerHiddenDuringPick = !picker->IsShown();
    return nextPick;
  });
  StartRequest();

  Click(ids::kPickButton);
  EXPECT_TRUE(pickerHiddenDuringPick);
  EXPECT_TRUE(picker->IsShown());
  EXPECT_EQ(status()->GetLabel(), "3 entities selected");
  EXPECT_TRUE(name()->IsEnabled());
  EXPECT_TRUE(tolerance()->IsEnabled());
  name()->SetValue("Spindle");
  Screenshot("stl-picker-pick.png");
  name()->SetValue("");

  Click(ids::kOk);
  RunEventsFor(1ms);
  ASSERT_EQ(shown.size(), 1u) << "no name given";
  EXPECT_TRUE(picker->waiting());

  nextPick.clear();
  Click(ids::kPickButton);
  EXPECT_EQ(status()->GetLabel(), "");
  EXPECT_FALSE(name()->IsEnabled());
  EXPECT_FALSE(tolerance()->IsEnabled());
}

TEST_F(StlPickerTest, NamedPickIsWrittenAndTheNextRequestStartsAfresh) {
  standin::SetInteractiveSelector([](std::string_view, long) {
    return std::vector<std::int32_t>{21, 22, 23};
  });
  StartRequest();
  levelList()->CheckItem(2, true);
  Click(ids::kPickButton);
  name()->SetValue("Spindle.v2");
  tolerance()->SetValue("0.0200");
  Click(ids::kOk);
  const std::string reply = Reply();
  EXPECT_EQ(reply.find(folder.text() + "Spindle.stl@"), 0u) << reply;
  EXPECT_NE(reply.find(";" + folder.text() + "Table.stl@"), std::string::npos) << reply;

  StartRequest();
  for (int row = 0; row < 3; ++row) EXPECT_FALSE(levelList()->IsItemChecked(row));
  EXPECT_EQ(status()->GetLabel(), "");
  EXPECT_EQ(name()->GetValue(), "");
  EXPECT_FALSE(name()->IsEnabled());
  EXPECT_EQ(tolerance()->GetValue(), "0.0200") << "the typed tolerance is kept";
  EXPECT_FALSE(tolerance()->IsEnabled());
}

TEST_F(StlPickerTest, RequestOnTheUiThreadReturnsAtOnceInsteadOfWaitingForItself) {
  EXPECT_EQ(picker->RequestStlPath(), "");
  EXPECT_FALSE(picker->IsShown());
  EXPECT_FALSE(picker->waiting());
}

TEST_F(StlPickerTest, CancellingFromAnotherThreadReleasesTheWaitingRequest) {
  StartRequest();
  std::thread([this] { picker->CancelRequest(); }).join();
  EXPECT_EQ(Reply(), "");
  EXPECT_TRUE(Hidden());
}

TEST_F(StlPickerTest, DestroyingThePickerReleasesTheWaitingRequest) {
  StartRequest();
  delete picker;
  picker = nullptr;
  EXPECT_EQ(pending.get(), "");
}

TEST_F(StlPickerTest, WorkingFolderSetFromAnotherThreadIsUsedOnOk) {
  TestFolder other;
  std::thread([&] { picker->SetStlFolder(other.text()); }).join();
  StartRequest();
  levelList()->CheckItem(0, true);
  Click(ids::kOk);
  EXPECT_EQ(Reply().find(other.text() + "Base.stl@"), 0u);
}

}  // namespace
}  // namespace rigwright
