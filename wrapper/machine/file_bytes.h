// Reading whole files, the way every writer reads its inputs.
#pragma once

#include <filesystem>
#include <string>

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
// as it was.
int ReadFileBytes(const std::filesystem::path& path, Bytes& into);

// True when the file is a regular file (after following links) and can be opened for reading. A
// folder, FIFO or device is not a file that can be read, even where the system lets a stream
// open it; checking first also keeps a FIFO from blocking the caller.
bool FileCanBeOpened(const std::filesystem::path& path);

// "cannot be opened", "is empty", ... for messages that name the file before it.
std::string ReadFileResultText(int result);

}  // namespace rigwright
