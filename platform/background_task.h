// One long-running task on a thread apart from its owner's, such as the server loop of a pipe.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace rigwright {

class BackgroundTask {
 public:
  // Waits until the task has returned; a task that has not started yet is not started at all
  // (on Windows; elsewhere it starts at once). The owner makes the task return first.
  //
  // On Windows this may run while the system holds its loader lock, when a DLL that owns the task
  // is being unloaded: the task then runs on a thread of the system's pool, which goes back to the
  // pool when the task returns. A thread of its own could not end while the lock is held, since
  // ending a thread takes that lock too, and waiting for it there would never finish.
  virtual ~BackgroundTask() = default;
};

// Starts `task` on another thread. Null, with `error` set, when no thread could be had.
std::unique_ptr<BackgroundTask> StartBackgroundTask(std::function<void()> task, std::string* error);

}  // namespace rigwright
