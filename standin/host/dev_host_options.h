// The development host application's command line:
//   RigwrightDevHost [--part <file>] [--addin <library>] [--host-version <n>]
//                    [--selection-script <file>] [--run-rigwright] [--help]
// --run-rigwright presses the add-in's "Rigwright" command once the window is up; with
// --selection-script every interactive selection takes its answer from the script instead of
// asking, so that the host can run without anyone at the screen. --help prints the options and
// ends, without needing a display.
#pragma once

#include <string>
#include <vector>

namespace rigwright::standin {

// The version this host reports to the add-ins it loads.
inline constexpr int kDevHostVersion = 2450;

// The add-in loaded when --addin is not given, from the program's own folder: the system's file
// name for the add-in library (set by the build).
inline constexpr char kAddinFileName[] = RIGWRIGHT_ADDIN_FILE_NAME;

struct DevHostOptions {
  std::string partFile;      // empty: start with an empty part
  std::string addinLibrary;  // empty: kAddinFileName beside the program
  int hostVersion = kDevHostVersion;
  std::string selectionScript;  // empty: selections ask the user
  bool runRigwright = false;
  bool showHelp = false;  // print DevHostUsage() and end instead of running
};

// What --help prints: the synopsis and one line per option.
std::string DevHostUsage();

// Reads the arguments after the program name. False, with `error` naming the option at fault,
// for an unknown option, a missing value or a version that is not a whole number.
bool ParseDevHostOptions(const std::vector<std::string>& arguments, DevHostOptions* options,
                         std::string* error);

}  // namespace rigwright::standin
