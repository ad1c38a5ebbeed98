// The user's support log: one file per user, shared by the add-in, the wrapper and the tool, where
// support can read what happened when nothing shows on screen. Writing to it never fails an
// operation and never throws: when the log cannot be opened or written, the line is dropped.
#pragma once

#include <filesystem>
#include <string_view>

namespace rigwright {

enum class LogLevel { kInfo, kWarning, kError };

// Starts this process's lines in the user's log, naming `program` (and the product's version and
// the process id) on each. Until it is called, and when the log cannot be opened, lines go nowhere.
void OpenSupportLog(std::string_view program);

// Same, with the log at `file` instead of the user's usual place (tests, `rigwright --log=FILE`).
void OpenSupportLogAt(std::string_view program, const std::filesystem::path& file);

// Stops writing and closes the file (lines after it go nowhere).
void CloseSupportLog();

// Appends one line: time, program, version, process id, level and `text`.
void Log(LogLevel level, std::string_view text);
inline void LogInfo(std::string_view text) { Log(LogLevel::kInfo, text); }
inline void LogWarning(std::string_view text) { Log(LogLevel::kWarning, text); }
inline void LogError(std::string_view text) { Log(LogLevel::kError, text); }

// Where this user's log lives (empty when the system names no place for it).
std::filesystem::path SupportLogPath();

}  // namespace rigwright
