// The user's support log: one file per user, shared by the add-in, the wrapper and the tool, where
// support can read what happened when nothing shows on screen. Writing to it never fails an
// operation and never throws: when the log cannot be opened or written, the line is dropped.
#pragma once

#include <cstdint>
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

// Closes the log and frees all it holds, for a library about to be unloaded, once no other
// thread of it can still log (a later line opens nothing and goes nowhere).
void EndSupportLog();

// Appends one line: time (UTC), program, version, process id, level and `text`, e.g.
//   2026-03-04T10:11:12.345Z RigwrightWrapper 1.2.0 pid=4242 error: the engine ...
// Line breaks in `text` are written as "\n", bytes that are not UTF-8 as "?". Any thread.
void Log(LogLevel level, std::string_view text);
inline void LogInfo(std::string_view text) { Log(LogLevel::kInfo, text); }
inline void LogWarning(std::string_view text) { Log(LogLevel::kWarning, text); }
inline void LogError(std::string_view text) { Log(LogLevel::kError, text); }

// How large the log grows before it is renamed to "rigwright.log.1" (replacing the older one) and
// a new one begun: kSupportLogSizeCap unless set otherwise (tests set a small one).
inline constexpr std::uintmax_t kSupportLogSizeCap = 4 * 1024 * 1024;
void SetSupportLogSizeCap(std::uintmax_t bytes);

// Where this user's log lives (empty when the system names no place for it).
std::filesystem::path SupportLogPath();

}  // namespace rigwright
