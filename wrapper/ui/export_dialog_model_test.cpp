#include "wrapper/ui/export_dialog_model.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "common/testing/captured_support_log.h"
#include "common/testing/scoped_environment.h"
#include "common/testing/test_folder.h"

namespace rigwright {
namespace {

// Records the writer calls the dialog makes and answers with a set result.
class RecordingWriters final : public ExportWriters {
 public:
  struct Call {
    std::string writer, machineFile, target, orientation, post;
  };

  bool ExportBundle(const std::string& machineFile, const std::string& outputPath,
                    const std::string& orientation, const std::string& externalPost,
                    ExportReport* report) override {
    return Record({"bundle", machineFile, outputPath, orientation, externalPost}, report);
  }
  bool Install(const std::string& machineFile, const std::string& targetFolder,
               const std::string& orientation, const std::string& externalPost,
               ExportReport* report) override {
    return Record({"install", machineFile, targetFolder, orientation, externalPost}, report);
  }

  std::vector<Call> calls;
  bool result = true;
  std::string failureReason;
  std::vector<LeftOutFile> leftOut;  // what a successful writer reports as left out
  bool cancel = false;               // the writer asks whether to go on, and stops if told

 private:
  bool Record(Call call, ExportReport* report) {
    calls.push_back(std::move(call));
    if (cancel && report->cancelRequested && report->cancelRequested()) {
      report->cancelled = true;
      report->error = "the export was cancelled; nothing was written";
      return false;
    }
    if (!result) report->error = failureReason;
    if (result) report->leftOut = leftOut;
    return result;
  }
};

class ExportDialogModelTest : public ::testing::Test {
 protected:
  ExportDialogModel::Outcome Ok(const std::string& saveAs, const std::string& post = "") {
    ExportReport report;
    return model_.Confirm(saveAs, post, writers_, [this] { return simulatorFolder_; }, report);
  }
  void Open(const std::string& simulatorFolder) {
    simulatorFolder_ = simulatorFolder;
    model_.SetMachineFile("/m/Mill.mcfg");
    model_.Initialize(simulatorFolder);
  }

  TestFolder dir_;
  ExportDialogModel model_;
  RecordingWriters writers_;
  std::string simulatorFolder_;
};

TEST_F(ExportDialogModelTest, WithoutTheSimulatorFolderOnlyTheBundleIsOffered) {
  Open("");
  EXPECT_EQ(model_.targets(), std::vector<std::string>{"Kelmora bundle (.OrvaneSimBundle)"});
  EXPECT_EQ(model_.selection(), 0);
  EXPECT_TRUE(model_.saveAsVisible());
  EXPECT_EQ(model_.description(),
            "Create a bundle file that can be installed in Kelmora on any PC.\n"
            "Kelmora Setup -> Machine Installer -> Custom Machine.");
}

TEST_F(ExportDialogModelTest, WithTheFolderTheInstalledMachineIsPreselected) {
  Open("/home/u/.local/share/Kelmora/MachineCfg/");
  EXPECT_EQ(model_.targets(), (std::vector<std::string>{"Kelmora bundle (.OrvaneSimBundle)",
                                                        "Kelmora installed machine"}));
  EXPECT_EQ(model_.selection(), 1);
  EXPECT_FALSE(model_.saveAsVisible());
  EXPECT_EQ(model_.description(), "Install this machine directly in Kelmora on this PC.");
  model_.Select(0);
  EXPECT_TRUE(model_.saveAsVisible());
  model_.Select(-1);
  EXPECT_TRUE(model_.saveAsVisible()) << "no selection changes nothing";
  EXPECT_NE(model_.description().find("any PC"), std::string::npos);
}

TEST_F(ExportDialogModelTest, ProposedFileNameIsTheMachinesStem) {
  EXPECT_EQ(DefaultBundleFileName("C:\\m\\Mill.Big.mcfg"), "Mill.Big");
  EXPECT_EQ(DefaultBundleFileName("/home/u/Lathe.mcfg"), "Lathe");
  EXPECT_EQ(DefaultBundleFileName("plainname"), "plainname");
  model_.SetMachineFile("C:\\m\\Mill.Big.mcfg");
  EXPECT_EQ(model_.defaultFileName(), "Mill.Big");
}

TEST_F(ExportDialogModelTest, PostIsCheckedBeforeTheSaveAsField) {
  Open("");
  // The fixed text, then the post's path and what the system said about it.
  const std::string fixed =
      "A path to an external post was provided, but the file cannot be found.\n\n";
  std::filesystem::create_directory(dir_.path() / "posts");
  const std::pair<std::string, std::string> posts[] = {
      {dir_.text() + "gone.pst", ": "},  // the system's words follow, in its own language
      {dir_.text() + "posts", ": it is a folder"},
  };
  for (const auto& [post, why] : posts) {
    const auto missingPost = Ok("", post);
    ASSERT_TRUE(missingPost.message);
    EXPECT_TRUE(missingPost.message->text.starts_with(fixed + post + why))
        << missingPost.message->text;
    EXPECT_GT(missingPost.message->text.size(), (fixed + post + ": ").size());
    EXPECT_EQ(missingPost.message->icon, MessageIcon::kExclamation);
    EXPECT_FALSE(missingPost.close);
  }

  const auto noOutput = Ok("", "");
  ASSERT_TRUE(noOutput.message);
  EXPECT_EQ(noOutput.message->text, "Please select an output file.");
  EXPECT_EQ(noOutput.message->icon, MessageIcon::kExclamation);
  EXPECT_FALSE(noOutput.close);
  EXPECT_TRUE(writers_.calls.empty());
}

TEST_F(ExportDialogModelTest, BundleTargetPassesTheFieldsAndDontChange) {
  Open("");
  const std::string post = dir_.Write("B2.pst", "post").string();
  const auto outcome = Ok("/out/Mill.OrvaneSimBundle", post);
  ASSERT_EQ(writers_.calls.size(), 1u);
  const auto& call = writers_.calls[0];
  EXPECT_EQ(call.writer, "bundle");
  EXPECT_EQ(call.machineFile, "/m/Mill.mcfg");
  EXPECT_EQ(call.target, "/out/Mill.OrvaneSimBundle");
  EXPECT_EQ(call.orientation, "Don't change");
  EXPECT_EQ(call.post, post);
  ASSERT_TRUE(outcome.message);
  EXPECT_EQ(outcome.message->text, "Success!");
  EXPECT_EQ(outcome.message->icon, MessageIcon::kInformation);
  EXPECT_TRUE(outcome.close);
}

TEST_F(ExportDialogModelTest, InstalledTargetIgnoresTheSaveAsField) {
  Open("/appdata/Kelmora/MachineCfg/");
  Ok("");
  Ok("/typed/but/hidden.OrvaneSimBundle");
  ASSERT_EQ(writers_.calls.size(), 2u);
  for (const auto& call : writers_.calls) {
    EXPECT_EQ(call.writer, "install");
    EXPECT_EQ(call.target, "/appdata/Kelmora/MachineCfg/");
    EXPECT_EQ(call.orientation, "Don't change");
    EXPECT_EQ(call.post, "");
  }
}

TEST_F(ExportDialogModelTest, FailuresCloseWithoutIconAndSayWhy) {
  Open("/appdata/Kelmora/MachineCfg/");
  writers_.result = false;
  writers_.failureReason = "/m/Mill/config.json: cannot be opened";
  const auto failed = Ok("");
  ASSERT_TRUE(failed.message);
  EXPECT_EQ(failed.message->text, "Something went wrong!\n\n/m/Mill/config.json: cannot be opened");
  EXPECT_EQ(failed.message->icon, MessageIcon::kNone);
  EXPECT_TRUE(failed.close);

  simulatorFolder_.clear();  // the folder went away while the dialog was open
  writers_.calls.clear();
  const auto gone = Ok("");
  EXPECT_TRUE(writers_.calls.empty());
  ASSERT_TRUE(gone.message);
  EXPECT_EQ(gone.message->text.rfind("Something went wrong!\n\nKelmora's machine folder", 0), 0u)
      << gone.message->text;
  EXPECT_TRUE(gone.close);

  model_.Select(-1);
  const auto none = Ok("/x.OrvaneSimBundle");
  EXPECT_EQ(none.message->text, "Something went wrong!");
  EXPECT_TRUE(none.close);
  EXPECT_TRUE(writers_.calls.empty());
}

LeftOutFile NotFound(const std::string& path) {
  LeftOutFile file = LeftOutModel(path, LeftOutFile::Reason::kNotFound, {});
  file.searched = {"/m/Mill/", "/m/"};
  return file;
}

TEST_F(ExportDialogModelTest, ACompleteExportIsASuccessWithTheInformationIcon) {
  Open("");
  const auto outcome = Ok("/out/Mill.OrvaneSimBundle");
  ASSERT_TRUE(outcome.message);
  EXPECT_EQ(outcome.message->text, "Success!");
  EXPECT_EQ(outcome.message->icon, MessageIcon::kInformation);
}

TEST_F(ExportDialogModelTest, FilesLeftOutAreNamedAfterSuccessWithTheExclamationIcon) {
  Open("/k/MachineCfg/");
  LeftOutFile post =
      LeftOutModel("/p/posts", LeftOutFile::Reason::kNotRegularFile, "/p/posts is a folder");
  post.post = true;
  writers_.leftOut = {
      NotFound("base.stl"),
      NotFound("models\\head.stl"),
      LeftOutModel("../x.stl", LeftOutFile::Reason::kUnsafe, "the name has a \"..\" component"),
      LeftOutModel("pipe.stl", LeftOutFile::Reason::kNotRegularFile, "/m/Mill/pipe.stl is a pipe"),
      LeftOutModel("etc/hostname", LeftOutFile::Reason::kOutside,
                   "it leads to /etc/hostname, outside the machine data folder and the machine "
                   "file's folder"),
      post};
  const auto outcome = Ok("");
  ASSERT_TRUE(outcome.message);
  EXPECT_TRUE(outcome.close);
  EXPECT_EQ(outcome.message->icon, MessageIcon::kExclamation);
  EXPECT_EQ(outcome.message->text,
            "Success!\n\n"
            "6 files were left out:\n"
            "model \"base.stl\" was not found in /m/Mill/ or /m/\n"
            "model \"models\\head.stl\" was not found in /m/Mill/ or /m/\n"
            "model \"../x.stl\" was refused as unsafe: the name has a \"..\" component\n"
            "model \"pipe.stl\" is not a regular file: /m/Mill/pipe.stl is a pipe\n"
            "model \"etc/hostname\" was refused: it leads to /etc/hostname, outside the machine "
            "data folder and the machine file's folder\n"
            "external post \"/p/posts\" is not a regular file: /p/posts is a folder");

  writers_.leftOut = {NotFound("base.stl")};
  EXPECT_EQ(Ok("").message->text,
            "Success!\n\n1 file was left out:\nmodel \"base.stl\" was not found in /m/Mill/ or "
            "/m/");
}

TEST_F(ExportDialogModelTest, MoreThanTenLeftOutAreNamedUpToTenAndCounted) {
  Open("/k/MachineCfg/");
  for (int i = 0; i < 13; ++i) writers_.leftOut.push_back(NotFound(std::to_string(i) + ".stl"));
  const std::string text = Ok("").message->text;
  EXPECT_TRUE(text.starts_with("Success!\n\n13 files were left out:\n")) << text;
  EXPECT_NE(text.find("model \"9.stl\""), std::string::npos) << text;
  EXPECT_EQ(text.find("model \"10.stl\""), std::string::npos) << text;
  EXPECT_TRUE(text.ends_with("/m/\nand 3 more")) << text;
}

TEST_F(ExportDialogModelTest, ACancelledExportSaysSoAndCloses) {
  Open("/k/MachineCfg/");
  writers_.cancel = true;
  ExportReport report;
  report.cancelRequested = [] { return true; };
  const auto outcome = model_.Confirm(
      "", "", writers_, [this] { return simulatorFolder_; }, report);
  ASSERT_TRUE(outcome.message);
  EXPECT_TRUE(outcome.close);
  EXPECT_EQ(outcome.message->text, "The export was cancelled. Nothing was written.");
  EXPECT_EQ(outcome.message->icon, MessageIcon::kInformation);
}

TEST_F(ExportDialogModelTest, SimulatorFolderIsOfferedOnlyWhenItExists) {
  ScopedEnvironment environment;
  environment.Set("APPDATA", Utf8FromPath(dir_.path()));
  EXPECT_EQ(FindSimulatorMachineFolder(), "");
  const std::filesystem::path folder = dir_.path() / "Kelmora" / "MachineCfg" / "";
  std::filesystem::create_directories(folder);
  EXPECT_EQ(FindSimulatorMachineFolder(),
            Utf8FromPath(std::filesystem::path(folder).make_preferred()))
      << "in the system's own form, ending in its separator";
}

// Support reads how each of the editor's exports ended: the files written, or why it failed.
TEST(RealExportWritersTest, EachExportTellsTheSupportLogHowItEnded) {
  TestFolder dir;
  dir.Write("Mill/config.json", R"({"UserConfiguration":{"Models":[]}})");
  const std::string machine = dir.text() + "Mill.mcfg";
  dir.Write("Mill.mcfg", R"({"MachineDefinition": {}})");
  const std::string missing = dir.text() + "none.mcfg", kelmora = dir.text() + "kelmora/";
  CapturedSupportLog log;
  ExportReport bundle, install;
  ASSERT_TRUE(RealExportWriters().ExportBundle(machine, dir.text() + "b", "", "", &bundle))
      << bundle.error;
  ASSERT_FALSE(RealExportWriters().Install(missing, kelmora, "", "", &install));

  for (const std::string& part :
       {"info: export: bundle of " + machine + " to " + dir.text() + "b done in ",
        "; wrote \"" + dir.text() + "Mill.OrvaneSimBundle\"\n",
        "error: export: install of " + missing + " into " + kelmora + " ended after ",
        " s: " + install.error + "\n"}) {
    EXPECT_THAT(log.Text(), ::testing::HasSubstr(part));
  }
}

TEST(FileDialogTextTest, FilterAndDefaultExtension) {
  EXPECT_EQ(FileDialogFilter("OrvaneSimBundle Files (*.OrvaneSimBundle)|*.OrvaneSimBundle||"),
            "OrvaneSimBundle Files (*.OrvaneSimBundle)|*.OrvaneSimBundle");
  EXPECT_EQ(WithDefaultExtension("/out/Mill.Big", ".OrvaneSimBundle"),
            "/out/Mill.Big.OrvaneSimBundle");
  EXPECT_EQ(WithDefaultExtension("/out/M.orvanesimbundle", ".OrvaneSimBundle"),
            "/out/M.orvanesimbundle");
  EXPECT_EQ(WithDefaultExtension("/out.d/Mill", ".OrvaneSimBundle"), "/out.d/Mill.OrvaneSimBundle");
  EXPECT_EQ(WithDefaultExtension("/out/x.pst", ".pst"), "/out/x.pst");
}

}  // namespace
}  // namespace rigwright
