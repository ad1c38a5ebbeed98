// The add-in's life in the host process. The system's loader starts and ends it (on load and
// unload of the library: entry_points_posix.cpp, entry_points_win32.cpp); the entry points run
// in between, on the host's UI thread.
#pragma once

namespace rigwright {

// Makes the toolkit ready for the add-in's windows. Where the add-in shares the host's toolkit
// there is nothing to do; on Windows the add-in brings a toolkit of its own, started here at the
// first call. False when the add-in cannot show windows; the entry point then does nothing.
bool ReadyAddinToolkit();

// Ends what the add-in keeps for this load, if anything: the pipe link (its thread ended, the
// pipe closed) and the add-in's windows. Runs as the add-in is unloaded, on the thread that
// unloads it.
void EndAddinState();

}  // namespace rigwright
