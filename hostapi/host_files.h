// The host's file classes and its STL writer. The add-in opens the output file through the host
// and lets the host triangulate and write the marked entities into it.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

#include "hostapi/host_export.h"

// A file the host writes to.
class HOSTAPI_EXPORT SysFile {
 public:
  virtual ~SysFile();
  virtual bool IsOpen() const = 0;
  // Writes all of `size` bytes; false when the file is not open or the write failed.
  virtual bool Write(const void* data, std::size_t size) = 0;
};

class HOSTAPI_EXPORT MCFileBase : public SysFile {
 public:
  MCFileBase() = default;
  MCFileBase(const MCFileBase&) = delete;
  MCFileBase& operator=(const MCFileBase&) = delete;
  ~MCFileBase() override;

  // Opens `name` (UTF-8). Mode "wb" creates the file, or truncates it when it exists, for binary
  // writing; "rb" opens an existing file for reading. `share` is the host's sharing flag. Closes
  // a file opened before. False when the file cannot be opened.
  bool Open(const std::string& name, const std::string& mode, int share);
  void Close();

  bool IsOpen() const override;
  bool Write(const void* data, std::size_t size) override;

 private:
  std::FILE* file_ = nullptr;  // null while no file is open
};

// The host's file object; destroying it closes its file.
class HOSTAPI_EXPORT MCFile : public MCFileBase {
 public:
  MCFile();
  ~MCFile() override;
};

// Triangulates the marked entities of the STL kinds with chord tolerance `tolerance` (in the
// part's units) and writes them as STL into `file`, which must be open. `path` names the file.
// `mode` and the five flags are the host's writer options; what they select is the host's.
HOSTAPI_EXPORT void wr_stl(double tolerance, SysFile& file, const std::string& path, long mode,
                           bool flag1, bool flag2, bool flag3, bool flag4, bool flag5);
