// Test support for the add-in's windows in programs built with the shared toolkit main: tests run
// the UI thread's events by hand, while other threads wait for the UI.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>

class wxWindow;

namespace rigwright::testing {

// Runs the UI thread's events (toolkit events, calls queued with CallAfter, idle processing)
// until `done` holds. False if it still does not hold after `limit`, which only guards against a
// test that would otherwise hang.
bool RunEventsUntil(const std::function<bool()>& done,
                    std::chrono::milliseconds limit = std::chrono::seconds(20));

// Runs the UI thread's events for `duration`, so that windows get drawn.
void RunEventsFor(std::chrono::milliseconds duration);

// Saves what `window` shows on the screen as a PNG file, read back from the X server (a screen
// device context can hand back an earlier picture of the same area). False if it could not be
// captured.
bool SaveScreenCapture(wxWindow& window, const std::filesystem::path& file);

}  // namespace rigwright::testing
