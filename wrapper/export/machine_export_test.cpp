#include "wrapper/export/machine_export.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <future>

#include "wrapper/export/bundle_file.h"
#include "wrapper/export/export_test_util.h"

namespace rigwright {
namespace {

using namespace rigwright::testing;

class MachineExportTest : public MachineFolderTest {};

TEST_F(MachineExportTest, PackagesHoldTheMergedDocumentAndTheModels) {
  dir_.Write("Mill/base.stl", "base in data folder");
  dir_.Write("base.stl", "base beside the machine file");
  dir_.Write("spindle.stl", "spindle beside the machine file");
  dir_.Write("Mill/table-v2.stl", "table from the user configuration");
  const std::string machine = WriteMachine(
      R"({"Header":{"GUID":"m-1"},"Parts":[
          {"GUID":"base","Geometry":{"Path":"base.stl"}},
          {"GUID":"spindle","Geometry":{"Path":"spindle.stl"}},
          {"GUID":"table","Geometry":{"Path":"table.stl"}}]})",
      R"({"UserConfiguration":{"Models":[{"GUID":"table","Geometry":{"Path":"table-v2.stl"}}]}})");

  ExportReport report;
  const MachinePackages packages = BuildMachinePackages(machine, "Don't change", &report);
  ASSERT_TRUE(packages.ok) << report.error;
  const auto records = Records(packages.machinePackage);
  EXPECT_EQ(Names(records), (std::vector<std::string>{"base.stl", "config.json", "spindle.stl",
                                                      "table-v2.stl"}));
  EXPECT_EQ(Text(records.at("base.stl")), "base in data folder") << "data folder comes first";
  EXPECT_EQ(Text(records.at("spindle.stl")), "spindle beside the machine file");

  const Json::Value document = ParseJson(records.at("config.json"));
  EXPECT_EQ(document["MachineDefinition"]["Parts"][2]["Geometry"]["Path"].asString(), "table-v2.stl");
  const auto cfgRecords = Records(packages.configurationPackage);
  EXPECT_EQ(Names(cfgRecords), (std::vector<std::string>{"config.json"}));
  EXPECT_EQ(cfgRecords.at("config.json"), records.at("config.json"));
  EXPECT_TRUE(report.leftOut.empty());
}

TEST_F(MachineExportTest, MachineWithoutModelsHoldsOnlyItsDocument) {
  ExportReport report;
  const MachinePackages packages = BuildMachinePackages(WriteMachine("{}"), "Lathe", &report);
  ASSERT_TRUE(packages.ok) << report.error;
  const auto records = Records(packages.machinePackage);
  EXPECT_EQ(Names(records), (std::vector<std::string>{"config.json"}));
  const Json::Value header = ParseJson(records.at("config.json"))["MachineDefinition"]["Header"];
  EXPECT_TRUE(header.isMember("GUID"));
  EXPECT_EQ(header["Orientation"].asString(), "Lathe");
}

TEST_F(MachineExportTest, MissingAndEmptyModelsAreHandledAsDesigned) {
  dir_.Write("Mill/empty.stl", "");
  ExportReport report;
  const MachinePackages packages =
      BuildMachinePackages(WriteMachine(R"({"A":{"Path":"empty.stl"},"B":{"Path":"nowhere.stl"},
                       "C":[{"Path":"nowhere.stl"},{"Path":"nowhere.stl"}]})"),
                           "", &report);
  ASSERT_TRUE(packages.ok) << report.error;
  const auto records = Records(packages.machinePackage);
  EXPECT_EQ(Names(records), (std::vector<std::string>{"config.json", "empty.stl"}));
  EXPECT_TRUE(records.at("empty.stl").empty());
  EXPECT_EQ(LeftOutLines(report),
            (std::vector<std::string>{"model \"nowhere.stl\" was not found in " + dir_.text() +
                                      "Mill/ or " + dir_.text()}))
      << "a model named three times is left out once";
}

// A path may climb out of the machine data folder with "..", and is packed under its own text,
// as long as it stays inside the machine file's folder.
TEST_F(MachineExportTest, PathsThatLeaveTheMachineFoldersAreNotPacked) {
  dir_.Write("secret.txt", "outside the machine folders");
  dir_.Write("inner/common/x.stl", "shared by the machines of inner/");
  const std::string machine =
      dir_.Write(
              "inner/Mill.mcfg",
              R"({"MachineDefinition":{"P":[
      {"Path":"../../secret.txt"},{"Path":""},{"Path":")" +
                  dir_.path().string() +
                  R"(/secret.txt"},{"Path":"ok.stl"},{"Path":"../common/x.stl"},{"Path":"../secret.txt"}]}})")
          .string();
  dir_.Write("inner/Mill/config.json", "{}");
  dir_.Write("inner/Mill/ok.stl", "fine");

  ExportReport report;
  const MachinePackages packages = BuildMachinePackages(machine, "", &report);
  ASSERT_TRUE(packages.ok) << report.error;
  const auto records = Records(packages.machinePackage);
  EXPECT_EQ(Names(records), (std::vector<std::string>{"../common/x.stl", "config.json", "ok.stl"}));
  EXPECT_EQ(Text(records.at("../common/x.stl")), "shared by the machines of inner/");
  const std::string outside =
      " was refused as unsafe: the name leads out of the machine data folder and the machine "
      "file's folder";
  EXPECT_EQ(LeftOutLines(report),
            (std::vector<std::string>{
                R"(model "../../secret.txt")" + outside,
                R"(model "" was refused as unsafe: the name is empty)",
                "model \"" + dir_.path().string() +
                    "/secret.txt\" was refused as unsafe: the name is an absolute path",
                R"(model "../secret.txt" was not found in )" + dir_.text() + "inner/Mill/"}));
}

TEST_F(MachineExportTest, MachineDataFolderWithoutConfigurationFails) {
  const std::string machine = WriteMachine("{}");
  std::filesystem::remove(dir_.path() / "Mill" / "config.json");
  ExportReport report;
  const MachinePackages packages = BuildMachinePackages(machine, "", &report);
  EXPECT_FALSE(packages.ok);
  EXPECT_TRUE(packages.machinePackage.empty());
  EXPECT_NE(report.error.find("Mill/config.json: cannot be opened: No such file or directory"),
            std::string::npos)
      << report.error;
}

TEST_F(MachineExportTest, DocumentsOfTheWrongShapeFailWithAReason) {
  const std::pair<std::string, const char*> machines[] = {
      {"[]", "not a JSON object"},
      {R"({"MachineDefinition":{"Header":"x"}})", "\"Header\" is a value"},
      {R"({"MachineDefinition":{"P":[{"Path":["a"]}]}})", "MachineDefinition/P/0/Path is an array"},
      {R"({"MachineDefinition":7})", "definition is a value"},
      {R"({"Other":{}})", "no \"MachineDefinition\""},
  };
  dir_.Write("Mill/config.json", "{}");
  for (const auto& [text, expected] : machines) {
    const std::string machine = dir_.Write("Mill.mcfg", text).string();
    ExportReport report;
    EXPECT_FALSE(BuildMachinePackages(machine, "", &report).ok) << text;
    EXPECT_NE(report.error.find(expected), std::string::npos) << text << " gave: " << report.error;
  }
  const std::string machine = WriteMachine(R"({"G":{"GUID":"g"}})",
                                           R"({"UserConfiguration":{"Models":[{"GUID":"g","Geometry":{"Path":{}}}]}})");
  ExportReport report;
  EXPECT_FALSE(BuildMachinePackages(machine, "", &report).ok);
  EXPECT_NE(report.error.find("Geometry/Path is an object"), std::string::npos) << report.error;
}

// Nothing reads these "GUID"s: the header's is kept as the file has it, the other one is met by
// no search of the merge.
TEST_F(MachineExportTest, GuidsThatNothingReadsMayHoldAnything) {
  ExportReport report;
  const MachinePackages packages = BuildMachinePackages(
      WriteMachine(R"({"Header":{"GUID":{"id":7}},"P":{"GUID":[1]}})"), "Lathe", &report);
  ASSERT_TRUE(packages.ok) << report.error;
  const Json::Value definition =
      ParseJson(Records(packages.machinePackage).at("config.json"))["MachineDefinition"];
  EXPECT_EQ(definition["Header"]["GUID"]["id"].asInt(), 7);
  EXPECT_EQ(definition["P"]["GUID"][0].asInt(), 1);
}

TEST_F(MachineExportTest, ProgressNamesEachModelAndEndsWithTheWholeContent) {
  dir_.Write("Mill/a.stl", "a");
  dir_.Write("Mill/b.stl", "b");
  std::vector<std::string> read;
  bool packedAll = false;
  ExportReport report;
  report.progress = [&](const ExportProgress& p) {
    if (p.stage == ExportProgress::Stage::kReading) read.push_back(p.item);
    if (p.stage == ExportProgress::Stage::kPacking && p.item == "Mill.OrvaneSim")
      packedAll = p.done == p.total;
  };
  ASSERT_TRUE(BuildMachinePackages(WriteMachine(R"({"A":{"Path":"a.stl"},"B":{"Path":"b.stl"}})"),
                                   "", &report).ok);
  EXPECT_EQ(read, (std::vector<std::string>{"a.stl", "b.stl"}));
  EXPECT_TRUE(packedAll);
}

TEST_F(MachineExportTest, OnlyRegularFilesAreReadAndAFifoNeverBlocks) {
  const std::filesystem::path fifo = dir_.path() / "Mill" / "pipe.stl";
  const std::string machine = WriteMachine(R"({"A":{"Path":"pipe.stl"}})");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);

  ExportReport report;
  auto build =
      std::async(std::launch::async, [&] { return BuildMachinePackages(machine, "", &report); });
  if (build.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
    ADD_FAILURE() << "reading the FIFO blocks";
    do {  // a writer that comes and goes lets each blocked open go on
      ::close(::open(fifo.c_str(), O_WRONLY | O_NONBLOCK));
    } while (build.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready);
  }
  const MachinePackages packages = build.get();
  ASSERT_TRUE(packages.ok) << report.error;
  EXPECT_EQ(Names(Records(packages.machinePackage)), (std::vector<std::string>{"config.json"}));
  EXPECT_EQ(LeftOutLines(report),
            (std::vector<std::string>{"model \"pipe.stl\" is not a regular file: " + fifo.string() +
                                      " is a pipe"}));
}

TEST_F(MachineExportTest, ModelsReachedThroughLinksArePackedOnlyWhenTheyStayInside) {
  TestFolder outside;
  outside.Write("etc/hostname", "the system's own file");
  dir_.Write("Mill/base.stl", "base");
  dir_.Write("common/spindle.stl", "spindle");
  const std::filesystem::path data = dir_.path() / "Mill";
  std::filesystem::create_directory_symlink(outside.path() / "etc", data / "etclink");
  std::filesystem::create_symlink(outside.path() / "etc" / "hostname", dir_.path() / "host.stl");
  std::filesystem::create_symlink("base.stl", data / "alias.stl");
  std::filesystem::create_directory_symlink("../common", data / "shared");
  std::filesystem::create_symlink("loop.stl", data / "loop.stl");  // exists, cannot be read
  const std::string machine = WriteMachine(R"({"P":[{"Path":"etclink/hostname"},
      {"Path":"host.stl"},{"Path":"alias.stl"},{"Path":"shared/spindle.stl"},
      {"Path":"loop.stl"}]})");

  ExportReport report;
  const MachinePackages packages = BuildMachinePackages(machine, "", &report);
  ASSERT_TRUE(packages.ok) << report.error;
  const auto records = Records(packages.machinePackage);
  EXPECT_EQ(Names(records),
            (std::vector<std::string>{"alias.stl", "config.json", "shared/spindle.stl"}));
  EXPECT_EQ(Text(records.at("alias.stl")), "base");
  EXPECT_EQ(Text(records.at("shared/spindle.stl")), "spindle");
  const std::string resolved =
      std::filesystem::canonical(outside.path()).string() + "/etc/hostname";
  EXPECT_EQ(LeftOutLines(report),
            (std::vector<std::string>{
                "model \"etclink/hostname\" was refused: it leads to " + resolved +
                    ", outside the machine data folder and the machine file's folder",
                "model \"host.stl\" was refused: it leads to " + resolved +
                    ", outside the machine data folder and the machine file's folder",
                "model \"loop.stl\" cannot be read: " + (data / "loop.stl").string() +
                    ": Too many levels of symbolic links"}));
}

// The file that is read is the file that was checked: a model swapped for a link to a file
// outside the machine's folders after it was found, just before it is packed, fails the export.
TEST_F(MachineExportTest, AModelSwappedForALinkOutsideWhileItIsExportedIsNotRead) {
  TestFolder outside;
  const auto secret = outside.Write("secret", "a secret file");
  dir_.Write("Mill/a.stl", std::string(2 << 20, 'a'));           // packed first, in several slices
  const auto model = dir_.Write("Mill/b.stl", "a model stl!!");  // as long as the secret
  const std::string machine = WriteMachine(R"({"A":{"Path":"a.stl"},"B":{"Path":"b.stl"}})");
  ExportReport report;
  bool swapped = false;
  report.progress = [&](const ExportProgress& progress) {
    if (progress.stage != ExportProgress::Stage::kPacking || std::exchange(swapped, true)) return;
    std::filesystem::remove(model);
    std::filesystem::create_symlink(secret, model);
  };
  const MachinePackages packages = BuildMachinePackages(machine, "", &report);
  ASSERT_FALSE(packages.ok) << "packed: " << Text(Records(packages.machinePackage)["b.stl"]);
  EXPECT_EQ(report.error, model.string() + ": it now leads to " +
                              std::filesystem::canonical(secret).string() +
                              ", outside the machine data folder and the machine file's folder");
}

// A stem of "", "." or ".." would make the machine data folder the machine's own folder or its
// parent, and put the installed machine outside the target folder.
TEST_F(MachineExportTest, MachineFilesWithoutAUsableStemAreRefused) {
  dir_.Write("config.json", "{}");
  dir_.Write("m/config.json", "{}");
  for (const std::string name : {".mcfg", "..mcfg", "...mcfg", "."}) {
    const std::string machine =
        name == "." ? dir_.text() + "m/."
                    : dir_.Write("m/" + name, R"({"MachineDefinition":{}})").string();
    ExportReport report;
    EXPECT_FALSE(InstallMachine(machine, dir_.text() + "t/MachineCfg/", "", "", &report)) << name;
    EXPECT_EQ(report.error, machine +
                                ": the machine file's name before its extension is empty, "
                                "\".\" or \"..\", which names no machine data folder");
    report = {};
    EXPECT_FALSE(ExportMachineBundle(machine, dir_.text() + "t/out/x.zip", "", "", &report));
    EXPECT_NE(report.error.find("names no machine data folder"), std::string::npos) << report.error;
    EXPECT_FALSE(std::filesystem::exists(dir_.path() / "t")) << name;
  }
  EXPECT_EQ(dir_.Names(), (std::vector<std::string>{"config.json", "m"}));
}

class InstallMachineTest : public MachineFolderTest {
 protected:
  std::string Target() const { return (dir_.path() / "MachineCfg").string() + "/"; }
  std::filesystem::path Installed(const std::string& name) const {
    return dir_.path() / "MachineCfg" / "Mill" / name;
  }
};

TEST_F(InstallMachineTest, WritesBothPackagesIntoTheMachinesOwnFolder) {
  const std::string machine = WriteMachine(R"({"Header":{"GUID":"m"}})");
  ExportReport report;
  ASSERT_TRUE(InstallMachine(machine, Target(), "Don't change", "", &report)) << report.error;
  EXPECT_EQ(dir_.Names("MachineCfg/Mill"),
            (std::vector<std::string>{"Mill.OrvaneSim", "Mill.OrvaneSimCfg"}));
  EXPECT_EQ(Names(Records(ReadBytes(Installed("Mill.OrvaneSimCfg")))),
            (std::vector<std::string>{"config.json"}));
}

TEST_F(InstallMachineTest, InstallingAgainReplacesPackagesAndPostButKeepsOtherFiles) {
  const std::string post = dir_.Write("posts/Fanuc.pst", "post v1").string();
  const std::string machine = WriteMachine(R"({"Header":{"GUID":"m","Orientation":"Vertical"}})");
  ASSERT_TRUE(InstallMachine(machine, Target(), "Don't change", post));
  dir_.Write("MachineCfg/Mill/Other.pst", "an earlier post");

  dir_.Write("posts/Fanuc.pst", "post v2");
  ExportReport report;
  ASSERT_TRUE(InstallMachine(machine, Target(), "Horizontal", post, &report)) << report.error;
  EXPECT_EQ(Text(ReadBytes(Installed("Fanuc.pst"))), "post v2");
  EXPECT_EQ(Text(ReadBytes(Installed("Other.pst"))), "an earlier post");
  const Json::Value document =
      ParseJson(Records(ReadBytes(Installed("Mill.OrvaneSim"))).at("config.json"));
  EXPECT_EQ(document["MachineDefinition"]["Header"]["Orientation"].asString(), "Horizontal");
  EXPECT_EQ(dir_.Names("MachineCfg/Mill"),
            (std::vector<std::string>{"Fanuc.pst", "Mill.OrvaneSim", "Mill.OrvaneSimCfg",
                                      "Other.pst"}));
}

TEST_F(InstallMachineTest, PostThatCannotBeOpenedIsLeftOut) {
  const std::string machine = WriteMachine("{}");
  ASSERT_TRUE(InstallMachine(machine, Target(), "", (dir_.path() / "none.pst").string()));
  EXPECT_EQ(dir_.Names("MachineCfg/Mill").size(), 2u);
}

// A post that is there but cannot be read is not "not found": the report says why.
TEST_F(InstallMachineTest, PostThatIsAFolderOrUnreadableIsReportedAsLeftOut) {
  const std::string folder = (dir_.path() / "posts").string();
  std::filesystem::create_directories(folder);
  const std::string loop = (dir_.path() / "loop.pst").string();
  std::filesystem::create_symlink("loop.pst", loop);
  const std::string machine = WriteMachine("{}");
  for (const auto& [post, line] :
       {std::pair{folder, "is not a regular file: " + folder + " is a folder"},
        std::pair{loop, "cannot be read: " + loop + ": Too many levels of symbolic links"}}) {
    ExportReport report;
    ASSERT_TRUE(InstallMachine(machine, Target(), "", post, &report)) << report.error;
    EXPECT_EQ(LeftOutLines(report),
              (std::vector<std::string>{"external post \"" + post + "\" " + line}));
  }
}

TEST_F(InstallMachineTest, StrictInstallFailsOnAnythingLeftOutAndWritesNothing) {
  const std::string machine = WriteMachine(R"({"A":{"Path":"nowhere.stl"}})");
  ExportReport report;
  report.strict = true;
  EXPECT_FALSE(InstallMachine(machine, Target(), "", "", &report));
  EXPECT_EQ(report.error, machine + ": model \"nowhere.stl\" was not found in " + dir_.text() +
                              "Mill/ or " + dir_.text() + "; nothing was written");
  EXPECT_FALSE(std::filesystem::exists(dir_.path() / "MachineCfg"));
}

// Cancelling at every point the export asks: it fails as cancelled, and the earlier install is
// untouched, with nothing temporary left beside it.
TEST_F(InstallMachineTest, CancellingAtAnyPointChangesNothing) {
  dir_.Write("Mill/base.stl", std::string(3 << 20, 'b'));  // several packing slices
  const std::string post = dir_.Write("posts/Fanuc.pst", "post v2").string();
  const std::string machine = WriteMachine(R"({"B":{"Path":"base.stl"}})");
  ASSERT_TRUE(InstallMachine(machine, Target(), "Lathe", ""));
  const std::vector<std::string> before = dir_.Names("MachineCfg/Mill");
  const Bytes machineBefore = ReadBytes(Installed("Mill.OrvaneSim"));

  CancellingReport never(-1);
  ASSERT_TRUE(InstallMachine(machine, Target(), "", post, &never.report));
  const Bytes machineAfter = ReadBytes(Installed("Mill.OrvaneSim"));
  ASSERT_TRUE(InstallMachine(machine, Target(), "Lathe", ""));
  ASSERT_GT(never.asked, 6) << "reading, packing slices and writing each ask";
  std::filesystem::remove(Installed("Fanuc.pst"));

  for (int stopAt = 0; stopAt < never.asked; ++stopAt) {
    CancellingReport cancelling(stopAt);
    EXPECT_FALSE(InstallMachine(machine, Target(), "", post, &cancelling.report)) << stopAt;
    EXPECT_TRUE(cancelling.report.cancelled) << stopAt;
    EXPECT_EQ(cancelling.report.error, "the export was cancelled; nothing was written");
    EXPECT_EQ(dir_.Names("MachineCfg/Mill"), before) << stopAt;
    EXPECT_EQ(ReadBytes(Installed("Mill.OrvaneSim")), machineBefore) << stopAt;
  }
  EXPECT_NE(machineAfter, machineBefore) << "the uncancelled install did change the machine";
}

// Models are read while the package is written, so the folders exist before they are packed:
// a cancel then takes away every folder it made (the target folder too), as well as every
// temporary file, and leaves a folder that was there alone.
TEST_F(InstallMachineTest, CancellingAFirstInstallLeavesNoFolderItMade) {
  dir_.Write("Mill/base.stl", std::string(3 << 20, 'b'));
  const std::string machine = WriteMachine(R"({"B":{"Path":"base.stl"}})");
  CancellingReport never(-1);
  ASSERT_TRUE(InstallMachine(machine, Target(), "", "", &never.report));
  std::filesystem::remove_all(dir_.path() / "MachineCfg");
  std::filesystem::create_directory(dir_.path() / "there");
  const std::vector<std::string> before = dir_.Names();
  for (int stopAt = 0; stopAt < never.asked; ++stopAt) {
    for (const std::string& target : {Target() + "a/b", dir_.text() + "there"}) {
      CancellingReport cancelling(stopAt);
      EXPECT_FALSE(InstallMachine(machine, target, "", "", &cancelling.report)) << stopAt;
      EXPECT_TRUE(cancelling.report.cancelled) << stopAt;
      EXPECT_EQ(dir_.Names(), before) << target << " " << stopAt;
      EXPECT_TRUE(dir_.Names("there").empty()) << stopAt;
    }
  }
}

// The length of a model's record is written before its data, from the size the file had when
// it was found; a model that grows or shrinks before it is read fails the export, naming it.
TEST_F(InstallMachineTest, AModelThatChangesWhileItIsExportedFailsTheExport) {
  const std::string machine = WriteMachine(R"({"A":{"Path":"a.stl"},"B":{"Path":"b.stl"}})");
  for (const std::string changed : {"shorter", "longer, much longer"}) {
    dir_.Write("Mill/a.stl", std::string(2 << 20, 'a'));
    const std::string b = dir_.Write("Mill/b.stl", "b is eleven").string();
    ExportReport report;
    report.progress = [&](const ExportProgress& progress) {
      if (progress.stage == ExportProgress::Stage::kPacking) dir_.Write("Mill/b.stl", changed);
    };
    EXPECT_FALSE(InstallMachine(machine, Target(), "", "", &report));
    EXPECT_EQ(report.error, b + ": became " + (changed == "shorter" ? "shorter" : "longer") +
                                " while it was exported");
    EXPECT_FALSE(std::filesystem::exists(dir_.path() / "MachineCfg" / "Mill"));
  }
}

TEST_F(InstallMachineTest, TargetFolderWithoutTrailingSeparatorStillGetsTheMachineFolder) {
  ASSERT_TRUE(InstallMachine(WriteMachine("{}"), (dir_.path() / "MachineCfg").string(), "", ""));
  EXPECT_TRUE(std::filesystem::is_regular_file(Installed("Mill.OrvaneSim")));
}

TEST_F(InstallMachineTest, FailedInstallChangesNothingAndSaysWhy) {
  const std::string machine = WriteMachine("{}");
  ASSERT_TRUE(InstallMachine(machine, Target(), "", ""));
  const Bytes before = ReadBytes(Installed("Mill.OrvaneSim"));

  std::filesystem::remove(dir_.path() / "Mill" / "config.json");
  ExportReport report;
  EXPECT_FALSE(InstallMachine(machine, Target(), "Lathe", "", &report));
  EXPECT_FALSE(report.error.empty());
  EXPECT_EQ(ReadBytes(Installed("Mill.OrvaneSim")), before);

  dir_.Write("blocker", "a file where the target folder should be");
  EXPECT_FALSE(InstallMachine(WriteMachine("{}"), (dir_.path() / "blocker").string() + "/", "", "",
                              &report));
  EXPECT_EQ(report.error,
            dir_.text() + "blocker/Mill/: the folder cannot be created: Not a directory");
}

TEST_F(InstallMachineTest, UnwritableTargetIsAFailureAndLeavesNoTemporaryFile) {
  const std::string machine = WriteMachine("{}");
  std::filesystem::create_directories(Installed("Mill.OrvaneSimCfg") / "occupied");
  ExportReport report;
  EXPECT_FALSE(InstallMachine(machine, Target(), "", "", &report));
  EXPECT_EQ(report.error,
            "cannot replace " + Installed("Mill.OrvaneSimCfg").string() + ": Is a directory");
  EXPECT_EQ(dir_.Names("MachineCfg/Mill"), (std::vector<std::string>{"Mill.OrvaneSimCfg"}));
}

// A file of the install that cannot be put in place after others were: those are put back, so
// the new machine package never sits beside the old configuration package.
TEST_F(InstallMachineTest, InstallFailingPartWayPutsBackWhatItReplaced) {
  const std::string post = dir_.Write("posts/Fanuc.pst", "post v2").string();
  const std::string machine = WriteMachine(R"({"Header":{"GUID":"m"}})");
  ASSERT_TRUE(InstallMachine(machine, Target(), "", ""));
  const Bytes machineBefore = ReadBytes(Installed("Mill.OrvaneSim"));
  const Bytes configurationBefore = ReadBytes(Installed("Mill.OrvaneSimCfg"));

  for (const std::string blocked : {"Fanuc.pst", "Mill.OrvaneSimCfg"}) {
    std::filesystem::remove(Installed(blocked));
    std::filesystem::create_directories(Installed(blocked) / "occupied");
    ExportReport report;
    EXPECT_FALSE(InstallMachine(machine, Target(), "Lathe", post, &report)) << blocked;
    EXPECT_EQ(report.error, "cannot replace " + Installed(blocked).string() + ": Is a directory");
    EXPECT_EQ(ReadBytes(Installed("Mill.OrvaneSim")), machineBefore) << blocked;
    EXPECT_EQ(dir_.Names("MachineCfg/Mill"),
              (std::vector<std::string>{"Fanuc.pst", "Mill.OrvaneSim", "Mill.OrvaneSimCfg"}));
    std::filesystem::remove_all(Installed(blocked));
    dir_.Write("MachineCfg/Mill/" + blocked, Text(configurationBefore));
  }
  EXPECT_EQ(ReadBytes(Installed("Mill.OrvaneSimCfg")), configurationBefore);
}

TEST_F(InstallMachineTest, PostNamedLikeAPackageIsRefused) {
  const std::string post = dir_.Write("posts/Mill.OrvaneSim", "not a package").string();
  ExportReport report;
  EXPECT_FALSE(InstallMachine(WriteMachine("{}"), Target(), "", post, &report));
  EXPECT_NE(report.error.find("is taken"), std::string::npos) << report.error;
  EXPECT_FALSE(std::filesystem::exists(dir_.path() / "MachineCfg"));
}

TEST(CreateParentDirectoriesTest, CreatesEveryMissingLevelAndReportsFailure) {
  TestFolder dir;
  EXPECT_TRUE(CreateParentDirectories(dir.text() + "a/b\\c/file.bin"));
  EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "a" / "b\\c"));
  EXPECT_TRUE(CreateParentDirectories("bare-name.bin"));
  dir.Write("file", "x");
  EXPECT_FALSE(CreateParentDirectories(dir.text() + "file/sub/x.bin"));
}

}  // namespace
}  // namespace rigwright
