#include "wrapper/export/bundle_file.h"

#include <gtest/gtest.h>

#include "wrapper/export/export_test_util.h"

namespace rigwright {
namespace {

using namespace rigwright::testing;

TEST(BundleTargetPathTest, OnlyTheExactExtensionKeepsTheChosenName) {
  EXPECT_EQ(BundleTargetPath("E:\\out\\Mill5.OrvaneSimBundle", "Mill5"),
            "E:\\out\\Mill5.OrvaneSimBundle");
  EXPECT_EQ(BundleTargetPath("/out/custom name.OrvaneSimBundle", "Mill5"),
            "/out/custom name.OrvaneSimBundle");
  EXPECT_EQ(BundleTargetPath("E:\\out\\anything.zip", "Mill5"), "E:\\out\\Mill5.OrvaneSimBundle");
  EXPECT_EQ(BundleTargetPath("/out/Mill5.orvanesimbundle", "Mill5"), "/out/Mill5.OrvaneSimBundle");
  EXPECT_EQ(BundleTargetPath("/out.d/noextension", "Mill5"), "/out.d/Mill5.OrvaneSimBundle");
  EXPECT_EQ(BundleTargetPath("relative.zip", "Mill5"), "Mill5.OrvaneSimBundle");
}

class BundleFileTest : public MachineFolderTest {
 protected:
  void SetUp() override {
    dir_.Write("Mill5/base.stl", "base");
    machine_ = WriteMachine(R"({"Base":{"Path":"base.stl"}})", "{}", "Mill5");
  }
  std::string Output(const std::string& name) const { return dir_.text() + "out/" + name; }

  std::string machine_;
};

TEST_F(BundleFileTest, BundleNestsBothSignedPackagesInOrder) {
  ExportReport report;
  ASSERT_TRUE(ExportMachineBundle(machine_, Output("Mill5.OrvaneSimBundle"), "Don't change", "",
                                  &report))
      << report.error;
  const auto records = Records(ReadBytes(Output("Mill5.OrvaneSimBundle")));
  EXPECT_EQ(Names(records), (std::vector<std::string>{"Mill5.OrvaneSim", "Mill5.OrvaneSimCfg"}));
  EXPECT_EQ(Names(Records(records.at("Mill5.OrvaneSim"))),
            (std::vector<std::string>{"base.stl", "config.json"}));
  EXPECT_EQ(Names(Records(records.at("Mill5.OrvaneSimCfg"))),
            (std::vector<std::string>{"config.json"}));
}

TEST_F(BundleFileTest, PostRecordFallsByItsNameAndKeepsItsBytes) {
  const std::string upper = dir_.Write("posts/B2.pst", std::string("G0 X0\0\xFF", 7)).string();
  const std::string lower = dir_.Write("posts/a2.pst", "").string();
  ASSERT_TRUE(ExportMachineBundle(machine_, Output("b.OrvaneSimBundle"), "", upper));
  const auto withUpper = Records(ReadBytes(Output("b.OrvaneSimBundle")));
  EXPECT_EQ(Names(withUpper),
            (std::vector<std::string>{"B2.pst", "Mill5.OrvaneSim", "Mill5.OrvaneSimCfg"}));
  EXPECT_EQ(withUpper.at("B2.pst"), ReadBytes(upper));

  ASSERT_TRUE(ExportMachineBundle(machine_, Output("a.OrvaneSimBundle"), "", lower));
  EXPECT_EQ(Names(Records(ReadBytes(Output("a.OrvaneSimBundle")))),
            (std::vector<std::string>{"Mill5.OrvaneSim", "Mill5.OrvaneSimCfg", "a2.pst"}));
}

TEST_F(BundleFileTest, OtherExtensionsLandUnderTheMachinesNameInANewFolder) {
  ASSERT_TRUE(ExportMachineBundle(machine_, dir_.text() + "new/deeper/anything.zip", "", ""));
  EXPECT_EQ(dir_.Names("new/deeper"), (std::vector<std::string>{"Mill5.OrvaneSimBundle"}));
}

TEST_F(BundleFileTest, ExistingBundleIsReplacedOnlyBySuccess) {
  const std::string output = Output("Mill5.OrvaneSimBundle");
  dir_.Write("out/Mill5.OrvaneSimBundle", "an older bundle");
  ASSERT_TRUE(ExportMachineBundle(machine_, output, "", ""));
  const Bytes good = ReadBytes(output);
  EXPECT_EQ(Names(Records(good)).size(), 2u);

  std::filesystem::remove(dir_.path() / "Mill5" / "config.json");
  ExportReport report;
  EXPECT_FALSE(ExportMachineBundle(machine_, output, "", "", &report));
  EXPECT_EQ(ReadBytes(output), good);
  EXPECT_EQ(dir_.Names("out"), (std::vector<std::string>{"Mill5.OrvaneSimBundle"}));
}

TEST_F(BundleFileTest, CancellingAtAnyPointKeepsTheEarlierBundle) {
  const std::string output = Output("Mill5.OrvaneSimBundle");
  ASSERT_TRUE(ExportMachineBundle(machine_, output, "", ""));
  const Bytes earlier = ReadBytes(output);
  CancellingReport never(-1);
  ASSERT_TRUE(ExportMachineBundle(machine_, output, "Lathe", "", &never.report));
  ASSERT_TRUE(ExportMachineBundle(machine_, output, "", ""));
  const Bytes kept = ReadBytes(output);

  for (int stopAt = 0; stopAt < never.asked; ++stopAt) {
    CancellingReport cancelling(stopAt);
    EXPECT_FALSE(ExportMachineBundle(machine_, output, "Lathe", "", &cancelling.report));
    EXPECT_TRUE(cancelling.report.cancelled) << stopAt;
    EXPECT_EQ(ReadBytes(output), kept) << stopAt;
    EXPECT_EQ(dir_.Names("out"), (std::vector<std::string>{"Mill5.OrvaneSimBundle"})) << stopAt;
  }
  EXPECT_EQ(Names(Records(kept)), Names(Records(earlier)));
}

// The machine package is written once, beside the bundle, and carried into it as it is: stored,
// not deflated a second time. Its temporary file is gone afterwards.
TEST_F(BundleFileTest, TheMachinePackageIsStoredInTheBundleAsItWasWritten) {
  const std::string model = CompressibleNoise(3 << 20);
  dir_.Write("Mill5/base.stl", model);
  const std::string output = Output("Mill5.OrvaneSimBundle");
  ASSERT_TRUE(ExportMachineBundle(machine_, output, "", ""));
  const Bytes bundle = ReadBytes(output);
  const auto records = Records(bundle);
  const Bytes& machinePackage = records.at("Mill5.OrvaneSim");
  EXPECT_EQ(Text(Records(machinePackage).at("base.stl")), model);
  EXPECT_LT(machinePackage.size(), model.size() * 2 / 3) << "the model was compressed once";
  EXPECT_GT(bundle.size(), machinePackage.size()) << "and not again";
  EXPECT_LT(bundle.size(), machinePackage.size() + machinePackage.size() / 100 + 2048);
  EXPECT_EQ(dir_.Names("out"), (std::vector<std::string>{"Mill5.OrvaneSimBundle"}));
}

// A bundle path that is a link, even a chain of them, stays a link: the file it finally leads to
// gets the new bundle, replaced in one step in its own folder.
TEST_F(BundleFileTest, ABundlePathThatIsALinkGetsItsTargetReplacedAndStaysALink) {
  dir_.Write("real/Mill5.OrvaneSimBundle", "an older bundle");
  std::filesystem::create_directories(dir_.path() / "out");
  std::error_code noLinks;
  std::filesystem::create_symlink("../real/Mill5.OrvaneSimBundle", dir_.path() / "out" / "middle",
                                  noLinks);
  if (noLinks) GTEST_SKIP() << "no symbolic links here: " << noLinks.message();
  std::filesystem::create_symlink("middle", dir_.path() / "out" / "Mill5.OrvaneSimBundle");
  ExportReport report;
  ASSERT_TRUE(ExportMachineBundle(machine_, Output("Mill5.OrvaneSimBundle"), "", "", &report))
      << report.error;
  EXPECT_TRUE(std::filesystem::is_symlink(dir_.path() / "out" / "Mill5.OrvaneSimBundle"));
  EXPECT_TRUE(std::filesystem::is_symlink(dir_.path() / "out" / "middle"));
  EXPECT_EQ(Names(Records(ReadBytes(dir_.path() / "real" / "Mill5.OrvaneSimBundle"))),
            (std::vector<std::string>{"Mill5.OrvaneSim", "Mill5.OrvaneSimCfg"}));
  EXPECT_EQ(dir_.Names("real"), (std::vector<std::string>{"Mill5.OrvaneSimBundle"}));
}

TEST_F(BundleFileTest, StrictBundleFailsOnAPostThatIsLeftOut) {
  const std::string post = (dir_.path() / "none.pst").string();
  ExportReport report;
  report.strict = true;
  EXPECT_FALSE(ExportMachineBundle(machine_, Output("Mill5.OrvaneSimBundle"), "", post, &report));
  EXPECT_EQ(report.error,
            machine_ + ": external post \"" + post + "\" was not found" + "; nothing was written");
  EXPECT_FALSE(std::filesystem::exists(dir_.path() / "out"));
}

TEST_F(BundleFileTest, UnwritableTargetIsReportedAndLeavesNothingBehind) {
  std::filesystem::create_directories(dir_.path() / "out" / "Mill5.OrvaneSimBundle" / "taken");
  ExportReport report;
  EXPECT_FALSE(ExportMachineBundle(machine_, Output("Mill5.OrvaneSimBundle"), "", "", &report));
  EXPECT_NE(report.error.find("Mill5.OrvaneSimBundle"), std::string::npos) << report.error;
  EXPECT_EQ(dir_.Names("out"), (std::vector<std::string>{"Mill5.OrvaneSimBundle"}));
}

TEST_F(BundleFileTest, FolderThatCannotBeCreatedSaysWhy) {
  dir_.Write("blocker", "a file where the output folder should be");
  ExportReport report;
  EXPECT_FALSE(ExportMachineBundle(machine_, dir_.text() + "blocker/x.zip", "", "", &report));
  // What follows is the system's own reason, in its words ("File exists" here, "Not a directory"
  // on Windows).
  EXPECT_EQ(report.error.rfind(dir_.text() + "blocker/: the folder cannot be created: ", 0), 0u)
      << report.error;
}

TEST_F(BundleFileTest, NonAsciiNamesTravelAsUtf8) {
  const std::string stem = "Fr\xC3\xA4smaschine \xE6\x9C\xBA";
  dir_.Write("Ma\xC3\x9F/" + stem + "/config.json", "{}");
  const std::string machine =
      Utf8FromPath(dir_.Write("Ma\xC3\x9F/" + stem + ".mcfg", R"({"MachineDefinition":{}})"));
  ExportReport report;
  ASSERT_TRUE(ExportMachineBundle(machine, dir_.text() + "\xC3\xBC/x.zip", "", "", &report))
      << report.error;
  const auto records = Records(ReadBytes(dir_.path() / PathFromUtf8("\xC3\xBC/" + stem + ".OrvaneSimBundle")));
  EXPECT_EQ(Names(records), (std::vector<std::string>{stem + ".OrvaneSim", stem + ".OrvaneSimCfg"}));
}

}  // namespace
}  // namespace rigwright
