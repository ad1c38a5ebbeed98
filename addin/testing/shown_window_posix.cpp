#include <wx/toplevel.h>

#include "addin/testing/shown_window.h"

namespace rigwright::testing {

bool IsWindowShown(const std::string& title) {
  for (const wxWindow* window : wxTopLevelWindows) {
    if (window->IsShown() && window->GetLabel().utf8_string() == title) return true;
  }
  return false;
}

}  // namespace rigwright::testing
