// Reading whole files, the way every writer reads its inputs.
#pragma once

#include <filesystem>
#include <string>

#include "platform/file_location.h"
#include "wrapper/package/file_map.h"

namespace rigwright {

// Results of ReadFileBytes.
enum ReadFileResult : int {
  kFileRead = 0,
  kFileCannotBeOpened = 1,  // FileCanBeOpened is false
  kFileStreamFailed = 2,    // the binary stream did not open, or reading it failed
  kFileTooLarge = 3,        // 4 GiB or larger: record and payload lengths are 32-bit
  kFileEmpty = 4,
};

// Reads the whole file in binary mode into `into`. On any result but kFileRead, `into` is left
// as it was; `why`, when given, then says what the system said when it could not be opened or
// read ("No such file or directory", "Permission denied", "it is a folder").
int ReadFileBytes(const std::filesystem::path& path, Bytes& into, std::string* why = nullptr);

// True when the file is a regular file (after following links) and can be opened for reading. A
// folder, FIFO or device is not a file that can be read, even where the system lets a stream
// open it, and a FIFO never blocks the caller. When false, `why` says why, as for ReadFileBytes.
bool FileCanBeOpened(const std::filesystem::path& path, std::string* why = nullptr);

// Why `file` could not be opened, as `why` of ReadFileBytes says it: "Permission denied", "it is
// a folder".
std::string WhyNotOpened(const FileForReading& file);

// "cannot be opened", "is empty", ... for messages that name the file before it.
std::string ReadFileResultText(int result);
// The same followed by ": " and `why` when that is not empty: "cannot be opened: Permission
// denied".
std::string ReadFailureText(int result, const std::string& why);

}  // namespace rigwright
