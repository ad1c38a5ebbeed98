#include "standin/host/dev_host_window.h"

#include <wx/app.h>
#include <wx/button.h>
#include <wx/filedlg.h>
#include <wx/listctrl.h>
#include <wx/menu.h>
#include <wx/msgdlg.h>
#include <wx/radiobox.h>
#include <wx/sizer.h>
#include <wx/stdpaths.h>

#include <cstdio>

#include "common/path_text.h"
#include "standin/host/development_host.h"
#include "standin/host/entity_selection_dialog.h"
#include "standin/host/part_file.h"
#include "standin/host/part_view.h"

namespace rigwright::standin {
namespace {

wxString FromUtf8(std::string_view text) { return wxString::FromUTF8(text.data(), text.size()); }

std::string DefaultAddinLibrary() {
  const std::filesystem::path program =
      PathFromUtf8(wxStandardPaths::Get().GetExecutablePath().utf8_string());
  return Utf8FromPath(program.parent_path() / kAddinFileName);
}

wxListCtrl* NewReportList(wxWindow* parent, std::initializer_list<const char*> titles) {
  auto* list = new wxListCtrl(parent, wxID_ANY, wxDefaultPosition, wxSize(360, 300), wxLC_REPORT);
  for (const char* title : titles) list->AppendColumn(title);
  return list;
}

}  // namespace

DevHostWindow::DevHostWindow(DevHostOptions options)
    : wxFrame(nullptr, wxID_ANY, "Rigwright development host"), options_(std::move(options)) {
  BuildMenu();
  BuildControls();
  CreateStatusBar();
  Bind(wxEVT_CLOSE_WINDOW, &DevHostWindow::OnClose, this);
  SetInteractiveSelector(
      [this](std::string_view prompt, long kindMask) { return Select(prompt, kindMask); });
}

DevHostWindow::~DevHostWindow() { SetInteractiveSelector({}); }

void DevHostWindow::BuildMenu() {
  auto* file = new wxMenu;
  file->Append(wxID_OPEN, "&Open part...\tCtrl+O");
  file->Append(wxID_EXIT, "E&xit");
  auto* bar = new wxMenuBar;
  bar->Append(file, "&File");
  SetMenuBar(bar);
  Bind(
      wxEVT_MENU, [this](wxCommandEvent&) { OnOpenPart(); }, wxID_OPEN);
  Bind(
      wxEVT_MENU, [this](wxCommandEvent&) { Close(); }, wxID_EXIT);
}

void DevHostWindow::BuildControls() {
  rigwright_ = new wxButton(this, wxID_ANY, "Rigwright");
  rigwright_->Disable();
  rigwright_->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { RunRigwright(); });
  const wxString unitChoices[] = {"Metric", "Inch"};
  units_ =
      new wxRadioBox(this, wxID_ANY, "Units", wxDefaultPosition, wxDefaultSize, 2, unitChoices, 2);
  units_->Bind(wxEVT_RADIOBOX, [this](wxCommandEvent&) { OnUnits(); });
  levels_ = NewReportList(this, {"Level", "Name", "Active"});
  entities_ = NewReportList(this, {"Id", "Kind", "Level", "Colour", "Shape"});

  auto* commands = new wxBoxSizer(wxHORIZONTAL);
  commands->Add(rigwright_, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 12);
  commands->Add(units_, 0);
  auto* lists = new wxBoxSizer(wxHORIZONTAL);
  lists->Add(levels_, 1, wxEXPAND | wxRIGHT, 8);
  lists->Add(entities_, 1, wxEXPAND);
  auto* sizer = new wxBoxSizer(wxVERTICAL);
  sizer->Add(commands, 0, wxALL, 8);
  sizer->Add(lists, 1, wxEXPAND | wxLEFT | wxRIGHT | wxBOTTOM, 8);
  SetSizerAndFit(sizer);
}

bool DevHostWindow::Start(std::string* error) {
  if (!options_.partFile.empty() && !OpenPart(options_.partFile, error)) return false;
  if (!options_.selectionScript.empty()) {
    script_ = SelectionScript::Load(options_.selectionScript, error);
    if (!script_) return false;
  }
  LoadAddin();
  if (options_.runRigwright && !addin_) {
    *error = "there is no add-in to run";
    return false;
  }
  return true;
}

void DevHostWindow::LoadAddin() {
  const std::string library =
      options_.addinLibrary.empty() ? DefaultAddinLibrary() : options_.addinLibrary;
  std::string error;
  addin_ = LoadedAddin::Load(library, options_.hostVersion, &error);
  if (!addin_) {
    std::fprintf(stderr, "add-in refused: %s\n", error.c_str());
    SetStatusText(FromUtf8("Add-in refused: " + error));
    return;
  }
  std::printf("add-in loaded: %s (version %d)\n", library.c_str(), addin_->version());
  std::fflush(stdout);
  SetStatusText(FromUtf8("Add-in " + library + ", version " + std::to_string(addin_->version())));
  rigwright_->Enable();
}

void DevHostWindow::RunRigwright() {
  if (!addin_) return;
  ++addinCalls_;
  addin_->RunCommand();
  LeaveAddinCall();
}

void DevHostWindow::LeaveAddinCall() {
  if (--addinCalls_ == 0 && closeRequested_) CallAfter([this] { Close(true); });
}

bool DevHostWindow::OpenPart(const std::string& file, std::string* error) {
  std::optional<PartData> part = LoadPartFile(file, error);
  if (!part) return false;
  part_ = *part;
  InstallPart(std::move(*part));
  SetTitle(FromUtf8("Rigwright development host - " + file));
  ShowPart();
  return true;
}

void DevHostWindow::ShowPart() {
  units_->SetSelection(part_.metric ? 0 : 1);
  levels_->DeleteAllItems();
  for (const PartLevel& level : part_.levels) {
    const long item =
        levels_->InsertItem(levels_->GetItemCount(), wxString::Format("%d", level.number));
    levels_->SetItem(item, 1, FromUtf8(level.name));
    levels_->SetItem(item, 2, level.active ? "yes" : "no");
  }
  entities_->DeleteAllItems();
  for (const EntityRow& row : EntityRows(part_)) {
    const long item =
        entities_->InsertItem(entities_->GetItemCount(), wxString::Format("%d", row.identifier));
    entities_->SetItem(item, 1, row.kind);
    entities_->SetItem(item, 2, wxString::Format("%d", row.level));
    entities_->SetItem(item, 3, wxString::Format("%d", row.colorNumber));
    entities_->SetItem(item, 4, row.shape);
  }
}

std::vector<std::int32_t> DevHostWindow::Select(std::string_view prompt, long kindMask) {
  if (script_) return script_->Next();
  EntitySelectionDialog dialog(this, part_, prompt, kindMask);
  ++addinCalls_;
  selection_ = &dialog;
  const bool picked = dialog.ShowModal() == wxID_OK && !closeRequested_;
  selection_ = nullptr;
  LeaveAddinCall();
  return picked ? dialog.PickedIds() : std::vector<std::int32_t>{};
}

void DevHostWindow::OnOpenPart() {
  wxFileDialog dialog(this, "Open part", "", "", "Part files (*.json)|*.json|All files|*",
                      wxFD_OPEN | wxFD_FILE_MUST_EXIST);
  if (dialog.ShowModal() != wxID_OK) return;
  std::string error;
  if (!OpenPart(dialog.GetPath().utf8_string(), &error)) {
    wxMessageBox(FromUtf8(error), "Open part", wxOK, this);
  }
}

void DevHostWindow::OnUnits() { SetMetric(units_->GetSelection() == 0); }

// The add-in is unloaded while the window and the toolkit still live, since its clean-up destroys
// windows of its own.
void DevHostWindow::OnClose(wxCloseEvent& event) {
  if (addinCalls_ > 0) {
    // The add-in's code is on the stack below us; it may go only once that call has returned.
    event.Veto();
    closeRequested_ = true;
    if (selection_) selection_->EndModal(wxID_CANCEL);
    return;
  }
  SetInteractiveSelector({});
  if (addin_) {
    addin_.reset();
    std::printf("add-in unloaded\n");
    std::fflush(stdout);
  }
  Destroy();
  // The host ends with its window. Left to the toolkit, the end waits for an idle event that an
  // idle display may never bring (seen on SIGTERM before the add-in had been run).
  wxTheApp->ExitMainLoop();
}

}  // namespace rigwright::standin
