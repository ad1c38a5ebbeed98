// The file under the user's support log: where it lives, and appending to it from several
// processes at once.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string_view>

namespace rigwright {

// The folder of this user's support log: on Windows the local application-data folder the
// system names (not the roaming one: the log belongs to this computer) with "Orvane\Rigwright";
// elsewhere $XDG_STATE_HOME/rigwright, else ~/.local/state/rigwright. Empty when none is known.
std::filesystem::path SupportLogFolder();

// Appends `line` to `file` in one append write, so that lines of processes writing at once never
// mix, creating the file and its folders as needed. A file that `line` would take past
// `sizeCap` bytes is first renamed to `<file>.1` (replacing the older one) and a new file begun;
// when two processes find the file full at once, only one renames it. Other processes keep
// writing to the file while it is renamed. False when the line could not be written; nothing
// throws.
bool AppendLogLine(const std::filesystem::path& file, std::string_view line,
                   std::uintmax_t sizeCap) noexcept;

// Each system's part of AppendLogLine, which may throw when memory runs out.
bool AppendLogLineOrThrow(const std::filesystem::path& file, std::string_view line,
                          std::uintmax_t sizeCap);

}  // namespace rigwright
