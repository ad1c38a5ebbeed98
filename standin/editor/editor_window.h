// The development editor's window: the machines of the folder, the components of the selected
// one, and buttons for the session's actions. Closing it ends the editing run.
#pragma once

#include <wx/dialog.h>

#include <vector>

#include "standin/editor/editor_session.h"

class wxListBox;
class wxListView;
class wxStaticText;

namespace rigwright::editor {

class EditorWindow final : public wxDialog {
 public:
  // With `script` non-empty, the window runs its actions once it is shown and then closes;
  // each action's outcome goes to stderr, and the first failing action ends the script.
  EditorWindow(EditorSession& session, std::vector<ScriptAction> script);

 private:
  void BuildControls();
  void Refresh(const std::string& status);
  void Act(const ScriptAction& action);
  void RunScript();
  void OnMachineSelected();
  void OnNewMachine();

  EditorSession& session_;
  std::vector<ScriptAction> script_;
  wxListBox* machines_ = nullptr;
  wxListView* components_ = nullptr;
  wxStaticText* status_ = nullptr;
};

}  // namespace rigwright::editor
