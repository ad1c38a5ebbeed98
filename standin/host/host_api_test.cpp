// The host functions of the development host, as the add-in calls them.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>

#include "common/testing/test_folder.h"
#include "hostapi/host_colors.h"
#include "hostapi/host_database.h"
#include "hostapi/host_files.h"
#include "standin/host/binary_stl.h"
#include "standin/host/development_host.h"
#include "standin/host/part_file.h"

namespace rigwright::standin {
namespace {

class HostApiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    auto part = LoadPartFile(RIGWRIGHT_SOURCE_DIR "/data/sample-part.json", &error);
    ASSERT_TRUE(part) << error;
    InstallPart(std::move(*part));
  }
  void TearDown() override {
    SetInteractiveSelector({});
    ClosePart();
  }

  static ent* Find(std::int32_t identifier) {
    for (DB_LIST_ENT* node = db_start; node; node = node->next) {
      if (node->entity && node->entity->identifier == identifier) return node->entity;
    }
    return nullptr;
  }
  static std::vector<std::int32_t> Marked() {
    std::vector<std::int32_t> marked;
    for (DB_LIST_ENT* node = db_start; node; node = node->next) {
      if (node->entity && (node->entity->selectionFlags & 4))
        marked.push_back(node->entity->identifier);
    }
    return marked;
  }
  // Opens `path` for writing, lets wr_stl write what is marked, and reads the file back.
  static std::vector<Triangle> WriteMarked(const std::filesystem::path& path) {
    {
      MCFile file;
      EXPECT_TRUE(file.Open(path.string(), "wb", 64));
      wr_stl(0.1, file, path.string(), -1, false, true, true, true, false);
    }
    std::string error;
    auto triangles = ReadBinaryStl(path, &error);
    EXPECT_TRUE(triangles) << error;
    return triangles.value_or(std::vector<Triangle>{});
  }
};

TEST_F(HostApiTest, ActiveLevelsComeInTwoCallsInTheHostsOrder) {
  int count = 0;
  get_active_levels(&count, nullptr);
  ASSERT_EQ(count, 7) << "the inactive level is not counted";
  std::vector<int> numbers(static_cast<std::size_t>(count), 0);
  get_active_levels(&count, numbers.data());
  EXPECT_EQ(numbers, (std::vector<int>{10, 1, 4, 7, 8, 3, 12}));

  std::vector<int> found{99};
  EXPECT_TRUE(GetLevelNumbersByName("", "Orvane", found));
  EXPECT_EQ(found, std::vector<int>{7});
  EXPECT_FALSE(GetLevelNumbersByName("", "orvane", found)) << "names compare exactly";
  EXPECT_TRUE(found.empty());
  EXPECT_EQ(GetLevelName(10), "Spindle");
  EXPECT_EQ(GetLevelName(12), "");
  EXPECT_EQ(GetLevelName(99), "");
}

TEST_F(HostApiTest, EntityListKeepsNodesWithoutEntities) {
  int nodes = 0, empty = 0;
  for (DB_LIST_ENT* node = db_start; node; node = node->next, ++nodes) empty += !node->entity;
  EXPECT_EQ(nodes, 16);
  EXPECT_EQ(empty, 2);
  ASSERT_NE(Find(102), nullptr);
  EXPECT_EQ(Find(102)->kind, 0x100u);
  EXPECT_EQ(Find(102)->colorNumber, 12);
  EXPECT_EQ(Find(102)->level, 1);
}

TEST_F(HostApiTest, SelectionMarksOnlyPickedEntitiesOfTheOfferedKinds) {
  long seenMask = 0;
  SetInteractiveSelector([&](std::string_view, long mask) {
    seenMask = mask;
    return std::vector<std::int32_t>{201, 301, 104, 999};
  });
  bool done = false;
  SelectEnts("*", 0x110100, done, MC_PRESEL_NONE, nullptr, true);
  EXPECT_EQ(seenMask, 0x110100);
  EXPECT_EQ(Marked(), std::vector<std::int32_t>{201}) << "0x20000 and 0x1 are not offered";

  DB_LIST_ENT* node = db_start;
  while (node->entity != Find(201)) node = node->next;
  UnSelectEptr(node);
  EXPECT_TRUE(Marked().empty());

  SetInteractiveSelector({});
  SelectEnts("*", 0x110100, done, MC_PRESEL_NONE, nullptr, true);
  EXPECT_TRUE(Marked().empty()) << "without a selector nothing is picked";
}

TEST_F(HostApiTest, StlWriterWritesMarkedSolidsAsBinaryStl) {
  TestFolder dir;
  for (std::int32_t id : {101, 102, 104, 301}) sel_bit_turn_on(Find(id), 4);
  const auto triangles = WriteMarked(dir.path() / "marked.stl");
  EXPECT_EQ(triangles.size(), 12u + 12u + 4u)
      << "two boxes and a four-triangle mesh; 0x1 has no solid";

  std::ifstream in(dir.path() / "marked.stl", std::ios::binary);
  std::string header(80, '\0');
  in.read(header.data(), 80);
  EXPECT_NE(header.substr(0, 5), "solid");

  for (std::int32_t id : {101, 102, 104, 301}) sel_bit_turn_off(Find(id), 4);
  EXPECT_TRUE(Marked().empty());
  EXPECT_TRUE(WriteMarked(dir.path() / "none.stl").empty());
}

TEST_F(HostApiTest, FilesOpenForBinaryWritingAndCloseWithTheirObject) {
  TestFolder dir;
  const auto path = dir.Write("old.stl", "old content that is longer");
  {
    MCFile file;
    ASSERT_TRUE(file.Open(path.string(), "wb", 64));
    ASSERT_TRUE(file.Write("new", 3));
  }
  std::ifstream in(path, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "new") << "truncated, then closed";

  MCFile file;
  EXPECT_FALSE(file.Open((dir.path() / "missing" / "x.stl").string(), "wb", 64));
  EXPECT_FALSE(file.Open((dir.path() / "y.stl").string(), "w+", 64)) << "unknown mode";
  EXPECT_FALSE(file.IsOpen());
  EXPECT_FALSE(file.Write("x", 1));
}

TEST_F(HostApiTest, ColoursAndUnitsComeFromThePart) {
  const auto manager = Cnc::GetColorTableManager();
  ASSERT_TRUE(manager);
  EXPECT_EQ(manager->ColorCount(), 256);
  EXPECT_EQ(manager->GetColorValue(12), ColorValue(255, 0, 0));
  EXPECT_EQ(manager->GetColorValue(40), ColorValue(0, 128, 255));
  EXPECT_EQ(manager->GetColorValue(256), 0u);
  EXPECT_TRUE(IsMetric());

  PartData inch;
  inch.metric = false;
  inch.colors.reset();
  InstallPart(inch);
  EXPECT_FALSE(IsMetric());
  EXPECT_EQ(Cnc::GetColorTableManager(), nullptr);
  EXPECT_EQ(db_start, nullptr);
  int count = -1;
  get_active_levels(&count, nullptr);
  EXPECT_EQ(count, 0);
}

TEST_F(HostApiTest, TheUserMaySwitchUnitsUntilTheNextPart) {
  SetMetric(false);
  EXPECT_FALSE(IsMetric());
  SetMetric(true);
  EXPECT_TRUE(IsMetric());
  SetMetric(false);

  PartData metric;
  InstallPart(metric);
  EXPECT_TRUE(IsMetric()) << "a new part brings its own units";
}

}  // namespace
}  // namespace rigwright::standin
