// The wrapper's start-up options and the grammar of its command line. The add-in starts the
// wrapper with four options; each is looked up on its own anywhere in the command-line text.
#pragma once

#include <string>
#include <string_view>

#include "common/pipe_protocol.h"

namespace rigwright {

struct WrapperOptions {
  std::string language = "en-US";
  std::string machineFolder;  // the machine library folder handed to the editor
  int defaultUnit = 0;        // 0 metric, 1 inch; passed on unchanged
  std::string pipeName = std::string(kDefaultPipeName);
};

// The options found in `commandLine` (the text after the program name), over `defaults`.
//   --language="..."  --machineDirectory="..."  --pipeName="..."  take the text between the
//   first double quote after the option name and the next one (or the end of the text); no
//   escapes, so a trailing '\' stays part of the value. An option with no double quote after
//   its name keeps its default.
//   --defaultUnit=N  reads a decimal integer right after '=' (leading blanks, an optional sign);
//   anything else there gives 0.
// Names are exact and case-sensitive; only the first occurrence of each counts.
WrapperOptions ParseWrapperOptions(std::string_view commandLine, WrapperOptions defaults);

// The command-line text of a program started with `argv`: its arguments after the program name
// joined with single blanks.
std::string JoinCommandLine(int argc, const char* const* argv);

// What follows the program name in a whole Windows command line, the way the system's start-up
// code hands it to a program's WinMain: a program name in double quotes runs to the next double
// quote, one without them to the first blank; the blanks after it are skipped. Nothing else of
// the text is changed.
std::string_view CommandLineAfterProgramName(std::string_view commandLine);

}  // namespace rigwright
