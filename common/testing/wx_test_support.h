// Test support for GUI tests: letting windows paint, and saving what they show.
#pragma once

#include <wx/app.h>
#include <wx/image.h>
#include <wx/window.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "platform/screen_capture.h"

namespace rigwright::testing {

// Runs the event loop for a while so that shown windows are mapped and painted.
inline void LetWindowsSettle(int milliseconds = 300) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  while (std::chrono::steady_clock::now() < end) {
    wxTheApp->Yield(true);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

// Saves what `window` shows on the screen as a PNG file; false when nothing could be captured.
// Links with rigwright_platform_window.
inline bool SaveScreenshot(wxWindow* window, const std::filesystem::path& file) {
  window->Raise();
  window->Update();
  LetWindowsSettle();
  const wxRect rect = window->GetScreenRect();
  ScreenPixels pixels;
  if (!CaptureScreenArea(rect.GetX(), rect.GetY(), rect.GetWidth(), rect.GetHeight(), &pixels)) {
    return false;
  }
  std::filesystem::create_directories(file.parent_path());
  wxImage image(pixels.width, pixels.height, pixels.rgb.data(), /*static_data=*/true);
  return image.SaveFile(file.string(), wxBITMAP_TYPE_PNG);
}

}  // namespace rigwright::testing
