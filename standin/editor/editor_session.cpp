#include "standin/editor/editor_session.h"

#include <algorithm>
#include <exception>

#include "common/path_text.h"
#include "common/pipe_protocol.h"

namespace rigwright::editor {
namespace {

bool Fail(std::string* message, std::string text) {
  *message = std::move(text);
  return false;
}

}  // namespace

bool ParseScript(std::string_view text, std::vector<ScriptAction>* actions, std::string* error) {
  int lineNumber = 0;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    ++lineNumber;
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (line.empty() || line.starts_with('#')) continue;
    const std::size_t blank = line.find(' ');
    ScriptAction action{std::string(line.substr(0, blank)),
                        blank == std::string_view::npos ? "" : std::string(line.substr(blank + 1))};
    const bool named = action.verb == "new" || action.verb == "select";
    const bool bare =
        action.verb == "add-solid" || action.verb == "export" || action.verb == "close";
    if (!(named && !action.argument.empty()) && !(bare && action.argument.empty())) {
      *error =
          "script line " + std::to_string(lineNumber) + " is not an action: " + std::string(line);
      return false;
    }
    actions->push_back(std::move(action));
  }
  return true;
}

EditorSession::EditorSession(std::string machineFolder, MavriloCreateStlFunc createStl,
                             MavriloExportFunc exportMachine)
    : machineFolder_(WithTrailingSeparator(machineFolder)),
      createStl_(createStl),
      exportMachine_(exportMachine) {}

std::vector<Component> EditorSession::SelectedComponents() const {
  std::string ignored;
  return selected_.empty() ? std::vector<Component>()
                           : ListComponents(machineFolder_, selected_, &ignored);
}

bool EditorSession::NewMachine(std::string_view name, std::string* message) {
  if (!CreateMachine(machineFolder_, name, message)) return false;
  selected_ = name;
  *message = "created machine " + selected_;
  return true;
}

bool EditorSession::Select(std::string_view name, std::string* message) {
  const auto machines = Machines();
  if (std::find(machines.begin(), machines.end(), name) == machines.end()) {
    *message = "no machine \"" + std::string(name) + "\" in " + machineFolder_;
    return false;
  }
  selected_ = name;
  *message = "selected machine " + selected_;
  return true;
}

bool EditorSession::AddSolid(std::string* message) {
  if (selected_.empty()) return Fail(message, "no machine is selected");
  if (!createStl_) return Fail(message, "no STL callback has been registered");
  std::string buffer(kStlBufferSize, '\0');
  createStl_(buffer.data());
  buffer.resize(buffer.find('\0'));
  const SolidsAdded result = AddSolids(machineFolder_, selected_, ParseStlReply(buffer));
  *message = "added " + std::to_string(result.added) + " solid(s) to " + selected_;
  for (const std::string& problem : result.problems) *message += "\n" + problem;
  return result.problems.empty();
}

bool EditorSession::Export(std::string* message) {
  if (selected_.empty()) return Fail(message, "no machine is selected");
  if (!SaveMachine(machineFolder_, selected_, message)) return false;
  if (!exportMachine_) return Fail(message, "no export callback has been registered");
  const std::string machineFile = machineFolder_ + selected_ + ".mcfg";
  exportMachine_(machineFile.c_str());
  *message = "exported " + machineFile;
  return true;
}

bool EditorSession::Run(const ScriptAction& action, std::string* message) {
  try {
    if (action.verb == "new") return NewMachine(action.argument, message);
    if (action.verb == "select") return Select(action.argument, message);
    if (action.verb == "add-solid") return AddSolid(message);
    if (action.verb == "export") return Export(message);
    return true;
  } catch (const std::exception& error) {
    *message = action.verb + " failed: " + error.what();
    return false;
  }
}

}  // namespace rigwright::editor
