#include <wx/app.h>

#include "standin/editor/engine_toolkit.h"

namespace rigwright::editor {

bool EnsureEngineToolkit(std::string* error) {
  if (wxTheApp) return true;
  *error = "the host has not started the toolkit";
  return false;
}

}  // namespace rigwright::editor
