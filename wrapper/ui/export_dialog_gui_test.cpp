// The real export dialog on a (virtual) display: its controls in both target states, and a whole
// export from filled fields to a verified bundle.
#include <gtest/gtest.h>
#include <wx/button.h>
#include <wx/choice.h>
#include <wx/frame.h>
#include <wx/progdlg.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "common/testing/scoped_environment.h"
#include "common/testing/test_folder.h"
#include "common/testing/wx_modal_expectations.h"
#include "common/testing/wx_test_support.h"
#include "wrapper/export/export_test_util.h"
#include "wrapper/ui/export_dialog.h"
#include "wrapper/ui/my_edit_browse_ctrl.h"
#include "wrapper/ui/testing/progress_window.h"

namespace rigwright {
namespace {

using rigwright::testing::SaveScreenshot;

// Whether a window of the given kind is on the screen.
template <typename Window>
bool AnyShown() {
  for (wxWindow* window : wxTopLevelWindows) {
    if (dynamic_cast<Window*>(window) && window->IsShown()) return true;
  }
  return false;
}

class RecordingMessages final : public DialogMessages {
 public:
  void Show(const DialogMessage& message) override {
    shown.push_back(message);
    progressShownWithMessage = progressShownWithMessage || AnyShown<wxProgressDialog>();
  }
  std::vector<DialogMessage> shown;
  bool progressShownWithMessage = false;
};

class ExportDialogGuiTest : public ::testing::Test {
 protected:
  void SetUp() override { environment_.Set("APPDATA", Utf8FromPath(dir_.path() / "AppData")); }

  // A dialog opened the way the export callback opens it, but without a modal loop.
  std::unique_ptr<ExportDialog> Open(const std::string& machineFile) {
    auto dialog = std::make_unique<ExportDialog>(nullptr, RealExportWriters(), messages_);
    dialog->SetMachineFile(machineFile);
    dialog->InitDialog();
    dialog->Show();
    rigwright::testing::LetWindowsSettle(200);
    return dialog;
  }

  static std::filesystem::path Screenshot(const char* name) {
    return std::filesystem::path(RIGWRIGHT_BINARY_DIR) / "screenshots" / name;
  }

  TestFolder dir_;
  RecordingMessages messages_;
  ScopedEnvironment environment_;
};

TEST_F(ExportDialogGuiTest, WithoutKelmorasFolderOnlyTheBundleIsOfferedWithItsSaveAsRow) {
  auto dialog = Open("/m/Mill.Big.mcfg");
  EXPECT_EQ(dialog->GetTitle(), "Export");
  ASSERT_EQ(dialog->exportTarget()->GetCount(), 1u);
  EXPECT_EQ(dialog->exportTarget()->GetString(0), "Kelmora bundle (.OrvaneSimBundle)");
  EXPECT_EQ(dialog->exportTarget()->GetSelection(), 0);
  EXPECT_TRUE(dialog->saveAsLabel()->IsShown());
  EXPECT_TRUE(dialog->saveAsField()->IsShown());
  EXPECT_TRUE(dialog->description()->GetLabel().StartsWith("Create a bundle file"));
  EXPECT_TRUE(dialog->description()->GetFont().GetStyle() == wxFONTSTYLE_ITALIC);
  EXPECT_EQ(dialog->saveAsField()->defaultFileName, "Mill.Big");
  EXPECT_EQ(dialog->saveAsField()->GetFieldText(), "");
  EXPECT_FALSE(dialog->postField()->saveMode);
  EXPECT_EQ(dialog->postField()->defaultExtension, ".pst");
  EXPECT_TRUE(SaveScreenshot(dialog.get(), Screenshot("export-dialog-bundle.png")));
}

TEST_F(ExportDialogGuiTest, WithKelmorasFolderTheInstalledTargetIsPreselected) {
  std::filesystem::create_directories(dir_.path() / "AppData" / "Kelmora" / "MachineCfg");
  auto dialog = Open("/m/Mill.mcfg");
  ASSERT_EQ(dialog->exportTarget()->GetCount(), 2u);
  EXPECT_EQ(dialog->exportTarget()->GetSelection(), 1);
  EXPECT_EQ(dialog->description()->GetLabel(), "Install this machine directly in Kelmora on this PC.");
  EXPECT_FALSE(dialog->saveAsLabel()->IsShown());
  EXPECT_FALSE(dialog->saveAsField()->IsShown());
  EXPECT_TRUE(SaveScreenshot(dialog.get(), Screenshot("export-dialog-installed.png")));

  dialog->exportTarget()->SetSelection(0);
  wxCommandEvent changed(wxEVT_CHOICE, ExportDialog::kExportTargetId);
  changed.SetInt(0);
  dialog->exportTarget()->ProcessWindowEvent(changed);
  EXPECT_TRUE(dialog->saveAsLabel()->IsShown());
  EXPECT_TRUE(dialog->saveAsField()->IsShown());
}

TEST_F(ExportDialogGuiTest, FilledDialogWritesABundleThatVerifies) {
  // Non-ASCII folders on every path: the fields hand UTF-8 to the writers unchanged.
  dir_.Write("Maschinen-\xC3\xBC/Mill/config.json", "{}");
  dir_.Write("Maschinen-\xC3\xBC/Mill/base.stl", "solid-ish");
  const std::string machine = Utf8FromPath(dir_.Write(
      "Maschinen-\xC3\xBC/Mill.mcfg", R"({"MachineDefinition":{"B":{"Path":"base.stl"}}})"));
  const std::string post =
      Utf8FromPath(dir_.Write("Posts \xE6\x9C\xBA/Fanuc.pst", "%\nO1000\n%\n"));
  const std::string bundle = dir_.text() + "Ausgabe \xC3\x9F/Mill.OrvaneSimBundle";

  auto dialog = Open(machine);
  dialog->saveAsField()->SetFieldText(bundle);
  dialog->postField()->SetFieldText(post);
  wxCommandEvent ok(wxEVT_BUTTON, ExportDialog::kOkId);
  dialog->ProcessWindowEvent(ok);

  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.shown[0].text, "Success!");
  EXPECT_EQ(messages_.shown[0].icon, MessageIcon::kInformation);
  EXPECT_FALSE(dialog->IsShown()) << "the dialog closes after a writer ran";
  EXPECT_FALSE(messages_.progressShownWithMessage) << "the progress window closes first";
  EXPECT_EQ(testing::Names(testing::Records(testing::ReadBytes(PathFromUtf8(bundle)))),
            (std::vector<std::string>{"Fanuc.pst", "Mill.OrvaneSim", "Mill.OrvaneSimCfg"}))
      << "a bundle whose signature holds";
}

TEST_F(ExportDialogGuiTest, InputProblemsKeepTheDialogOpen) {
  auto dialog = Open("/m/Mill.mcfg");
  wxCommandEvent ok(wxEVT_BUTTON, ExportDialog::kOkId);
  dialog->ProcessWindowEvent(ok);
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.shown[0].text, "Please select an output file.");
  EXPECT_EQ(messages_.shown[0].icon, MessageIcon::kExclamation);
  EXPECT_TRUE(dialog->IsShown());
}

// Answers the file dialog with `path` (or Cancel) once its chooser has taken the path in.
class ChooseInFileDialog final : public wxExpectModalBase<wxFileDialog> {
 public:
  ChooseInFileDialog(wxString path, int button = wxID_OK)
      : path_(std::move(path)), button_(button) {}

 protected:
  int OnInvoked(wxFileDialog* dialog) const override {
    dialog->SetPath(path_);
    for (int i = 0; i < 100 && dialog->GetPath() != path_; ++i) testing::LetWindowsSettle(50);
    EXPECT_EQ(dialog->GetPath(), path_);
    return button_;
  }

 private:
  wxString path_;
  int button_;
};

TEST_F(ExportDialogGuiTest, TheSaveAsBrowserAsksBeforeReplacingTheFileItsExtensionNames) {
  dir_.Write("out/Mill.OrvaneSimBundle", "earlier");
  const std::string typed = dir_.text() + "out/Mill";  // the dialog saw no file of this name
  const std::string bundle = typed + ".OrvaneSimBundle";
  auto dialog = Open("/m/Mill.mcfg");
  CMyEditBrowseCtrl* field = dialog->saveAsField();
  const auto browse = [field] {
    wxCommandEvent click(wxEVT_BUTTON, field->browseButton()->GetId());
    field->browseButton()->ProcessWindowEvent(click);
  };

  wxTEST_DIALOG(browse(), ChooseInFileDialog(typed), wxExpectModal<wxMessageDialog>(wxID_NO),
                ChooseInFileDialog(typed, wxID_CANCEL));
  EXPECT_EQ(field->GetFieldText(), "") << "No offers the file dialog again";

  wxTEST_DIALOG(browse(), ChooseInFileDialog(typed), wxExpectModal<wxMessageDialog>(wxID_YES));
  EXPECT_EQ(field->GetFieldText(), bundle);
}

// The real writers, with a user who presses the progress window's Cancel once the export has run
// for a while; the progress window is captured just before.
class CancellingWriters final : public ExportWriters {
 public:
  explicit CancellingWriters(std::filesystem::path screenshot)
      : screenshot_(std::move(screenshot)) {}

  bool ExportBundle(const std::string& machineFile, const std::string& outputPath,
                    const std::string& orientation, const std::string& externalPost,
                    ExportReport* report) override {
    Intercept(report);
    return RealExportWriters().ExportBundle(machineFile, outputPath, orientation, externalPost,
                                            report);
  }
  bool Install(const std::string&, const std::string&, const std::string&, const std::string&,
               ExportReport*) override {
    ADD_FAILURE() << "only the bundle is exported here";
    return false;
  }

  bool pressed = false;
  bool captured = false;

 private:
  void Intercept(ExportReport* report) {
    started_ = std::chrono::steady_clock::now();
    report->progress = [this, shown = report->progress](const ExportProgress& progress) {
      shown(progress);
      // Pressed once the export has run a while, so that its progress window is on the screen.
      if (pressed || std::chrono::steady_clock::now() - started_ < std::chrono::milliseconds(300)) {
        return;
      }
      PressCancel("Exporting...");
    };
  }

  void PressCancel(const wxString& title) {
    // Read back from the display without letting events run: the window is inside its update.
    const std::optional<wxRect> rect = testing::ProgressWindowArea(title);
    if (!rect) return;  // not on the screen yet: the next step of the export tries again
    ScreenPixels pixels;
    if (CaptureScreenArea(rect->GetX(), rect->GetY(), rect->GetWidth(), rect->GetHeight(),
                          &pixels)) {
      std::filesystem::create_directories(screenshot_.parent_path());
      wxImage image(pixels.width, pixels.height, pixels.rgb.data(), /*static_data=*/true);
      captured = image.SaveFile(wxString::FromUTF8(Utf8FromPath(screenshot_)), wxBITMAP_TYPE_PNG);
    }
    ASSERT_TRUE(testing::PressProgressCancel(title)) << "the progress window offers Cancel";
    pressed = true;
  }

  std::filesystem::path screenshot_;
  std::chrono::steady_clock::time_point started_;
};

TEST_F(ExportDialogGuiTest, CancellingALongExportKeepsTheEarlierBundle) {
  // Models that take about a second to pack on two cores (more on one).
  const std::string model = testing::CompressibleNoise(48 << 20);
  for (const char* name : {"base.stl", "column.stl", "head.stl"})
    dir_.Write(std::string("Mill/") + name, model);
  dir_.Write("Mill/config.json", "{}");
  const std::string machine =
      dir_.Write("Mill.mcfg", R"({"MachineDefinition":{"A":{"Path":"base.stl"},)"
                              R"("B":{"Path":"column.stl"},"C":{"Path":"head.stl"}}})")
          .string();
  const std::string bundle =
      Utf8FromPath(dir_.Write("out/Mill.OrvaneSimBundle", "an earlier bundle"));

  CancellingWriters writers(Screenshot("export-progress.png"));
  ExportDialog dialog(nullptr, writers, messages_);
  dialog.SetMachineFile(machine);
  dialog.InitDialog();
  dialog.Show();
  dialog.saveAsField()->SetFieldText(bundle);
  wxCommandEvent ok(wxEVT_BUTTON, ExportDialog::kOkId);
  dialog.ProcessWindowEvent(ok);

  EXPECT_TRUE(writers.pressed) << "the export ended before Cancel could be pressed";
  EXPECT_TRUE(writers.captured);
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.shown[0].text, "The export was cancelled. Nothing was written.");
  EXPECT_FALSE(dialog.IsShown()) << "the dialog closes as after a failure";
  EXPECT_EQ(dir_.Names("out"), (std::vector<std::string>{"Mill.OrvaneSimBundle"}));
  std::ifstream kept(bundle);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "an earlier bundle");
}

TEST_F(ExportDialogGuiTest, TheDialogBelongsToTheDesktopNotToTheEditorsWindow) {
  // The editor's window is the application's top window while the export runs.
  auto* editor = new wxFrame(nullptr, wxID_ANY, "Editor");
  wxTheApp->SetTopWindow(editor);
  editor->Show();
  auto dialog = Open("/m/Mill.mcfg");
  EXPECT_EQ(dialog->GetParentForModalDialog(), nullptr);
  wxTheApp->SetTopWindow(nullptr);
  editor->Destroy();
}

TEST(ExportDialogMessagesTest, IconsFollowTheRuleAndFailuresHaveNone) {
  WxDialogMessages messages;
  const struct {
    MessageIcon icon;
    long expected;
  } cases[] = {{MessageIcon::kNone, wxICON_NONE},
               {MessageIcon::kExclamation, wxICON_EXCLAMATION},
               {MessageIcon::kInformation, wxICON_INFORMATION}};
  for (const auto& c : cases) {
    wxString text;
    long style = 0;
    wxTEST_DIALOG(messages.Show({"Something went wrong!", c.icon}),
                  rigwright::testing::ExpectMessage(&text, &style));
    EXPECT_EQ(style & wxICON_MASK, c.expected) << "icon " << static_cast<int>(c.icon);
    EXPECT_EQ(text, "Something went wrong!");
  }
}

}  // namespace
}  // namespace rigwright
