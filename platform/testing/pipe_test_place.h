// Test support: a pipe name that no other test meets. On Linux the pipe lives in a private
// runtime folder of the test's own; on Windows pipes are machine-wide, so the name is its own.
#pragma once

#include <memory>
#include <string>

namespace rigwright {

class PipeTestPlace {
 public:
  PipeTestPlace();
  ~PipeTestPlace();
  PipeTestPlace(const PipeTestPlace&) = delete;
  PipeTestPlace& operator=(const PipeTestPlace&) = delete;

  const std::string& name() const { return name_; }

 private:
  struct Setting;  // what the platform keeps for the test's time
  std::unique_ptr<Setting> setting_;
  std::string name_;
};

}  // namespace rigwright
