// A package file opened for reading, in slices. Only a regular file is read: a folder, FIFO,
// device or socket is refused at once, and opening never waits (a FIFO would wait for a writer
// for ever). Errors say what the system said, for messages that name the file before them.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

namespace rigwright {

class InputFile {
 public:
  InputFile() = default;
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;
  ~InputFile();

  // False with `error` set: "cannot be opened: No such file or directory", "is a folder", ...
  bool Open(const std::filesystem::path& path, std::string& error);
  // The file's size when it was opened.
  std::uint64_t size() const { return size_; }
  // Reads the next `into.size()` bytes; false with `error` set when they cannot all be read.
  bool Read(std::span<std::uint8_t> into, std::string& error);

 private:
  std::intptr_t handle_ = -1;  // the descriptor or handle; -1 while nothing is open
  std::uint64_t size_ = 0;
};

}  // namespace rigwright
