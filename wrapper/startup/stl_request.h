// The wrapper's end of an STL request: the editor asks for solids, the add-in's picker answers
// over the pipe, and when the add-in cannot be reached the user picks STL files in a file dialog.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace rigwright {

// What an STL request needs from the person in front of the screen.
class StlRequestUser {
 public:
  virtual ~StlRequestUser() = default;
  // Lets the user pick STL files; their full paths, or none when the user cancelled.
  virtual std::vector<std::string> ChooseStlFiles() = 0;
  // Tells the user that `count` chosen files did not fit in the editor's buffer.
  virtual void TellFilesLeftOut(int count) = 0;
  // Tells the user why the chosen file cannot go to the editor (`text`, naming it), before the
  // file dialog is offered again.
  virtual void TellFileRefused(const std::string& text) = 0;
  // Runs `exchange`, which waits on the pipe for as long as the user works in the add-in's picker,
  // and returns once it has ended. `exchange` throws nothing. The default runs it on the calling
  // thread; a user in front of windows keeps them painted and their timers running meanwhile,
  // without taking input, as a modal dialog does.
  virtual void AwaitExchange(const std::function<void()>& exchange) { exchange(); }
};

// Sends the STL request on `pipeName` (after allowing the add-in to bring its picker to the
// foreground) through `user.AwaitExchange`, and returns the reply, or what the user chooses through
// `user` when the pipe is missing, stays busy for `kBusyPipeWait`
// (five seconds), or the exchange fails. A file
// whose path holds ";" is refused and the user chooses again. An empty reply is an answer
// (nothing chosen) and is returned as it is. The result never exceeds what the
// engine's buffer holds without its terminating zero; longer lists lose whole entries and the user
// is told.
std::string RequestStlFiles(std::string_view pipeName, StlRequestUser& user);

// Copies `reply` into the engine's buffer of 10240 bytes, up to its first zero byte, and
// terminates it.
void CopyToEngineBuffer(std::string_view reply, char* buffer);

// The pipe name the STL callback uses; set once at start-up, before the editor runs.
void SetWrapperPipeName(std::string pipeName);
const std::string& WrapperPipeName();

// Tells the add-in on `pipeName` where this run's working folder is (UTF-8, ending in its
// separator). An add-in busy with another connection is waited for up to `kBusyPipeWait`; nothing
// happens when no add-in listens.
void AnnounceWorkingFolder(std::string_view pipeName, std::string_view folder);

}  // namespace rigwright
