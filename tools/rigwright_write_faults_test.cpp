// `rigwright install` and `rigwright bundle` over an installed machine and an existing bundle,
// with each of the export's file writes made to fail in turn (open, write, fsync or rename, with
// "no space left" and with an input/output error). Every failure must be reported naming the
// target, and must leave every earlier file as it was and no temporary file behind.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>

#include "wrapper/export/export_test_util.h"

namespace rigwright {
namespace {

using namespace rigwright::testing;

struct Outcome {
  int status = -1;
  std::string err;
};

std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// Every file under `folder` by relative name, with its bytes.
std::map<std::string, Bytes> Snapshot(const std::filesystem::path& folder) {
  std::map<std::string, Bytes> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
    if (!entry.is_directory()) {
      files[entry.path().lexically_relative(folder).string()] = ReadBytes(entry.path());
    }
  }
  return files;
}

void Restore(const std::filesystem::path& folder, const std::map<std::string, Bytes>& files) {
  std::filesystem::remove_all(folder);
  for (const auto& [name, bytes] : files) {
    std::filesystem::create_directories((folder / name).parent_path());
    std::ofstream(folder / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
  }
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class WriteFaultTest : public MachineFolderTest {
 protected:
  // Runs the tool with the fault library watching `folder`; `failAt` 0 makes nothing fail.
  Outcome Run(const std::vector<std::string>& args, const std::filesystem::path& folder, int failAt,
              const char* error) {
    const std::string err = (dir_.path() / "stderr.txt").string();
    std::string command = "LD_PRELOAD=" + Quote(RIGWRIGHT_WRITE_FAULTS);
    // A sanitizer runtime wants to come first; the preloaded library does not need it.
    command += " ASAN_OPTIONS=verify_asan_link_order=0:detect_leaks=0";
    command += " RIGWRIGHT_FAULT_FOLDER=" + Quote(folder.string());
    command += " RIGWRIGHT_FAULT_AT=" + std::to_string(failAt);
    command += " RIGWRIGHT_FAULT_ERRNO=" + std::string(error);
    command += " RIGWRIGHT_FAULT_LOG=" + Quote(Log());
    command += " " + Quote(RIGWRIGHT_CLI);
    for (const std::string& arg : args) command += " " + Quote(arg);
    command += " 2>" + Quote(err);
    std::filesystem::remove(Log());
    const int status = std::system(command.c_str());
    Outcome outcome{WIFEXITED(status) ? WEXITSTATUS(status) : -1, Text(ReadBytes(err))};
    std::filesystem::remove(err);
    return outcome;
  }

  std::string Log() const { return dir_.text() + "faults.log"; }

  // A machine whose models change between the first export and the later ones, so that a later
  // export that got through would show in the files.
  std::string Machine() {
    dir_.Write("Mill/base.stl", "base model");
    dir_.Write("Mill/head.stl", "head model");
    dir_.Write("B2.pst", "post");
    return WriteMachine(
        R"({"Header":{"GUID":"m"},"Base":{"Path":"base.stl"},"Head":{"Path":"head.stl"}})");
  }
  void ChangeModels() { dir_.Write("Mill/head.stl", "another head model"); }

  // Exports with each watched call failing in turn, with both errors, and checks each outcome.
  // Returns the number of injection points, i.e. the watched calls of an export that succeeds.
  int FailEachWrite(const std::vector<std::string>& args, const std::filesystem::path& folder,
                    const std::string& target) {
    const std::map<std::string, Bytes> before = Snapshot(folder);
    const Outcome counted = Run(args, folder, 0, "ENOSPC");
    EXPECT_EQ(counted.status, 0) << counted.err;
    const std::vector<std::string> calls = Lines(Text(ReadBytes(Log())));
    EXPECT_NE(Snapshot(folder), before) << "the export must change something to be tested";
    Restore(folder, before);

    for (int n = 1; n <= static_cast<int>(calls.size()); ++n) {
      for (const char* error : {"ENOSPC", "EIO"}) {
        SCOPED_TRACE("call " + calls[n - 1] + " failing with " + error);
        const Outcome failed = Run(args, folder, n, error);
        EXPECT_EQ(failed.status, 1);
        EXPECT_NE(failed.err.find(target), std::string::npos) << failed.err;
        EXPECT_NE(failed.err.find(std::strerror(std::string(error) == "EIO" ? EIO : ENOSPC)),
                  std::string::npos)
            << failed.err;
        EXPECT_EQ(Snapshot(folder), before) << failed.err;
        Restore(folder, before);
      }
    }
    return static_cast<int>(calls.size());
  }
};

TEST_F(WriteFaultTest, InstallThatFailsAtAnyWriteLeavesTheInstalledMachineAsItWas) {
  const std::string machine = Machine();
  const std::filesystem::path target = dir_.path() / "Kelmora";
  const std::vector<std::string> args = {"install", machine, target.string(), "--post",
                                         dir_.text() + "B2.pst"};
  ASSERT_EQ(Run(args, target, 0, "ENOSPC").status, 0);
  dir_.Write("Kelmora/Mill/notes.txt", "the user's own file");
  ChangeModels();

  const int points = FailEachWrite(args, target, (target / "Mill").string() + "/");
  // Three files, each created, written and synced, then put in place.
  EXPECT_GE(points, 12);
  RecordProperty("injection_points", points);
}

TEST_F(WriteFaultTest, BundleThatFailsAtAnyWriteLeavesTheEarlierBundleAsItWas) {
  const std::string machine = Machine();
  const std::filesystem::path folder = dir_.path() / "out";
  const std::string bundle = (folder / "Mill.OrvaneSimBundle").string();
  const std::vector<std::string> args = {"bundle", machine, bundle, "--post",
                                         dir_.text() + "B2.pst"};
  ASSERT_EQ(Run(args, folder, 0, "ENOSPC").status, 0);
  dir_.Write("out/other.OrvaneSimBundle", "another bundle");
  ChangeModels();

  const int points = FailEachWrite(args, folder, bundle);
  EXPECT_GE(points, 4);
  RecordProperty("injection_points", points);
}

}  // namespace
}  // namespace rigwright
