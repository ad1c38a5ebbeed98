// A writer killed at any moment of its staging or commit: once the next writer has staged
// anything into the folder, the folder holds the whole earlier set of files or the whole new one,
// and no temporary file of a dead writer of ours.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "common/testing/test_folder.h"
#include "platform/staged_files.h"

namespace rigwright {
namespace {

std::string ReadText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::span<const std::uint8_t> Bytes(const std::string& text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

TEST(StagedFilesCrashTest, AKilledCommitEndsWholeOldOrWholeNewAtTheNextWrite) {
  struct Case {
    const char* stop;  // where the writer dies (RIGWRIGHT_TEST_COMMIT_STOP), "" while staging
    bool whole_new;
  };
  for (const Case& c : {Case{"", false}, Case{"named", false}, Case{"recorded", true},
                        Case{"replaced", true}}) {
    SCOPED_TRACE(std::string("killed at ") + (*c.stop ? c.stop : "staging"));
    TestFolder dir;
    dir.Write("a.bin", "old a");
    dir.Write("b.bin", "old b");
    dir.Write(".rigwright-notours.new", "a user's file");
    const pid_t child = ::fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
      ::setenv("RIGWRIGHT_TEST_COMMIT_STOP", c.stop, 1);
      StagedFiles files;
      const bool staged = files.Stage(dir.path() / "a.bin", Bytes("new a")) &&
                          files.Stage(dir.path() / "b.bin", Bytes("new b")) &&
                          files.Stage(dir.path() / "c.bin", Bytes("new c"));
      if (staged && *c.stop) files.Commit();
      // Staged files have no name yet: killed now, nothing of them could be left.
      const auto names = std::distance(std::filesystem::directory_iterator(dir.path()), {});
      if (staged && !*c.stop && names != 3) std::_Exit(87);
      std::_Exit(staged ? 86 : 1);  // like a kill: nothing is cleaned up
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_EQ(WEXITSTATUS(status), 86) << "the writer must die where the test says (87: a "
                                          "staged file had a name)";

    // A live writer on a file system without unnamed files holds its named file locked.
    const std::filesystem::path live = dir.Write(".rigwright-0123456789abcdef.new", "alive");
    const int held = ::open(live.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    StagedFiles next;  // abandoned: it only has to set the folder right
    ASSERT_TRUE(next.Stage(dir.path() / "other.bin", Bytes("x"))) << next.error();
    ::close(held);
    std::vector<std::string> names = {".rigwright-0123456789abcdef.new", ".rigwright-notours.new",
                                      "a.bin", "b.bin"};
    if (c.whole_new) names.push_back("c.bin");
    EXPECT_EQ(dir.Names(), names);
    const std::string age = c.whole_new ? "new" : "old";
    EXPECT_EQ(ReadText(dir.path() / "a.bin"), age + " a");
    EXPECT_EQ(ReadText(dir.path() / "b.bin"), age + " b");
  }
}

}  // namespace
}  // namespace rigwright
