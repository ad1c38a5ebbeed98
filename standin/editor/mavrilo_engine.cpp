// The development editor engine (MavriloDll.dll on Windows, libMavriloDll.so elsewhere): the
// three entry points the wrapper binds.
// Setting MAVRILO_SCRIPT to a script file runs its actions (see editor_session.h) instead of
// waiting for clicks.
#include <cstdint>
#include <cstdio>
#include <exception>
#include <fstream>
#include <iterator>

#include "common/path_text.h"
#include "platform/environment.h"
#include "standin/automation/ui_script.h"
#include "standin/editor/editor_session.h"
#include "standin/editor/editor_window.h"
#include "standin/editor/engine_toolkit.h"

// Exported through the default visibility on Linux and through MavriloDll.def on Windows.
#define MAVRILO_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

MavriloCreateStlFunc createStl = nullptr;
MavriloExportFunc exportMachine = nullptr;

// The script's actions; false when a script is named but cannot be used.
bool LoadScript(std::vector<rigwright::editor::ScriptAction>* actions) {
  const std::string path = rigwright::EnvironmentValue("MAVRILO_SCRIPT").value_or("");
  if (path.empty()) return true;
  std::ifstream in(rigwright::PathFromUtf8(path), std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "mavrilo: cannot open script %s\n", path.c_str());
    return false;
  }
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::string error;
  if (!rigwright::editor::ParseScript(text, actions, &error)) {
    std::fprintf(stderr, "mavrilo: %s: %s\n", path.c_str(), error.c_str());
    return false;
  }
  if (actions->empty()) actions->push_back({"close", ""});  // an empty script still ends
  return true;
}

}  // namespace

MAVRILO_EXPORT void SetCreateSTLFunc(MavriloCreateStlFunc callback) { createStl = callback; }

MAVRILO_EXPORT void SetExportFunc(MavriloExportFunc callback) { exportMachine = callback; }

MAVRILO_EXPORT int RunMavrilo(const char* machineFolder, std::int32_t machineFolderLength,
                              const char*, std::int32_t, std::int32_t, const char*, std::int32_t,
                              std::int64_t) {
  try {
    if (std::string error; !rigwright::editor::EnsureEngineToolkit(&error)) {
      std::fprintf(stderr, "mavrilo: %s\n", error.c_str());
      return 1;
    }
    std::vector<rigwright::editor::ScriptAction> script;
    if (!LoadScript(&script)) return 1;
    rigwright::editor::EditorSession session(
        std::string(machineFolder, static_cast<std::size_t>(machineFolderLength)), createStl,
        exportMachine);
    rigwright::editor::EditorWindow window(session, std::move(script));
    // A scripted user for the wrapper's own dialogs, when a run is automated.
    rigwright::automation::StartUiScriptFromEnvironment();
    window.ShowModal();
    return 0;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "mavrilo: %s\n", error.what());
    return 1;
  }
}
