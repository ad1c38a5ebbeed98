// What the development editor does, apart from its window: the machine folder it works in, the
// selected machine, and the actions its buttons and its script run.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "standin/editor/editor_machine.h"
#include "wrapper/startup/editor_engine_api.h"

namespace rigwright::editor {

// One scripted action: "new <name>", "select <name>", "add-solid", "export" or "close".
struct ScriptAction {
  std::string verb;
  std::string argument;
};

// The actions of a script, one per line; blank lines and lines starting with '#' are skipped.
// False (with `error` naming the line) when a line is not an action.
bool ParseScript(std::string_view text, std::vector<ScriptAction>* actions, std::string* error);

class EditorSession {
 public:
  EditorSession(std::string machineFolder, MavriloCreateStlFunc createStl,
                MavriloExportFunc exportMachine);

  const std::string& machineFolder() const { return machineFolder_; }
  const std::string& selected() const { return selected_; }  // empty when none
  std::vector<std::string> Machines() const { return ListMachines(machineFolder_); }
  std::vector<Component> SelectedComponents() const;

  // Each returns a description of what happened for the user, or of what went wrong.
  bool NewMachine(std::string_view name, std::string* message);
  bool Select(std::string_view name, std::string* message);
  // Asks the wrapper for solids through the STL callback and adds them to the selected machine.
  bool AddSolid(std::string* message);
  // Saves the selected machine and hands its machine file to the export callback.
  bool Export(std::string* message);
  // Runs one scripted action ("close" is the caller's to handle).
  bool Run(const ScriptAction& action, std::string* message);

 private:
  std::string machineFolder_;  // ends in '/'
  std::string selected_;
  MavriloCreateStlFunc createStl_;
  MavriloExportFunc exportMachine_;
};

}  // namespace rigwright::editor
