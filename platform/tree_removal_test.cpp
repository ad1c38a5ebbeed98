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

// A link in the tree leads to a folder outside it, whose file must stay. With the system's rule
// the link is a real one (where one can be made: not under Wine); with an injected rule a plain
// folder stands in for a junction, which only the walk's own check keeps it from entering.
TEST(TreeRemovalTest, ALinkInsideIsRemovedItselfNeverWhatItLeadsTo) {
  for (const bool real : {true, false}) {
    SCOPED_TRACE(real ? "a real link" : "a stand-in junction");
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
