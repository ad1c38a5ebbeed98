// Writing files so that a reader never sees half of one: each file is written in full under a
// temporary name beside its target and only then renamed over it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

namespace rigwright {

// Creates `path`, which must not exist yet, writes `bytes` to it and flushes them to the disk.
// On failure the partly written file is removed, `error` says what failed (naming `shownAs` when
// given, the file the caller writes on behalf of, else `path`, and what the system reported)
// and false is returned.
bool WriteNewFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes,
                  std::string* error, const std::filesystem::path& shownAs = {});

// Puts the file `from` in the place of `to` in one step; an existing `to` is replaced.
bool ReplaceFileAtomically(const std::filesystem::path& from, const std::filesystem::path& to,
                           std::string* error);

// Makes what stands at `target` reachable under `aside`, a new name in the same folder, so that it
// can be put back after `target` has been replaced: a second link where the file system has them
// (the target stays in place meanwhile), else `target` is moved there. `kept` tells whether
// anything stood at `target`. A folder is refused, since a file cannot take its place.
bool KeepAside(const std::filesystem::path& target, const std::filesystem::path& aside, bool* kept,
               std::string* error);

}  // namespace rigwright
