#include <stdlib.h>

#include "platform/environment.h"

namespace rigwright {

std::optional<std::string> EnvironmentValue(const std::string& name) {
  const char* value = ::getenv(name.c_str());
  return value ? std::optional<std::string>(value) : std::nullopt;
}

void SetEnvironmentValue(const std::string& name, const char* value) {
  if (value) {
    ::setenv(name.c_str(), value, 1);
  } else {
    ::unsetenv(name.c_str());
  }
}

}  // namespace rigwright
