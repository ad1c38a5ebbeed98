// The scripted user of automated runs (RIGWRIGHT_UI_SCRIPT), for the development host's windows.
#pragma once

namespace rigwright::standin {

// Starts the script that RIGWRIGHT_UI_SCRIPT names, if any, on the host's windows.
void StartScriptedUser();

}  // namespace rigwright::standin
