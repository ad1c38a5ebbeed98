// How the system asks the development host to end (SIGTERM and SIGINT; on Windows Ctrl-C and
// Ctrl-Break or the console closing), answered by closing the main window as the user would, so
// that the add-in is unloaded and its clean-up runs.
#pragma once

class wxApp;

namespace rigwright::standin {

// From now on an end request closes the application's top window.
void CloseTopWindowOnEndRequests(wxApp& app);

}  // namespace rigwright::standin
