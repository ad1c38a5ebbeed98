// The scripted user on real windows: a small dialog is driven through a script, including a
// message box that is answered without being shown.
#include "standin/automation/ui_script.h"

#include <gtest/gtest.h>
#include <wx/button.h>
#include <wx/choice.h>
#include <wx/listctrl.h>
#include <wx/msgdlg.h>
#include <wx/textctrl.h>
#include <wx/timer.h>

#include <fstream>

#include "common/testing/scoped_environment.h"
#include "common/testing/test_folder.h"

namespace rigwright::automation {
namespace {

TEST(UiScriptParseTest, ReadsEveryInstruction) {
  UiScript script;
  std::string error;
  ASSERT_TRUE(ParseUiScript(R"script(# a comment

window "Export" select 1001 "Kelmora bundle (.OrvaneSimBundle)"
window "Export" text 1002 "/out/x y.OrvaneSimBundle"
window "STL picker" check 1001 "10"
window "Export" click 1
window "Export" screenshot "/out/export.png"
messages "/out/messages.txt"
answer no
)script", &script, &error)) << error;
  ASSERT_EQ(script.actions.size(), 5u);
  EXPECT_EQ(script.actions[0].window, "Export");
  EXPECT_EQ(script.actions[0].verb, "select");
  EXPECT_EQ(script.actions[0].controlId, 1001);
  EXPECT_EQ(script.actions[0].argument, "Kelmora bundle (.OrvaneSimBundle)");
  EXPECT_EQ(script.actions[1].argument, "/out/x y.OrvaneSimBundle");
  EXPECT_EQ(script.actions[3].verb, "click");
  EXPECT_EQ(script.actions[4].argument, "/out/export.png");
  EXPECT_EQ(script.messagesFile, "/out/messages.txt");
  EXPECT_FALSE(script.answerYes);
}

TEST(UiScriptParseTest, ExpandsEnvironmentVariables) {
  ScopedEnvironment environment;
  environment.Set("RIGWRIGHT_TEST_OUT", "/tmp/out dir");
  environment.Set("RIGWRIGHT_TEST_UNSET", nullptr);
  UiScript script;
  std::string error;
  ASSERT_TRUE(ParseUiScript("window \"Export*\" screen \"${RIGWRIGHT_TEST_OUT}/a.png\"", &script,
                            &error)) << error;
  EXPECT_EQ(script.actions.at(0).argument, "/tmp/out dir/a.png");
  EXPECT_EQ(script.actions.at(0).window, "Export*");
  EXPECT_FALSE(ParseUiScript("messages \"${RIGWRIGHT_TEST_UNSET}/m\"", &script, &error));
  EXPECT_EQ(error, "line 1: ${RIGWRIGHT_TEST_UNSET} is not set");
}

TEST(UiScriptParseTest, ReadsLinesEndingInCarriageReturnAndLineFeed) {
  UiScript script;
  std::string error;
  ASSERT_TRUE(
      ParseUiScript("messages \"/out/m.txt\"\r\nwindow \"Export\" click 1\r\n", &script, &error))
      << error;
  EXPECT_EQ(script.messagesFile, "/out/m.txt");
  ASSERT_EQ(script.actions.size(), 1u);
  EXPECT_EQ(script.actions[0].controlId, 1);
}

TEST(UiScriptParseTest, NamesTheLineItCannotRead) {
  UiScript script;
  std::string error;
  for (const char* bad : {"window \"X\" click", "window \"X\" click abc", "window \"X\" fly 1",
                          "window \"X text 1 \"a\"", "answer maybe", "frobnicate"}) {
    EXPECT_FALSE(ParseUiScript(std::string("# ok\n") + bad, &script, &error)) << bad;
    EXPECT_EQ(error.rfind("line 2:", 0), 0u) << error;
  }
}

// A dialog like the ones the script drives: a choice, a text field, a checked list and a button
// whose handler asks a question.
class SampleDialog : public wxDialog {
 public:
  SampleDialog() : wxDialog(nullptr, wxID_ANY, "Sample window") {
    choice = new wxChoice(this, 1001, wxPoint(5, 5));
    choice->Append("first");
    choice->Append("second");
    choice->Bind(wxEVT_CHOICE, [this](wxCommandEvent& e) { chosen = e.GetInt(); });
    text = new wxTextCtrl(this, 1002, "", wxPoint(5, 40));
    list = new wxListCtrl(this, 1003, wxPoint(5, 80), wxSize(200, 100), wxLC_REPORT);
    list->EnableCheckBoxes();
    list->InsertColumn(0, "Name");
    list->InsertItem(0, "Base");
    list->InsertItem(1, "Fixtures");
    auto* ok = new wxButton(this, 1, "OK", wxPoint(5, 200));
    ok->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) {
      answer = wxMessageBox("Really?", "Question", wxYES_NO | wxICON_QUESTION, this);
      pressed = true;
      if (IsModal()) EndModal(wxID_OK);
    });
  }
  wxChoice* choice;
  wxTextCtrl* text;
  wxListCtrl* list;
  int chosen = -1;
  int answer = 0;
  bool pressed = false;
};

TEST(UiScriptPlayTest, DrivesAShownWindowAndAnswersItsQuestion) {
  TestFolder dir;
  const std::string log = dir.text() + "messages.txt";
  const std::string picture = dir.text() + "shots/sample.png";
  const auto script = dir.Write("script.txt",
      "window \"Sample*\" select 1001 \"second\"\n"
      "window \"Sample window\" text 1002 \"/out/M\xC3\xBChle.OrvaneSimBundle\"\n"
      "window \"Sample window\" check 1003 \"Fixtures\"\n"
      "window \"Sample window\" screenshot \"" + picture + "\"\n"
      "window \"Sample window\" click 1\n"
      "messages \"" + log + "\"\nanswer no\n");
  ScopedEnvironment environment;
  environment.Set("RIGWRIGHT_UI_SCRIPT", Utf8FromPath(script));

  // Shown modally, as the stand-ins' windows and the dialogs the script drives are: the script
  // ticks on a timer, which a real event loop delivers (yielding does not, on every system).
  SampleDialog dialog;
  wxTimer giveUp;
  giveUp.Bind(wxEVT_TIMER, [&dialog](wxTimerEvent&) { dialog.EndModal(wxID_CANCEL); });
  giveUp.StartOnce(20000);
  StartUiScriptFromEnvironment();
  dialog.ShowModal();

  EXPECT_TRUE(dialog.pressed);
  EXPECT_EQ(dialog.chosen, 1);
  EXPECT_EQ(dialog.text->GetValue().utf8_string(), "/out/M\xC3\xBChle.OrvaneSimBundle");
  EXPECT_FALSE(dialog.list->IsItemChecked(0));
  EXPECT_TRUE(dialog.list->IsItemChecked(1));
  EXPECT_EQ(dialog.answer, wxNO);
  EXPECT_TRUE(std::filesystem::is_regular_file(picture));
  std::ifstream in(log);
  std::string line;
  std::getline(in, line);
  EXPECT_EQ(line, "Really?");
}

}  // namespace
}  // namespace rigwright::automation
