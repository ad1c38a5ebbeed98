#include "wrapper/ui/export_dialog.h"

#include <wx/button.h>
#include <wx/choice.h>
#include <wx/msgdlg.h>
#include <wx/progdlg.h>
#include <wx/stattext.h>
#include <wx/stopwatch.h>
#include <wx/utils.h>

#include <algorithm>
#include <memory>

#include "wrapper/ui/my_edit_browse_ctrl.h"

namespace rigwright {
namespace {

// A rectangle of the template in dialog units.
struct Place {
  int x, y, width, height;
};

// Shows how far a writer has come, so that a large machine does not look like a frozen window,
// and lets the user cancel it. The window's events are handled while it is updated, so a click
// on Cancel is seen at the next update, at most a tenth of a second later.
class ExportProgressView {
 public:
  explicit ExportProgressView(wxWindow* parent) : parent_(parent) {}

  void Update(const ExportProgress& progress) {
    const bool newStep = progress.stage != stage_ || progress.item != item_;
    if (!newStep && watch_.Time() < 100) return;
    stage_ = progress.stage;
    item_ = progress.item;
    watch_.Start();
    if (!dialog_) {
      dialog_ = std::make_unique<wxProgressDialog>(
          "Exporting...", "Exporting...", 100, parent_,
          wxPD_APP_MODAL | wxPD_AUTO_HIDE | wxPD_SMOOTH | wxPD_CAN_ABORT);
    }
    if (!dialog_->Update(Percent(progress), wxString::FromUTF8(Text(progress)))) {
      cancelled_ = true;
    }
  }

  bool cancelled() const { return cancelled_; }

 private:
  static int Percent(const ExportProgress& p) {
    const double part = p.total ? static_cast<double>(p.done) / static_cast<double>(p.total) : 0;
    switch (p.stage) {
      case ExportProgress::Stage::kReading: return static_cast<int>(30 * part);
      case ExportProgress::Stage::kPacking: return 30 + static_cast<int>(65 * part);
      case ExportProgress::Stage::kWriting: return std::min(99, 95 + static_cast<int>(5 * part));
    }
    return 0;
  }
  static std::string Text(const ExportProgress& p) {
    switch (p.stage) {
      case ExportProgress::Stage::kReading: return "Reading " + p.item;
      case ExportProgress::Stage::kPacking: return "Packing " + p.item;
      case ExportProgress::Stage::kWriting: return p.item.empty() ? "Writing" : "Writing " + p.item;
    }
    return {};
  }

  wxWindow* parent_;
  std::unique_ptr<wxProgressDialog> dialog_;
  bool cancelled_ = false;
  ExportProgress::Stage stage_ = ExportProgress::Stage::kReading;
  std::string item_;
  wxStopWatch watch_;
};

}  // namespace

ExportDialog::ExportDialog(wxWindow* parent, ExportWriters& writers, DialogMessages& messages)
    : wxDialog(parent, wxID_ANY, "Export", wxDefaultPosition, wxDefaultSize,
               // Owned by the desktop, not by whichever window of the editor is on top: the
               // dialog gets a taskbar entry of its own and is not tied to the editor's window.
               wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX | wxDIALOG_NO_PARENT),
      writers_(writers),
      messages_(messages) {
  SetFont(wxFont(wxFontInfo(9).FaceName("Segoe UI")));
  CreateControls();
  SetAffirmativeId(kOkId);
  SetEscapeId(kCancelId);
  Bind(wxEVT_INIT_DIALOG, &ExportDialog::OnInitDialog, this);
  exportTarget_->Bind(wxEVT_CHOICE, &ExportDialog::OnTargetChanged, this);
  Bind(wxEVT_BUTTON, &ExportDialog::OnOkClicked, this, kOkId);
}

void ExportDialog::CreateControls() {
  SetClientSize(ConvertDialogToPixels(wxSize(279, 182)));
  auto at = [this](const Place& p) { return ConvertDialogToPixels(wxPoint(p.x, p.y)); };
  auto size = [this](const Place& p) { return ConvertDialogToPixels(wxSize(p.width, p.height)); };
  auto label = [&](wxWindowID id, const char* text, const Place& p) {
    return new wxStaticText(this, id, text, at(p), size(p));
  };
  label(wxID_STATIC, "Export To", {7, 7, 72, 10});
  const Place target{7, 20, 265, 14};  // the template's 100 is the height of the open list
  exportTarget_ = new wxChoice(this, kExportTargetId, at(target), size(target));
  description_ = label(kDescriptionId, "", {7, 35, 265, 21});
  saveAsLabel_ = label(kSaveAsLabelId, "Save As", {7, 60, 72, 10});
  const Place saveAs{7, 70, 265, 14};
  saveAsField_ = new CMyEditBrowseCtrl(this, kSaveAsFieldId, at(saveAs), size(saveAs));
  postLabel_ = label(kPostLabelId, "External Post", {7, 86, 72, 10});
  const Place post{7, 97, 265, 14};
  postField_ = new CMyEditBrowseCtrl(this, kPostFieldId, at(post), size(post));
  const Place ok{168, 161, 50, 14}, cancel{222, 161, 50, 14};
  auto* okButton = new wxButton(this, kOkId, "OK", at(ok), size(ok));
  okButton->SetDefault();
  new wxButton(this, kCancelId, "Cancel", at(cancel), size(cancel));
}

void ExportDialog::SetMachineFile(const std::string& path) {
  model_.SetMachineFile(path);
  saveAsField_->defaultFileName = model_.defaultFileName();
}

void ExportDialog::OnInitDialog(wxInitDialogEvent& event) {
  event.Skip();
  italicFont_ = description_->GetFont().Italic();
  description_->SetFont(italicFont_);
  model_.Initialize(FindSimulatorMachineFolder());
  exportTarget_->Clear();
  for (const std::string& target : model_.targets()) exportTarget_->Append(wxString::FromUTF8(target));
  exportTarget_->SetSelection(model_.selection());
  postField_->defaultExtension = ".pst";
  postField_->filter = "Post Processor Files (*.pst)|*.pst||";
  postField_->saveMode = false;
  UpdateDescription();
}

void ExportDialog::UpdateDescription() {
  description_->SetLabel(wxString::FromUTF8(model_.description()));
  saveAsLabel_->Show(model_.saveAsVisible());
  saveAsField_->Show(model_.saveAsVisible());
}

void ExportDialog::OnTargetChanged(wxCommandEvent&) {
  model_.Select(exportTarget_->GetSelection());
  UpdateDescription();
}

void ExportDialog::OnOkClicked(wxCommandEvent&) {
  ExportDialogModel::Outcome outcome;
  {
    // The progress window goes before the outcome is told, so that the message is not hidden
    // behind (or shown beside) a window that no longer means anything.
    ExportReport report;
    ExportProgressView progress(this);
    report.progress = [&progress](const ExportProgress& p) { progress.Update(p); };
    report.cancelRequested = [&progress] { return progress.cancelled(); };
    wxBusyCursor busy;
    outcome = model_.Confirm(saveAsField_->GetFieldText(), postField_->GetFieldText(), writers_,
                             FindSimulatorMachineFolder, report);
  }
  if (outcome.message) messages_.Show(*outcome.message);
  if (outcome.close) EndDialog(wxID_OK);
}

void WxDialogMessages::Show(const DialogMessage& message) {
  long style = wxOK;
  switch (message.icon) {
    case MessageIcon::kExclamation: style |= wxICON_EXCLAMATION; break;
    case MessageIcon::kInformation: style |= wxICON_INFORMATION; break;
    // Without an explicit "none", the toolkit gives every message box the information icon.
    case MessageIcon::kNone: style |= wxICON_NONE; break;
  }
  wxMessageBox(wxString::FromUTF8(message.text), "Rigwright", style, parent_);
}

}  // namespace rigwright
