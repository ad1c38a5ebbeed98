#include "platform/staged_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <future>
#include <iterator>
#include <thread>

#include "common/testing/test_folder.h"
#include "platform/file_write.h"

namespace rigwright {
namespace {

std::string ReadText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::span<const std::uint8_t> Bytes(const std::string& text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

TEST(StagedFilesTest, CommitReplacesEveryTargetAndLeavesNoTemporaryFile) {
  TestFolder dir;
  dir.Write("a.bin", "old a");
  StagedFiles files;
  ASSERT_TRUE(files.Stage(dir.path() / "a.bin", Bytes("new a")));
  ASSERT_TRUE(files.Stage(dir.path() / "b.bin", Bytes("")));
  EXPECT_EQ(ReadText(dir.path() / "a.bin"), "old a") << "nothing changes before the commit";
  ASSERT_TRUE(files.Commit()) << files.error();
  EXPECT_EQ(ReadText(dir.path() / "a.bin"), "new a");
  EXPECT_TRUE(std::filesystem::is_regular_file(dir.path() / "b.bin"));
  EXPECT_EQ(dir.Names(), (std::vector<std::string>{"a.bin", "b.bin"}));
}

TEST(StagedFilesTest, AbandonedStagingKeepsTargetsAndCleansUp) {
  TestFolder dir;
  dir.Write("a.bin", "old a");
  {
    StagedFiles files;
    ASSERT_TRUE(files.Stage(dir.path() / "a.bin", Bytes("new a")));
    EXPECT_FALSE(files.Stage(dir.path() / "missing" / "b.bin", Bytes("b")));
    EXPECT_NE(files.error().find("missing"), std::string::npos) << files.error();
  }
  EXPECT_EQ(ReadText(dir.path() / "a.bin"), "old a");
  EXPECT_EQ(dir.Names(), (std::vector<std::string>{"a.bin"}));
}

// Content written piece by piece, its head filled in last; a writer that gives up leaves nothing.
TEST(StagedFilesTest, StreamedFilesAreStagedLikeHeldOnesAndRemovedWhenTheWriterFails) {
  TestFolder dir;
  StagedFiles files;
  ASSERT_TRUE(files.Stage(dir.path() / "a.bin", [](NewFile& file) {
    return file.Write(Bytes("....body")) && file.WriteAt(0, Bytes("head")) && file.size() == 8;
  }));
  EXPECT_FALSE(files.Stage(dir.path() / "b.bin",
                           [](NewFile& file) { return file.Write(Bytes("half of it")) && false; }));
  EXPECT_EQ(files.error(), "") << "the writer's own reason is the caller's to tell";
  // None where the system has unnamed files (see StagedFilesCrashTest).
  EXPECT_LE(dir.Names().size(), 1u) << "at most a.bin's temporary file";
  ASSERT_TRUE(files.Commit()) << files.error();
  EXPECT_EQ(ReadText(dir.path() / "a.bin"), "headbody");
  EXPECT_EQ(dir.Names(), (std::vector<std::string>{"a.bin"}));
}

TEST(StagedFilesTest, CommitOntoAFolderFailsAndRemovesTheRest) {
  TestFolder dir;
  std::filesystem::create_directories(dir.path() / "taken" / "inner");
  StagedFiles files;
  ASSERT_TRUE(files.Stage(dir.path() / "taken", Bytes("x")));
  EXPECT_FALSE(files.Commit());
  EXPECT_NE(files.error().find("taken"), std::string::npos) << files.error();
  EXPECT_EQ(dir.Names(), (std::vector<std::string>{"taken"}));
}

// A target that turns out to be a folder in the middle of the commit: the files put in place
// before it are put back as they were, new ones are removed, and nothing temporary is left.
TEST(StagedFilesTest, FailedCommitRestoresEveryTargetItAlreadyReplaced) {
  TestFolder dir;
  dir.Write("a.bin", "old a");
  dir.Write("d.bin", "old d");
  StagedFiles files;
  ASSERT_TRUE(files.Stage(dir.path() / "a.bin", Bytes("new a")));
  ASSERT_TRUE(files.Stage(dir.path() / "new.bin", Bytes("new")));
  ASSERT_TRUE(files.Stage(dir.path() / "taken", Bytes("x")));
  ASSERT_TRUE(files.Stage(dir.path() / "d.bin", Bytes("new d")));
  std::filesystem::create_directories(dir.path() / "taken" / "inner");

  EXPECT_FALSE(files.Commit());
  EXPECT_EQ(ReadText(dir.path() / "a.bin"), "old a");
  EXPECT_EQ(ReadText(dir.path() / "d.bin"), "old d");
  EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "taken" / "inner"));
  EXPECT_EQ(dir.Names(), (std::vector<std::string>{"a.bin", "d.bin", "taken"}));
}

TEST(StagedFilesTest, ReplacedLinksAreRestoredAsLinks) {
  TestFolder dir;
  dir.Write("real.bin", "real");
  std::error_code noLinks;
  std::filesystem::create_symlink("real.bin", dir.path() / "link.bin", noLinks);
  if (noLinks) GTEST_SKIP() << "no symbolic links here: " << noLinks.message();
  StagedFiles files;
  ASSERT_TRUE(files.Stage(dir.path() / "link.bin", Bytes("new")));
  ASSERT_TRUE(files.Stage(dir.path() / "taken", Bytes("x")));
  std::filesystem::create_directories(dir.path() / "taken" / "inner");
  EXPECT_FALSE(files.Commit());
  EXPECT_TRUE(std::filesystem::is_symlink(dir.path() / "link.bin"));
  EXPECT_EQ(ReadText(dir.path() / "real.bin"), "real");
  EXPECT_EQ(dir.Names(), (std::vector<std::string>{"link.bin", "real.bin", "taken"}));
}

// Windows' rule, which Linux lacks: a file another program holds open without sharing its
// deletion cannot be replaced. The commit stops before anything is renamed, names the file and
// says why; every earlier file stays as it was and nothing is left beside them.
TEST(StagedFilesTest, ATargetAnotherProgramHoldsStopsTheCommitWithNothingChanged) {
  struct Case {
    StagedFiles::Mode mode;
    std::vector<std::string> targets;
    std::string held;
    std::string advice;
  };
  const Case cases[] = {
      {StagedFiles::Mode::kCrashSafe, {"Mill.OrvaneSim", "Mill.OrvaneSimCfg"}, "Mill.OrvaneSimCfg",
       "export again"},
      {StagedFiles::Mode::kCrashSafe, {"Mill.OrvaneSim", "Mill.OrvaneSimCfg"}, "Mill.OrvaneSim",
       "export again"},
      {StagedFiles::Mode::kCrashSafe, {"Mill.OrvaneSimBundle"}, "Mill.OrvaneSimBundle",
       "export again"},
      {StagedFiles::Mode::kManyFiles, {"a.txt", "b.txt"}, "b.txt", "try again"},
  };
  for (const Case& c : cases) {
    TestFolder dir;
    for (const std::string& name : c.targets) dir.Write(name, "old " + name);
    StagedFiles files(c.mode);
    files.CheckReplaceWith([&](const std::filesystem::path& target) {
      return target == dir.path() / c.held ? "cannot replace " + target.string() + ": " +
                                                 std::string(kHeldByAnotherProgram)
                                           : std::string();
    });
    for (const std::string& name : c.targets) {
      ASSERT_TRUE(files.Stage(dir.path() / name, Bytes("new"))) << files.error();
    }
    EXPECT_FALSE(files.Commit()) << c.held;
    const std::string said = "cannot replace " + (dir.path() / c.held).string() + ": another";
    EXPECT_EQ(files.error().rfind(said, 0), 0u) << files.error();
    EXPECT_NE(files.error().find(c.advice), std::string::npos) << files.error();
    for (const std::string& name : c.targets) EXPECT_EQ(ReadText(dir.path() / name), "old " + name);
    std::vector<std::string> names = c.targets;
    std::sort(names.begin(), names.end());
    EXPECT_EQ(dir.Names(), names) << c.held;
  }
}

TEST(StagedFilesTest, TargetNamesUpToTheSystemsLimitCanBeWritten) {
  TestFolder dir;
  for (const std::size_t length : {230u, 250u, 255u}) {
    const std::string name(length, 'n');
    StagedFiles files;
    ASSERT_TRUE(files.Stage(dir.path() / name, Bytes("long"))) << length << ": " << files.error();
    ASSERT_TRUE(files.Commit()) << length << ": " << files.error();
    EXPECT_EQ(ReadText(dir.path() / name), "long");
    std::filesystem::remove(dir.path() / name);
  }
  EXPECT_TRUE(dir.Names().empty());
}

TEST(StagedFilesTest, MessagesNameTheTargetNeverTheTemporaryFile) {
  TestFolder dir;
  const std::filesystem::path unwritable = dir.path() / "missing" / "b.bin";
  StagedFiles files;
  EXPECT_FALSE(files.Stage(unwritable, Bytes("b")));
  EXPECT_EQ(files.error().rfind("cannot create " + unwritable.string() + ": ", 0), 0u)
      << files.error();

  const std::filesystem::path folder = dir.path() / "Mill.OrvaneSimCfg";
  ASSERT_TRUE(files.Stage(folder, Bytes("x")));
  std::filesystem::create_directories(folder / "inner");
  EXPECT_FALSE(files.Commit());
  EXPECT_EQ(files.error().rfind("cannot replace " + folder.string() + ": ", 0), 0u)
      << files.error();
  EXPECT_EQ(files.error().find(dir.path().string(), folder.string().size()), std::string::npos)
      << "names no other file: " << files.error();
}

// Two writers into one folder take turns: the second waits, told so once, until the first has
// committed and let go, and then finds the first one's files in place; a wait can be cancelled.
TEST(StagedFilesTest, ASecondWriterIntoTheSameFolderWaitsForTheFirst) {
  TestFolder dir;
  auto first = std::make_unique<StagedFiles>();
  ASSERT_TRUE(first->Stage(dir.path() / "a.bin", Bytes("first")));
  std::promise<bool> reachedLock;  // true: it had to wait
  bool secondOk = false;
  std::thread second([&] {
    StagedFiles files;
    bool waited = false;
    files.WaitWith(
        [&](const std::filesystem::path& folder) {
          waited = folder == dir.path();
          reachedLock.set_value(waited);
        },
        nullptr);
    secondOk = files.Stage(dir.path() / "a.bin", Bytes("second")) && files.Commit();
    if (!waited) reachedLock.set_value(false);
  });
  const bool waited = reachedLock.get_future().get();
  EXPECT_TRUE(waited) << "the second writer got in while the first still wrote";
  StagedFiles cancelled;  // a writer whose user gives up while it waits
  cancelled.WaitWith(nullptr, [] { return true; });
  EXPECT_FALSE(cancelled.Stage(dir.path() / "a.bin", Bytes("cancelled")));
  EXPECT_EQ(cancelled.error(), "") << "a cancel is the caller's to tell";
  ASSERT_TRUE(first->Commit()) << first->error();
  first.reset();
  second.join();
  EXPECT_TRUE(secondOk);
  EXPECT_EQ(ReadText(dir.path() / "a.bin"), "second");
  EXPECT_EQ(dir.Names(), (std::vector<std::string>{"a.bin"}));
}

}  // namespace
}  // namespace rigwright
