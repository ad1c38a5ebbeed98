// libMavriloDll.so, the development editor engine: the three entry points the wrapper binds.
// Setting MAVRILO_SCRIPT to a script file runs its actions (see editor_session.h) instead of
// waiting for clicks.
#include <wx/app.h>

#include <cstdint>
#include <cstdio>
#include <exception>
#include <fstream>
#include <iterator>

#include "standin/automation/ui_script.h"
#include "standin/editor/editor_session.h"
#include "standin/editor/editor_window.h"

#define MAVRILO_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

MavriloCreateStlFunc createStl = nullptr;
MavriloExportFunc exportMachine = nullptr;

// The script's actions; false when a script is named but cannot be used.
bool LoadScript(std::vector<rigwright::editor::ScriptAction>* actions) {
  const char* path = std::getenv("MAVRILO_SCRIPT");
  if (!path || !*path) return true;
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "mavrilo: cannot open script %s\n", path);
    return false;
  }
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::string error;
  if (!rigwright::editor::ParseScript(text, actions, &error)) {
    std::fprintf(stderr, "mavrilo: %s: %s\n", path, error.c_str());
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
    if (!wxTheApp) {
      std::fputs("mavrilo: the host has not started the toolkit\n", stderr);
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
