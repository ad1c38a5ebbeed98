// The process's environment variables as UTF-8 text, whatever the system's code page. On Windows
// a value set here is seen by EnvironmentValue and by the programs started later, not
// necessarily by the C runtime's getenv.
#pragma once

#include <optional>
#include <string>

namespace rigwright {

// The value of `name`; nothing when it is not set.
std::optional<std::string> EnvironmentValue(const std::string& name);

// Sets `name` to `value` for this process and the programs it starts; a null `value` removes it.
// On Windows an empty value also removes the variable: the system keeps no empty ones.
void SetEnvironmentValue(const std::string& name, const char* value);

}  // namespace rigwright
