// Starting another program and asking whether it still runs.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace rigwright {

class ChildProcess {
 public:
  virtual ~ChildProcess() = default;  // neither ends nor waits for the program

  // The system's identifier of the process, as window managers know it.
  virtual std::int64_t id() const = 0;
  // True while the program runs. Once it has ended, its exit code is kept and false is returned.
  virtual bool IsRunning() = 0;
  // Blocks until the program ends and returns its exit code; -1 when it was killed by a signal.
  virtual int WaitForExit() = 0;
};

// Starts `program` (a path) with `arguments` as its arguments after the program name, each one
// passed as it is. The child inherits the environment and no descriptor of ours but the standard
// three. Null with `error` set when the program cannot be started.
std::unique_ptr<ChildProcess> StartProcess(const std::string& program,
                                           const std::vector<std::string>& arguments,
                                           std::string* error);

}  // namespace rigwright
