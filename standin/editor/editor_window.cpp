#include "standin/editor/editor_window.h"

#include <wx/button.h>
#include <wx/listbox.h>
#include <wx/listctrl.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textdlg.h>

#include <cstdio>

namespace rigwright::editor {

EditorWindow::EditorWindow(EditorSession& session, std::vector<ScriptAction> script)
    : wxDialog(nullptr, wxID_ANY, "Mavrilo machine editor (development)", wxDefaultPosition,
               wxSize(640, 420), wxDEFAULT_DIALOG_STYLE | wxRESIZE_BORDER),
      session_(session),
      script_(std::move(script)) {
  BuildControls();
  Refresh("Machine library: " + session_.machineFolder());
  if (!script_.empty()) CallAfter(&EditorWindow::RunScript);
}

void EditorWindow::BuildControls() {
  machines_ = new wxListBox(this, wxID_ANY);
  components_ = new wxListView(this, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxLC_REPORT);
  components_->AppendColumn("Component", wxLIST_FORMAT_LEFT, 140);
  components_->AppendColumn("Path", wxLIST_FORMAT_LEFT, 200);
  components_->AppendColumn("Colour", wxLIST_FORMAT_LEFT, 90);
  status_ = new wxStaticText(this, wxID_ANY, "");

  auto* lists = new wxBoxSizer(wxHORIZONTAL);
  lists->Add(machines_, 1, wxEXPAND | wxRIGHT, 8);
  lists->Add(components_, 2, wxEXPAND);
  auto* buttons = new wxBoxSizer(wxHORIZONTAL);
  auto addButton = [&](const wxString& label, auto handler) {
    auto* button = new wxButton(this, wxID_ANY, label);
    button->Bind(wxEVT_BUTTON, [this, handler](wxCommandEvent&) { handler(); });
    buttons->Add(button, 0, wxRIGHT, 6);
  };
  addButton("New machine...", [this] { OnNewMachine(); });
  addButton("Add solid...", [this] { Act({"add-solid", ""}); });
  addButton("Export...", [this] { Act({"export", ""}); });
  buttons->AddStretchSpacer();
  buttons->Add(new wxButton(this, wxID_CANCEL, "Close"));

  auto* layout = new wxBoxSizer(wxVERTICAL);
  layout->Add(lists, 1, wxEXPAND | wxALL, 8);
  layout->Add(status_, 0, wxEXPAND | wxLEFT | wxRIGHT, 8);
  layout->Add(buttons, 0, wxEXPAND | wxALL, 8);
  SetSizer(layout);
  machines_->Bind(wxEVT_LISTBOX, [this](wxCommandEvent&) { OnMachineSelected(); });
}

void EditorWindow::Refresh(const std::string& status) {
  machines_->Clear();
  for (const std::string& name : session_.Machines()) {
    machines_->Append(wxString::FromUTF8(name));
    if (name == session_.selected()) machines_->SetSelection(machines_->GetCount() - 1);
  }
  components_->DeleteAllItems();
  for (const Component& component : session_.SelectedComponents()) {
    const long row =
        components_->InsertItem(components_->GetItemCount(), wxString::FromUTF8(component.name));
    components_->SetItem(row, 1, wxString::FromUTF8(component.path));
    components_->SetItem(row, 2, wxString::FromUTF8(component.color));
  }
  status_->SetLabel(wxString::FromUTF8(status));
}

void EditorWindow::Act(const ScriptAction& action) {
  std::string message;
  session_.Run(action, &message);
  Refresh(message);
}

void EditorWindow::RunScript() {
  for (const ScriptAction& action : script_) {
    if (action.verb == "close") break;
    std::string message;
    const bool ok = session_.Run(action, &message);
    std::fprintf(stderr, "mavrilo: %s %s: %s\n", action.verb.c_str(), ok ? "done" : "FAILED",
                 message.c_str());
    Refresh(message);
    if (!ok) break;
  }
  EndModal(wxID_CANCEL);
}

void EditorWindow::OnMachineSelected() {
  const int index = machines_->GetSelection();
  if (index != wxNOT_FOUND) Act({"select", machines_->GetString(index).utf8_string()});
}

void EditorWindow::OnNewMachine() {
  wxTextEntryDialog ask(this, "Name of the new machine:", "New machine");
  if (ask.ShowModal() == wxID_OK) Act({"new", ask.GetValue().utf8_string()});
}

}  // namespace rigwright::editor
