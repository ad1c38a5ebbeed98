// Test support for GUI tests: letting windows paint, and saving what they show.
#pragma once

#include <wx/app.h>
#include <wx/bitmap.h>
#include <wx/dcmemory.h>
#include <wx/dcscreen.h>
#include <wx/window.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

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
inline bool SaveScreenshot(wxWindow* window, const std::filesystem::path& file) {
  window->Raise();
  window->Update();
  LetWindowsSettle();
  const wxRect rect = window->GetScreenRect();
  if (rect.IsEmpty()) return false;
  std::filesystem::create_directories(file.parent_path());
  wxBitmap bitmap(rect.GetWidth(), rect.GetHeight());
  {
    wxScreenDC screen;
    wxMemoryDC memory(bitmap);
    memory.Blit(0, 0, rect.GetWidth(), rect.GetHeight(), &screen, rect.GetX(), rect.GetY());
  }
  return bitmap.SaveFile(file.string(), wxBITMAP_TYPE_PNG);
}

}  // namespace rigwright::testing
