// The development host application's main window: the current part's levels and entities, a
// "Rigwright" command that runs the loaded add-in, and the unit system behind IsMetric. It plugs
// its selection dialog (or a selection script) into the host's interactive selection.
#pragma once

#include <wx/frame.h>

#include <memory>
#include <optional>
#include <string>

#include "standin/host/addin_loader.h"
#include "standin/host/dev_host_options.h"
#include "standin/host/part.h"
#include "standin/host/selection_script.h"

class wxButton;
class wxCloseEvent;
class wxDialog;
class wxListCtrl;
class wxRadioBox;

namespace rigwright::standin {

class DevHostWindow final : public wxFrame {
 public:
  explicit DevHostWindow(DevHostOptions options);
  ~DevHostWindow() override;

  // Reads the part and the selection script and loads the add-in, as the options say. False, with
  // `error` set, when the host cannot run as asked: the part or script cannot be read, or the
  // "Rigwright" command is to run and there is no add-in to run it. A refused add-in is reported
  // on the status line and leaves the command disabled.
  bool Start(std::string* error);

  // The "Rigwright" command.
  void RunRigwright();

 private:
  void BuildMenu();
  void BuildControls();
  bool OpenPart(const std::string& file, std::string* error);
  void LoadAddin();
  void ShowPart();
  std::vector<std::int32_t> Select(std::string_view prompt, long kindMask);

  void OnOpenPart();
  void OnUnits();
  void OnClose(wxCloseEvent& event);
  void LeaveAddinCall();

  const DevHostOptions options_;
  PartData part_;  // what the windows show; the host functions work on the installed copy
  std::optional<SelectionScript> script_;
  std::unique_ptr<LoadedAddin> addin_;
  // Calls into the add-in that have not returned yet (its command, or a selection it asked for);
  // the add-in may not be unloaded under them.
  int addinCalls_ = 0;
  bool closeRequested_ = false;    // a close waits for addinCalls_ to drop to 0
  wxDialog* selection_ = nullptr;  // the selection dialog while it is open

  wxListCtrl* levels_ = nullptr;
  wxListCtrl* entities_ = nullptr;
  wxRadioBox* units_ = nullptr;
  wxButton* rigwright_ = nullptr;
};

}  // namespace rigwright::standin
