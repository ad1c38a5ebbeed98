#include "common/support_log.h"

// Placeholder until the file-backed log lands: every line goes nowhere, as when the log cannot be
// opened.
namespace rigwright {

void OpenSupportLog(std::string_view) {}
void OpenSupportLogAt(std::string_view, const std::filesystem::path&) {}
void CloseSupportLog() {}
void Log(LogLevel, std::string_view) {}
std::filesystem::path SupportLogPath() { return {}; }

}  // namespace rigwright
