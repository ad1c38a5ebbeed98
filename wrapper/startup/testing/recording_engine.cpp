// A stand-in editor engine for tests of the wrapper: it writes what it is given to the file named
// by RIGWRIGHT_TEST_ENGINE_RECORD, one "key=value" line each, and makes as many STL requests as
// RIGWRIGHT_TEST_ENGINE_STL_REQUESTS says. Like a real engine it opens the paths it is given with
// the C library's 8-bit file functions, and records whether they opened. Each build of it names itself in the record
// (RIGWRIGHT_RECORDING_ENGINE_NAME), so that a test can tell which copy the wrapper loaded.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "wrapper/startup/editor_engine_api.h"

// Exported through the default visibility on Linux and through recording_engine.def on Windows.
#define ENGINE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

MavriloCreateStlFunc createStl = nullptr;
MavriloExportFunc exportMachine = nullptr;

// Whether `path` names something the 8-bit file functions can open: a file, or a folder (through
// a file name below it that the test made).
const char* Opens(const std::string& path, const char* inFolder = "") {
  std::FILE* file = std::fopen((path + inFolder).c_str(), "rb");
  if (file) std::fclose(file);
  return file ? "yes" : "no";
}

// The paths of an STL reply, without their colours.
std::string ReplyOpens(const std::string& reply) {
  std::string opens;
  for (std::size_t start = 0; start < reply.size();) {
    std::size_t end = reply.find(';', start);
    if (end == std::string::npos) end = reply.size();
    std::string entry = reply.substr(start, end - start);
    if (const std::size_t colour = entry.rfind("@0x"); colour != std::string::npos) {
      entry.resize(colour);
    }
    opens += Opens(entry);
    start = end + 1;
  }
  return opens;
}

std::string Text(const char* text, std::int32_t length) {
  return std::string(text, static_cast<std::size_t>(length)) +
         (text[length] == '\0' ? "" : " (not terminated)");
}

}  // namespace

ENGINE_EXPORT void SetCreateSTLFunc(MavriloCreateStlFunc callback) { createStl = callback; }
ENGINE_EXPORT void SetExportFunc(MavriloExportFunc callback) { exportMachine = callback; }

ENGINE_EXPORT int RunMavrilo(const char* machineFolder, std::int32_t machineFolderLength,
                             const char* reserved, std::int32_t reservedLength,
                             std::int32_t defaultUnit, const char* language,
                             std::int32_t languageLength, std::int64_t reserved64) {
  const char* recordPath = std::getenv("RIGWRIGHT_TEST_ENGINE_RECORD");
  if (!recordPath) return 1;
  std::ofstream record(recordPath, std::ios::binary | std::ios::app);
  record << "engine=" << RIGWRIGHT_RECORDING_ENGINE_NAME << "\n"
         << "folder=" << Text(machineFolder, machineFolderLength) << "\n"
         << "folderLength=" << machineFolderLength << "\n"
         << "folderOpens=" << Opens(std::string(machineFolder), "/probe.txt") << "\n"
         << "reserved=" << Text(reserved, reservedLength) << "\n"
         << "reservedLength=" << reservedLength << "\n"
         << "unit=" << defaultUnit << "\n"
         << "language=" << Text(language, languageLength) << "\n"
         << "languageLength=" << languageLength << "\n"
         << "reserved64=" << reserved64 << "\n"
         << "stlCallback=" << (createStl ? "yes" : "no") << "\n"
         << "exportCallback=" << (exportMachine ? "yes" : "no") << "\n";
  record.flush();
  const char* requests = std::getenv("RIGWRIGHT_TEST_ENGINE_STL_REQUESTS");
  for (int i = requests && createStl ? std::atoi(requests) : 0; i > 0; --i) {
    char buffer[10240];
    std::memset(buffer, 'x', sizeof(buffer));
    createStl(buffer);
    const std::size_t length = strnlen(buffer, sizeof(buffer));
    record << "reply=" << std::string(buffer, length)
           << (length == sizeof(buffer) ? " (not terminated)" : "") << "\n"
           << "replyOpens=" << ReplyOpens(std::string(buffer, length)) << "\n";
    record.flush();
  }
  return 0;
}
