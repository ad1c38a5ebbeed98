#include "standin/editor/editor_session.h"

#include <gtest/gtest.h>

#include <cstring>

#include "common/testing/test_folder.h"

namespace rigwright::editor {
namespace {

// What the stand-in callbacks answer and what they were given.
std::string stlReply;
std::vector<std::string> exported;

void AnswerStl(char* buffer) { std::strcpy(buffer, stlReply.c_str()); }
void RecordExport(const char* machineFile) { exported.push_back(machineFile); }

TEST(ParseScriptTest, ActionsOneALineWithCommentsAndBlankLinesSkipped) {
  std::vector<ScriptAction> actions;
  std::string error;
  ASSERT_TRUE(ParseScript("# make a mill\r\nnew Mill 3X\n\nadd-solid\nselect Lathe\nexport\nclose",
                          &actions, &error))
      << error;
  ASSERT_EQ(actions.size(), 5u);
  EXPECT_EQ(actions[0].verb, "new");
  EXPECT_EQ(actions[0].argument, "Mill 3X");
  EXPECT_EQ(actions[2].argument, "Lathe");
  EXPECT_EQ(actions[4].verb, "close");
}

TEST(ParseScriptTest, ABadLineIsNamedByNumber) {
  for (const char* script : {"new Mill\nadd-solids\n", "new Mill\nnew\n", "close\nexport now\n"}) {
    std::vector<ScriptAction> actions;
    std::string error;
    EXPECT_FALSE(ParseScript(script, &actions, &error)) << script;
    EXPECT_NE(error.find("line 2"), std::string::npos) << error;
  }
}

TEST(EditorSessionTest, AddSolidAsksTheCallbackAndExportHandsOverTheMachineFile) {
  TestFolder library, parts;
  stlReply = parts.Write("Spindle.stl", "solid").string() + "@0xff8000";
  exported.clear();
  EditorSession session(library.path().string(), &AnswerStl, &RecordExport);
  std::string message;

  ASSERT_TRUE(session.Run({"new", "Mill"}, &message)) << message;
  ASSERT_TRUE(session.Run({"add-solid", ""}, &message)) << message;
  ASSERT_EQ(session.SelectedComponents().size(), 1u);
  EXPECT_EQ(session.SelectedComponents()[0].color, "0xff8000");
  ASSERT_TRUE(session.Run({"export", ""}, &message)) << message;
  EXPECT_EQ(exported, std::vector<std::string>{library.text() + "Mill.mcfg"});
}

TEST(EditorSessionTest, ActionsNeedASelectedMachineAndTheirCallbacks) {
  TestFolder library;
  EditorSession session(library.text(), nullptr, nullptr);
  std::string message;
  EXPECT_FALSE(session.Run({"add-solid", ""}, &message));
  EXPECT_EQ(message, "no machine is selected");
  EXPECT_FALSE(session.Run({"select", "Missing"}, &message));
  ASSERT_TRUE(session.Run({"new", "Mill"}, &message));
  EXPECT_FALSE(session.Run({"add-solid", ""}, &message));
  EXPECT_EQ(message, "no STL callback has been registered");
  EXPECT_FALSE(session.Run({"export", ""}, &message));
  EXPECT_EQ(message, "no export callback has been registered");
}

}  // namespace
}  // namespace rigwright::editor
