// Test support: this process's support log in a fresh file for one test, read back whole. Lines go
// nowhere again when it ends. Links with rigwright_support_log.
#pragma once

#include <fstream>
#include <sstream>
#include <string>
#include <string_view>

#include "common/support_log.h"
#include "common/testing/test_folder.h"

namespace rigwright {

class CapturedSupportLog {
 public:
  explicit CapturedSupportLog(std::string_view program = "RigwrightTest") {
    OpenSupportLogAt(program, file());
  }
  ~CapturedSupportLog() { CloseSupportLog(); }

  std::filesystem::path file() const { return folder_.path() / "rigwright.log"; }
  std::string Text() const {
    std::ostringstream text;
    text << std::ifstream(file(), std::ios::binary).rdbuf();
    return text.str();
  }

 private:
  TestFolder folder_;
};

}  // namespace rigwright
