// Test support: sets environment variables for one test and restores them when it ends. Links
// with rigwright_platform.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/environment.h"

namespace rigwright {

class ScopedEnvironment {
 public:
  ScopedEnvironment() = default;
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;
  ~ScopedEnvironment() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
      SetEnvironmentValue(it->first, it->second ? it->second->c_str() : nullptr);
    }
  }

  // Sets `name` to `value`; a null value removes the variable.
  void Set(const std::string& name, const char* value) {
    saved_.emplace_back(name, EnvironmentValue(name));
    SetEnvironmentValue(name, value);
  }
  void Set(const std::string& name, const std::string& value) { Set(name, value.c_str()); }

 private:
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

}  // namespace rigwright
