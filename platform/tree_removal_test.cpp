#include "platform/tree_removal.h"

#include <gtest/gtest.h>

#include "common/testing/test_folder.h"

namespace rigwright {
namespace {

namespace fs = std::filesystem;

// Where the stand-in junction goes when it is removed: out of the tree, as the folder behind a
// junction stays when the junction's name is removed.
fs::path standInBehind;

bool IsStandIn(const fs::path& path) { return path.filename() == "junction"; }
bool RemoveStandIn(const fs::path& path, std::error_code& error) {
  fs::rename(path, standInBehind, error);
  return !error;
}

bool NoLinks(const fs::path&) { return false; }

// A link in the tree leads to a folder outside it, whose file must stay. A real link (where one
// can be made: not under Wine) is told by the system's rule, or, by a rule that tells none (as
// Wine shows a Linux link), by where the folder really lies; a plain folder stands in for a
// junction that an injected rule tells, as Windows does, and only the walk keeps it unentered.
TEST(TreeRemovalTest, ALinkInsideIsRemovedItselfNeverWhatItLeadsTo) {
  for (const int row : {0, 1, 2}) {
    const bool real = row < 2;
    SCOPED_TRACE(row == 0 ? "a real link" : row == 1 ? "a link not told" : "a stand-in junction");
    TestFolder dir;
    dir.Write("tree/a/part.stl", "solid");
    dir.Write("tree/b.stl", "solid");
    LinkRule rule;
    fs::path kept;
    if (real) {
      kept = dir.Write("outside/keep.stl", "keep");
      std::error_code made;
      fs::create_directory_symlink(kept.parent_path(), dir.path() / "tree/a/link", made);
      if (made) continue;
      if (row == 1) rule.isLink = NoLinks;
    } else {
      dir.Write("tree/a/junction/keep.stl", "keep");
      fs::create_directories(dir.path() / "outside");
      standInBehind = dir.path() / "outside/junction";
      kept = standInBehind / "keep.stl";
      rule = {IsStandIn, RemoveStandIn};
    }
    std::error_code error;
    EXPECT_TRUE(RemoveTree(dir.path() / "tree", error, rule)) << error.message();
    EXPECT_FALSE(fs::exists(dir.path() / "tree"));
    EXPECT_TRUE(fs::exists(kept));
  }
}

}  // namespace
}  // namespace rigwright
